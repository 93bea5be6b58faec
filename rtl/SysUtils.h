// Byte-string routines of the runtime: trimming, comparison, replacement, numbers, paths,
// and the code page's byte classes.
#pragma once

#include <array>
#include <cstddef>
#include <string>

// Strings inside the system are byte strings in the ANSI code page.
using AnsiString = std::string;

// --- Lead bytes and byte classes ---------------------------------------------------------

// The set of byte values that begin a double-byte character. Process-wide: taken from the
// running system on first use (code page 932's ranges in the native build), replaceable for
// tests with SetLeadBytes.
using LeadByteSet = std::array<bool, 256>;
const LeadByteSet& LeadBytes();
void SetLeadBytes(const LeadByteSet& set);
LeadByteSet Cp932LeadBytes();  // 0x81-0x9F and 0xE0-0xFC
LeadByteSet NoLeadBytes();
inline bool IsLeadByte(unsigned char b) { return LeadBytes()[b]; }

enum TMbcsByteType { mbSingleByte, mbLeadByte, mbTrailByte };

// Class of the byte at 1-based position `index` of s: counts the run of lead bytes before it.
// An index outside 1..length is a single byte.
TMbcsByteType ByteType(const AnsiString& s, std::size_t index);

// --- Texts ---------------------------------------------------------------------------------

// Removes every leading and trailing byte from 0x00 through 0x20.
AnsiString Trim(const AnsiString& s);

// 0 when the texts are equal ignoring letter case under the user's locale; otherwise the sign
// of their order.
int AnsiCompareText(const AnsiString& a, const AnsiString& b);

// The portable comparison behind the native build: ASCII letters fold, and so do the full-width
// Latin letters of code page 932; every other byte and character counts as it is.
int FoldCompareText(const AnsiString& a, const AnsiString& b);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
// Replaces the first (or, with rfReplaceAll, every) occurrence of `from`, scanning left to
// right and going on after the replaced occurrence, so replacements are never searched again.
// Matching is exact unless rfIgnoreCase (ASCII folding) is given. An empty `from` changes nothing.
AnsiString StringReplace(const AnsiString& s, const AnsiString& from, const AnsiString& to,
                         unsigned flags);

// The integer that `s` spells, else `def`: optional leading blanks, then a signed decimal
// number within 32 bits, or "$", "x", "X", "0x", "0X" and at most eight significant hexadecimal
// digits taken as a 32-bit pattern; the digits run to the end of the text.
int StrToIntDef(const AnsiString& s, int def);

// The integer as decimal text, as "%d" formats it.
AnsiString IntToStr(long long value);

// --- Paths ---------------------------------------------------------------------------------

// The leading part of `path` up to and including its last backslash or colon that is a
// character of its own (not a trail byte); empty when there is none.
AnsiString ExtractFilePath(const AnsiString& path);

// `path` with a backslash appended unless its last byte already is a backslash of its own.
AnsiString IncludeTrailingPathDelimiter(const AnsiString& path);

// True when a file (not a directory) of that name exists.
bool FileExists(const AnsiString& path);
