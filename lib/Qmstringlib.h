// Cutting a byte string into pieces at delimiter bytes, with quoted parts and double-byte
// characters kept whole.
#pragma once

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

// Clears the list, splits the text into it and drops the empty pieces. Returns the number of
// pieces that the split produced, the dropped empty ones included.
int SplitString(const AnsiString& text, const AnsiString& delimiters, TStringList& list);

// Appends every piece of the text, empty ones included, after what the list already holds.
// Every byte of `delimiters` ends a piece; a part in double quotes stays whole and loses its
// quotes; a lead or trail byte never ends a piece. Returns the number of pieces (at least 1).
int SplitAppend(const AnsiString& text, const AnsiString& delimiters, TStringList& list);

// Deletes every entry of length 0, keeping the order of the others.
void RemoveEmptyStrings(TStringList& list);
