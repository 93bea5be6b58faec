// Conversions between UTF-8, UTF-16 and code points.
#include "Utf8.h"

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;  // a lone surrogate
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u32string cps;
    for (std::size_t bad = 0; !text.empty(); text.remove_prefix(bad + 1)) {
        if (const auto whole = DecodeUtf8(text, &bad)) {
            cps += *whole;
            break;
        }
        cps += *DecodeUtf8(text.substr(0, bad)) + U'\uFFFD';
    }
    std::u16string out;
    for (char32_t cp : cps) {
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::optional<std::u32string> DecodeUtf8(std::string_view text, std::size_t* badOffset) {
    std::u32string out;
    std::size_t i = 0;
    auto fail = [&]() -> std::optional<std::u32string> {
        if (badOffset != nullptr) *badOffset = i;
        return std::nullopt;
    };
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (b < 0x80) {
            out += b;
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, cp = b & 0x1F, least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, cp = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, cp = b & 0x07, least = 0x10000;
        } else {
            return fail();
        }
        if (text.size() - i <= static_cast<std::size_t>(extra)) return fail();
        for (int k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return fail();
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return fail();
        out += cp;
        i += extra + 1;
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    for (char32_t cp : text) AppendUtf8(out, cp);
    return out;
}
