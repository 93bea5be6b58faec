// The runtime's byte-string routines.
#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

struct ByteTypeCase {
    std::string text;
    std::size_t index;
    bool cp932;
    TMbcsByteType expected;
};

TEST(ByteType, ClassesByTheRunOfLeadBytesBefore) {
    const ByteTypeCase cases[] = {
        {"A" + kSo + "B", 1, true, mbSingleByte},
        {"A" + kSo + "B", 2, true, mbLeadByte},
        {"A" + kSo + "B", 3, true, mbTrailByte},
        {"A" + kSo + "B", 4, true, mbSingleByte},
        {"A" + kSo + "B", 3, false, mbSingleByte},
        {"A\x83\x83\x5C", 3, true, mbTrailByte},   // second 0x83 is a trail byte
        {"A\x83\x83\x5C", 4, true, mbSingleByte},  // so the 0x5C stands alone
        {"\x83", 1, true, mbLeadByte},             // a lone lead byte at the end
        {std::string("\x83\0", 2), 2, true, mbSingleByte},  // NUL is always a single byte
        {"abc", 0, true, mbSingleByte},
        {"abc", 9, true, mbSingleByte},
    };
    for (const auto& c : cases) {
        ScopedLeadBytes lead(c.cp932 ? Cp932LeadBytes() : NoLeadBytes());
        EXPECT_EQ(ByteType(c.text, c.index), c.expected) << "index " << c.index;
    }
}

TEST(LeadBytes, DefaultIsCodePage932) {
    const LeadByteSet& set = LeadBytes();
    for (int b = 0; b < 256; ++b) {
        bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(set[b], lead) << b;
    }
}

TEST(Trim, RemovesControlBytesAndBlanksOnly) {
    EXPECT_EQ(Trim(std::string("\0\t a b \r\n\x1f", 9)), "a b");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim(kSo), kSo);
    EXPECT_EQ(Trim("\x21x\x7f"), "\x21x\x7f");
}

TEST(StrToIntDef, NumberRules) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"1", 1},           {"-1", -1},          {"+7", 7},           {"  42", 42},
        {"abc", 99},        {"", 99},            {"2147483647", 2147483647},
        {"2147483648", 99}, {"-2147483648", INT32_MIN}, {"-2147483649", 99},
        {"$10", 16},        {"0x1F", 31},        {"0X1f", 31},        {"x10", 16},
        {"X10", 16},        {"$FFFFFFFF", -1},   {"$000000010", 16},  {"$100000000", 99},
        {"$", 99},          {"0x", 99},          {"1 ", 99},          {"12a", 99},
        {"-", 99},          {"- 1", 99},         {"-$10", 99},        {"1.5", 99},
        {"00012", 12},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToIntDef(c.text, 99), c.expected) << '"' << c.text << '"';
}

TEST(StringReplace, LeftToRightWithoutRescanning) {
    EXPECT_EQ(StringReplace("aaa", "a", "aa", rfReplaceAll), "aaaaaa");
    EXPECT_EQ(StringReplace("aXbXc", "X", "-", 0), "a-bXc");
    EXPECT_EQ(StringReplace("&&AMP;", "&AMP;", "&", rfReplaceAll), "&&");
    EXPECT_EQ(StringReplace("aXbx", "x", "-", rfReplaceAll | rfIgnoreCase), "a-b-");
    EXPECT_EQ(StringReplace("aXbx", "x", "-", rfReplaceAll), "aXb-");
    EXPECT_EQ(StringReplace("abc", "", "-", rfReplaceAll), "abc");
    EXPECT_EQ(StringReplace("aaaa", "aa", "b", rfReplaceAll), "bb");
}

TEST(FoldCompareText, FoldsAsciiAndFullWidthLatinOnly) {
    EXPECT_EQ(FoldCompareText("*Caption", "*CAPTION"), 0);
    EXPECT_NE(FoldCompareText("\t*Caption", "*Caption"), 0);
    EXPECT_NE(FoldCompareText("*Caption ", "*Caption"), 0);
    EXPECT_EQ(FoldCompareText("\x82\x60", "\x82\x81"), 0);  // Ａ and ａ
    EXPECT_NE(FoldCompareText(kSo, "\x83\x7C"), 0);
    EXPECT_LT(FoldCompareText("a", "ab"), 0);
    EXPECT_GT(FoldCompareText("b", "A"), 0);
    EXPECT_EQ(AnsiCompareText("%%", "%%"), 0);
}

TEST(Paths, DelimitersThatAreTrailBytesDoNotCount) {
    const struct {
        std::string path, filePath, withDelimiter;
    } cases[] = {
        {"C:\\Games\\Sorvane\\Sorvane.exe", "C:\\Games\\Sorvane\\", "C:\\Games\\Sorvane\\Sorvane.exe\\"},
        {"C:\\Sorvane.exe", "C:\\", "C:\\Sorvane.exe\\"},
        {"C:\\", "C:\\", "C:\\"},
        {"C:x.exe", "C:", "C:x.exe\\"},
        {"Sorvane.exe", "", "Sorvane.exe\\"},
        {"", "", "\\"},
        {"C:\\Games\\" + kSo + "\x83\x74\x83\x67.exe", "C:\\Games\\", "C:\\Games\\" + kSo + "\x83\x74\x83\x67.exe\\"},
        {"C:\\" + kSo, "C:\\", "C:\\" + kSo + "\\"},
        {"C:\\dir\\", "C:\\dir\\", "C:\\dir\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.path), c.filePath) << c.path;
        EXPECT_EQ(IncludeTrailingPathDelimiter(c.path), c.withDelimiter) << c.path;
    }
}

TEST(Paths, WithoutLeadBytesEveryBackslashCounts) {
    ScopedLeadBytes lead(NoLeadBytes());
    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\" + kSo), "C:\\" + kSo);
    EXPECT_EQ(ExtractFilePath("C:\\a" + kSo + "b"), "C:\\a" + kSo);
}

}  // namespace
