// The string splitter: quoted parts, double-byte characters and the piece counts.
#include "lib/Qmstringlib.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"

namespace {

using Pieces = std::vector<std::string>;

struct SplitCase {
    std::string text;
    std::string delimiters;
    bool cp932;
    Pieces pieces;  // every piece that SplitAppend appends, empty ones included
};

Pieces NonEmpty(const Pieces& pieces) {
    Pieces kept;
    for (const auto& p : pieces) {
        if (!p.empty()) kept.push_back(p);
    }
    return kept;
}

TEST(SplitString, CasesTable) {
    const SplitCase cases[] = {
        {"", ",", true, {""}},
        {"a,,b", ",", true, {"a", "", "b"}},
        {",a,", ",", true, {"", "a", ""}},
        {"x,\"a,b\",y", ",", true, {"x", "a,b", "", "y"}},  // the comma after the quote ends an empty piece
        {"ab\"c,d\"e", ",", true, {"abc,d", "e"}},          // bytes before the quote stay in the piece
        {"\"\"", ",", true, {"", ""}},
        {"a,\"b,c", ",", true, {"a", "b,c"}},  // an unterminated quote still ends the text's piece
        {"a;b,c", ";,", true, {"a", "b", "c"}},
        {"a;b,c", ",;;,", true, {"a", "b", "c"}},
        {"a,b", "", true, {"a,b"}},
        {"\"a\"b", "", true, {"a", "b"}},
        {"a\"b,c\"d", ",\"", true, {"ab,c", "d"}},  // a quote among the delimiters never splits
        {" a , b ", ",", true, {" a ", " b "}},
        {"  ,", ",", true, {"  ", ""}},
        {"A" + kSo + "B", "\\", true, {"A" + kSo + "B"}},
        {"A" + kSo + "B", "\\", false, {"A\x83", "B"}},
        {"A\x83\x83\x5C" "B", "\\", true, {"A\x83\x83", "B"}},  // the second 0x83 is a trail byte
        {"A\x83", ",", true, {"A\x83"}},                         // a lone lead byte at the end
        {"\x83\x22\x41\x2C\x42\x22", ",", true, {"\x83\x41\x2C\x42", ""}},  // a quote after a lead byte opens
        {"\x83,a", ",", true, {"\x83,a"}},      // a trail byte of the delimiter's value does not split
        {"\x83,a", ",", false, {"\x83", "a"}},
        {"\"" + kSo + "\\x\"\\y", "\\", true, {kSo + "\\x", "", "y"}},
        {"\"a\x83\"\\b", "\\", true, {"a\x83", "", "b"}},  // a quote after a lead byte still closes
        {std::string("a\0b", 3), std::string("\0", 1), true, {"a", "b"}},  // NUL is a single byte
        {"a\\\\b\\", "\\", true, {"a", "", "b", ""}},
    };
    for (const auto& c : cases) {
        ScopedLeadBytes lead(c.cp932 ? Cp932LeadBytes() : NoLeadBytes());
        SCOPED_TRACE(testing::PrintToString(c.text) + " / " + testing::PrintToString(c.delimiters));

        TStringList appended;
        EXPECT_EQ(SplitAppend(c.text, c.delimiters, appended), static_cast<int>(c.pieces.size()));
        EXPECT_EQ(appended.Items(), c.pieces);

        TStringList split;
        split.Add("old");
        EXPECT_EQ(SplitString(c.text, c.delimiters, split), static_cast<int>(c.pieces.size()));
        EXPECT_EQ(split.Items(), NonEmpty(c.pieces));
    }
}

TEST(SplitAppend, KeepsEarlierEntriesAhead) {
    TStringList list;
    list.Add("");
    list.Add("keep");
    EXPECT_EQ(SplitAppend("a,,b", ",", list), 3);
    EXPECT_EQ(list.Items(), (Pieces{"", "keep", "a", "", "b"}));
}

TEST(SplitString, DoesNotChangeItsArguments) {
    const std::string text = "a,\"b\"", delimiters = ",";
    TStringList list;
    SplitString(text, delimiters, list);
    EXPECT_EQ(text, "a,\"b\"");
    EXPECT_EQ(delimiters, ",");
}

TEST(RemoveEmptyStrings, DeletesOnlyEntriesOfLengthZero) {
    const struct {
        Pieces before;
        Pieces after;
    } cases[] = {
        {{"", "", "a", "", ""}, {"a"}},
        {{"", "", ""}, {}},
        {{}, {}},
        {{" ", "", "b", "a", "b"}, {" ", "b", "a", "b"}},  // blanks and duplicates stay, order kept
    };
    for (const auto& c : cases) {
        TStringList list;
        for (const auto& s : c.before) list.Add(s);
        RemoveEmptyStrings(list);
        EXPECT_EQ(list.Items(), c.after);
    }
}

}  // namespace
