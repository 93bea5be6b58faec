// Small helpers shared by the unit tests.
#pragma once

#include <string>

#include "rtl/SysUtils.h"

// Sets a lead-byte set for the life of the object and restores the previous one afterwards.
class ScopedLeadBytes {
public:
    explicit ScopedLeadBytes(const LeadByteSet& set) : saved_(LeadBytes()) { SetLeadBytes(set); }
    ~ScopedLeadBytes() { SetLeadBytes(saved_); }
    ScopedLeadBytes(const ScopedLeadBytes&) = delete;
    ScopedLeadBytes& operator=(const ScopedLeadBytes&) = delete;

private:
    LeadByteSet saved_;
};

// "ソ" in code page 932: a lead byte and a trail byte of the value of the backslash.
inline const std::string kSo = "\x83\x5C";

// A bitmap file image: 14-byte file header, 40-byte information header, a palette for depths
// up to 8, and rows of `fill` bytes.
inline std::string MakeBitmap(int width, int height, int bitCount = 24, unsigned char fill = 0x40) {
    auto put16 = [](std::string& s, unsigned v) { s += char(v & 0xFF); s += char((v >> 8) & 0xFF); };
    auto put32 = [&](std::string& s, unsigned v) { put16(s, v & 0xFFFF); put16(s, v >> 16); };
    unsigned colors = bitCount <= 8 ? (1u << bitCount) : 0;
    unsigned rows = static_cast<unsigned>(height < 0 ? -height : height);
    unsigned stride = ((static_cast<unsigned>(width) * bitCount + 31) / 32) * 4;
    unsigned offset = 14 + 40 + colors * 4;
    std::string s = "BM";
    put32(s, offset + stride * rows);
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, static_cast<unsigned>(width));
    put32(s, static_cast<unsigned>(height));
    put16(s, 1);
    put16(s, static_cast<unsigned>(bitCount));
    put32(s, 0);
    put32(s, stride * rows);
    put32(s, 2835);
    put32(s, 2835);
    put32(s, 0);
    put32(s, 0);
    s.append(colors * 4, '\0');
    s.append(stride * rows, static_cast<char>(fill));
    return s;
}

// The sample patch's script: 18 lines, code page 932, CR LF after every line.
inline const std::string kSampleScript =
    "*PatchType\r\n\t1\r\n\r\n"
    "*LinkPath\r\n\tMiraldo\\Sorvane\\Sorvane.lnk\r\n\r\n"
    "*Caption\r\n\tSorvane \x8F\x43\x90\xB3\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80 ver 1.1\r\n\r\n"
    "*GameTitle\r\n\tSorvane\r\n\r\n"
    "*Version\r\n1.1\r\n\r\n"
    "%OutFiles\r\n\tsov_patch.xp3\r\n%%\r\n";
// Its caption: "Sorvane 修正プログラム ver 1.1".
inline const std::string kSampleCaption = "Sorvane \x8F\x43\x90\xB3\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80 ver 1.1";
