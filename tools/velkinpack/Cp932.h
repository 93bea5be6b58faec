// Code page 932 text to and from Unicode, the same on Linux and Windows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// For showing: every byte that does not decode becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);
// True when every byte decodes.
bool IsValidCp932(std::string_view cp932, std::size_t* badOffset = nullptr);

// Encodes code points as code page 932. A character is taken only when it decodes back to
// itself, or when it is one of the JIS forms that code page 932 writes with a neighbouring
// code (WAVE DASH as the full-width tilde and the like); false at the first other character,
// whose index goes to `badIndex`.
bool EncodeCp932(std::u32string_view text, std::string& out, std::size_t& badIndex);

// "U+301C" and, when the terminal can show it, the character itself.
std::string DescribeCodePoint(char32_t cp);
