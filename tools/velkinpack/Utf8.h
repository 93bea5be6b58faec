// UTF-8 and UTF-16 text of the packer's own messages, names and paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

void AppendUtf8(std::string& out, char32_t cp);
std::string Utf16ToUtf8(std::u16string_view text);
// A byte that is not part of well-formed UTF-8 becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// The code points of a UTF-8 text, or nothing when it is not well formed (overlong forms,
// surrogates and values past U+10FFFF are not). `badOffset` receives the first bad byte.
std::optional<std::u32string> DecodeUtf8(std::string_view text, std::size_t* badOffset = nullptr);
std::string EncodeUtf8(std::u32string_view text);
