// FileExists over the system's file calls (kept apart so that tools without files link).
#include "rtl/FileSystem.h"
#include "rtl/SysUtils.h"

bool FileExists(const AnsiString& path) { return os::FsKind(path) == os::PathKind::File; }
