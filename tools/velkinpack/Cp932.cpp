// Code page 932 conversions on top of the system's converter, checked to round-trip.
#include "Cp932.h"

#include <cstdio>
#include <map>

#include "Platform.h"
#include "Utf8.h"

namespace {

// JIS X 0208 forms that code page 932 holds under another code point.
const std::map<char32_t, const char*> kJisForms = {
    {0x301C, "\x81\x60"},  // WAVE DASH: the full-width tilde
    {0x2016, "\x81\x61"},  // DOUBLE VERTICAL LINE: PARALLEL TO
    {0x2212, "\x81\x7C"},  // MINUS SIGN: the full-width hyphen-minus
    {0x2014, "\x81\x5C"},  // EM DASH: HORIZONTAL BAR
    {0x00A2, "\x81\x91"},  // CENT SIGN: the full-width cent sign
    {0x00A3, "\x81\x92"},  // POUND SIGN: the full-width pound sign
    {0x00AC, "\x81\xCA"},  // NOT SIGN: the full-width not sign
    {0x00A6, "\xFA\x55"},  // BROKEN BAR: the full-width broken bar
};

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The byte structure of code page 932 first, the same on every system (Windows maps a few
// stray single bytes that glibc refuses), then the system's table.
bool Decode(std::string_view bytes, std::u32string& out, std::size_t& badOffset) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0x80 || b == 0xA0 || b >= 0xFD) {
            badOffset = i;
            out.clear();
            return false;
        }
        if (!IsLead(b)) continue;
        const auto t = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if (t < 0x40 || t == 0x7F || t > 0xFC) {
            badOffset = i;
            out.clear();
            return false;
        }
        ++i;
    }
    return platform::DecodeCp932(bytes, out, badOffset);
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    while (!cp932.empty()) {
        std::u32string decoded;
        std::size_t bad = 0;
        const bool ok = Decode(cp932, decoded, bad);
        std::size_t earlier = 0;
        if (!ok && !platform::DecodeCp932(cp932.substr(0, bad), decoded, earlier)) bad = earlier;
        out += EncodeUtf8(decoded);
        if (ok) break;
        out += "\xEF\xBF\xBD";
        cp932.remove_prefix(bad + 1);
    }
    return out;
}

bool IsValidCp932(std::string_view cp932, std::size_t* badOffset) {
    std::u32string decoded;
    std::size_t bad = 0;
    const bool ok = Decode(cp932, decoded, bad);
    if (!ok && badOffset != nullptr) *badOffset = bad;
    return ok;
}

bool EncodeCp932(std::u32string_view text, std::string& out, std::size_t& badIndex) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t cp = text[i];
        std::string bytes;
        std::u32string back;
        std::size_t bad = 0;
        if (cp != 0 && platform::EncodeCp932Char(cp, bytes) && Decode(bytes, back, bad) &&
            back.size() == 1 && back[0] == cp) {
            out += bytes;
        } else if (auto it = kJisForms.find(cp); it != kJisForms.end()) {
            out += it->second;
        } else {
            badIndex = i;
            return false;
        }
    }
    return true;
}

std::string DescribeCodePoint(char32_t cp) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return code;
    std::string text = std::string(code) + " \"";
    AppendUtf8(text, cp);
    return text + "\"";
}
