// Reading one registry string value addressed by a single path text.
#pragma once

#include "rtl/SysUtils.h"

// Reads the value named by `path`: a root key name (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG or HKEY_DYN_DATA, in any letter case),
// the subkeys and the value name, separated by backslashes; a part in double quotes may hold
// backslashes. False for an unknown root or a subkey that cannot be opened. True when the
// walk ran to its end; `value` is assigned only when the path names a value (the empty text
// for a missing one) and is untouched otherwise. ERegistryException of the read passes on.
bool ReadRegistryString(const AnsiString& path, AnsiString& value);
