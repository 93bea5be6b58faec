// Byte-string routines of the runtime (the parts that do not depend on the system).
#include "rtl/SysUtils.h"

#include <cstdint>
#include <optional>


namespace os {
LeadByteSet SystemLeadBytes();  // per backend
}

namespace {

LeadByteSet& LeadByteStore() {
    static LeadByteSet set = os::SystemLeadBytes();
    return set;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

const LeadByteSet& LeadBytes() { return LeadByteStore(); }
void SetLeadBytes(const LeadByteSet& set) { LeadByteStore() = set; }

LeadByteSet Cp932LeadBytes() {
    LeadByteSet set{};
    for (int b = 0x81; b <= 0x9F; ++b) set[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b) set[b] = true;
    return set;
}

LeadByteSet NoLeadBytes() { return LeadByteSet{}; }

TMbcsByteType ByteType(const AnsiString& s, std::size_t index) {
    const LeadByteSet& lead = LeadBytes();
    if (index < 1 || index > s.size()) return mbSingleByte;
    auto at = [&](std::size_t p) { return static_cast<unsigned char>(s[p - 1]); };
    if (lead == NoLeadBytes()) return mbSingleByte;
    if (at(index) == 0) return mbSingleByte;
    std::size_t run = 0;
    for (std::size_t p = index - 1; p >= 1 && lead[at(p)]; --p) ++run;
    if (run % 2 == 1) return mbTrailByte;
    return lead[at(index)] ? mbLeadByte : mbSingleByte;
}

AnsiString Trim(const AnsiString& s) {
    std::size_t first = 0, last = s.size();
    while (first < last && static_cast<unsigned char>(s[first]) <= 0x20) ++first;
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= 0x20) --last;
    return s.substr(first, last - first);
}

namespace {

// One character of a text for the folding comparison: a byte, or a lead and a trail byte.
// Full-width Latin capitals (0x8260-0x8279) fold onto their small letters (0x8281-0x829A),
// ASCII capitals onto ASCII small letters.
unsigned FoldedChar(const AnsiString& s, std::size_t& p) {
    unsigned char b = static_cast<unsigned char>(s[p]);
    if (IsLeadByte(b) && p + 1 < s.size()) {
        unsigned code = (static_cast<unsigned>(b) << 8) | static_cast<unsigned char>(s[p + 1]);
        p += 2;
        if (code >= 0x8260 && code <= 0x8279) code += 0x21;
        return code;
    }
    ++p;
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    return b;
}

}  // namespace

int FoldCompareText(const AnsiString& a, const AnsiString& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        unsigned ca = FoldedChar(a, i), cb = FoldedChar(b, j);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

AnsiString StringReplace(const AnsiString& s, const AnsiString& from, const AnsiString& to,
                         unsigned flags) {
    if (from.empty()) return s;
    const bool all = flags & rfReplaceAll;
    const bool ignoreCase = flags & rfIgnoreCase;
    auto matchesAt = [&](std::size_t p) {
        if (p + from.size() > s.size()) return false;
        for (std::size_t k = 0; k < from.size(); ++k) {
            char x = s[p + k], y = from[k];
            if (ignoreCase ? AsciiUpper(x) != AsciiUpper(y) : x != y) return false;
        }
        return true;
    };
    AnsiString out;
    out.reserve(s.size());
    std::size_t p = 0;
    while (p < s.size()) {
        if (matchesAt(p)) {
            out += to;
            p += from.size();
            if (!all) {
                out.append(s, p, AnsiString::npos);
                return out;
            }
            continue;
        }
        out += s[p++];
    }
    return out;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<int> ParseInt(const AnsiString& s) {
    std::size_t p = 0;
    while (p < s.size() && (s[p] == ' ' || s[p] == '\t')) ++p;
    if (p == s.size()) return std::nullopt;
    std::size_t hexStart = AnsiString::npos;
    if (s[p] == '$' || s[p] == 'x' || s[p] == 'X') {
        hexStart = p + 1;
    } else if (s[p] == '0' && p + 1 < s.size() && (s[p + 1] == 'x' || s[p + 1] == 'X')) {
        hexStart = p + 2;
    }
    if (hexStart != AnsiString::npos) {
        if (hexStart >= s.size()) return std::nullopt;
        std::uint32_t value = 0;
        int significant = 0;
        for (std::size_t q = hexStart; q < s.size(); ++q) {
            int d = HexDigit(s[q]);
            if (d < 0) return std::nullopt;
            if (significant > 0 || d != 0) ++significant;
            if (significant > 8) return std::nullopt;
            value = (value << 4) | static_cast<std::uint32_t>(d);
        }
        return static_cast<int>(static_cast<std::int32_t>(value));
    }
    bool negative = false;
    if (s[p] == '+' || s[p] == '-') {
        negative = s[p] == '-';
        ++p;
    }
    if (p >= s.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; p < s.size(); ++p) {
        if (s[p] < '0' || s[p] > '9') return std::nullopt;
        value = value * 10 + (s[p] - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

int StrToIntDef(const AnsiString& s, int def) { return ParseInt(s).value_or(def); }

AnsiString IntToStr(long long value) { return std::to_string(value); }

AnsiString ExtractFilePath(const AnsiString& path) {
    for (std::size_t p = path.size(); p >= 1; --p) {
        char c = path[p - 1];
        if ((c == '\\' || c == ':') && ByteType(path, p) == mbSingleByte) return path.substr(0, p);
    }
    return AnsiString();
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& path) {
    if (!path.empty() && path.back() == '\\' && ByteType(path, path.size()) == mbSingleByte) {
        return path;
    }
    return path + '\\';
}
