// The script reader.
#include "package/Ttinycnf.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "TestSupport.h"

namespace {

using Items = std::vector<std::string>;

// A reader over a script text, loaded by the string list's line rules.
class Script {
public:
    explicit Script(const std::string& text) {
        TStringList lines;
        lines.SetText(text);
        reader_ = std::make_unique<TTinyCnf>(lines);
    }
    std::optional<std::string> Value(const std::string& key) const {
        std::string value = "untouched";
        if (!reader_->GetValue(key, value)) {
            EXPECT_EQ(value, "untouched");
            return std::nullopt;
        }
        return value;
    }
    std::optional<Items> List(const std::string& key) const {
        TStringList list;
        list.Add("old");
        if (!reader_->GetList(key, list)) {
            EXPECT_EQ(list.Items(), Items{"old"});
            return std::nullopt;
        }
        return list.Items();
    }
    const TTinyCnf& reader() const { return *reader_; }

private:
    std::unique_ptr<TTinyCnf> reader_;
};

TEST(TinyCnf, ReadsTheSampleScript) {
    Script script(kSampleScript);
    EXPECT_EQ(script.Value("*PatchType"), "1");
    EXPECT_EQ(script.Value("*LinkPath"), "Miraldo\\Sorvane\\Sorvane.lnk");
    EXPECT_EQ(script.Value("*Caption"), kSampleCaption);
    EXPECT_EQ(script.Value("*GameTitle"), "Sorvane");
    EXPECT_EQ(script.Value("*Version"), "1.1");
    EXPECT_EQ(script.List("%OutFiles"), Items{"sov_patch.xp3"});
}

TEST(TinyCnf, KeepsItsOwnCopyOfTheLines) {
    auto lines = std::make_unique<TStringList>();
    lines->SetText("*Caption\r\nv\r\n");
    TTinyCnf reader(*lines);
    lines.reset();
    std::string value;
    EXPECT_TRUE(reader.GetValue("*Caption", value));
    EXPECT_EQ(value, "v");
}

TEST(TinyCnf, ValueLookups) {
    const struct {
        std::string text, key;
        std::optional<std::string> value;
    } cases[] = {
        {"*CAPTION\r\nv\r\n", "*Caption", "v"},
        {"*Caption\r\nv\r\n", " \t*Caption \r\n", "v"},
        {"\t*Caption\r\nv\r\n", "*Caption", std::nullopt},
        {"*Caption \r\nv\r\n", "*Caption", std::nullopt},
        {"*Caption\r\nfirst\r\n*Caption\r\nsecond\r\n", "*Caption", "first"},
        {"x\r\n*Caption", "*Caption", ""},
        {"*Caption\r\n\r\nv\r\n", "*Caption", ""},
        {"*Caption\r\n*GameTitle\r\nt\r\n", "*Caption", "*GameTitle"},
        {"*Caption\r\n%%\r\n", "*Caption", "%%"},
        {"*Caption\r\nv\r\n", "Caption", std::nullopt},
        {"%OutFiles\r\nv\r\n", "%OutFiles", std::nullopt},
        {"\r\nv\r\n", "", std::nullopt},
        {"\r\nv\r\n", " \t ", std::nullopt},
        {"*Caption\r\n   padded\t \r\n", "*Caption", "padded"},
        {"*Caption\r\r\nv", "*Caption", ""},
        {"*Caption\nv", "*Caption", "v"},
        {"*Caption\r\nv\r\n", "*caption", "v"},
        {std::string("x\r\n\0*Caption\r\nv", 15), "*Caption", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(Script(c.text).Value(c.key), c.value) << c.text;
}

TEST(TinyCnf, ListLookups) {
    const struct {
        std::string text, key;
        std::optional<Items> items;
    } cases[] = {
        {"%OutFiles\r\n\ta\r\n\r\n\tb\r\n%%\r\n", "%OutFiles", Items{"a", "", "b"}},
        {"%OutFiles\r\n\ta\r\n\r\n\tb\r\n", "%OutFiles", Items{"a", "", "b"}},
        {"%OutFiles\r\n%%\r\n\ta\r\n", "%OutFiles", Items{}},
        {"%OutFiles\r\n\t%%\r\n\tb\r\n%%\r\n", "%OutFiles", Items{"%%", "b"}},
        {"%OutFiles\r\n&PERCENT;&PERCENT;\r\n%%\r\n", "%OutFiles", Items{"%%"}},
        {"%outfiles\r\na\r\n%%\r\n", " %OutFiles ", Items{"a"}},
        {"%OutFiles\r\na\r\n%%\r\n", "*OutFiles", std::nullopt},
        {"%OutFiles\r\na\r\n%%\r\n", "%Other", std::nullopt},
        {"%OutFiles\r\na\r\n%%\r\n", "", std::nullopt},
        {"%OutFiles", "%OutFiles", Items{}},
    };
    for (const auto& c : cases) EXPECT_EQ(Script(c.text).List(c.key), c.items) << c.text;
}

TEST(TinyCnf, EntitiesInTheirFixedOrder) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"&SPACE;abc&SPACE;", " abc "},
        {"&AMPERSAND;TAB;", "\t"},
        {"&AMPERSAND;SPACE;", " "},
        {"&AMPERSAND;ASTERISK;", "*"},
        {"&AMPERSAND;PERCENT;", "%"},
        {"&AMPERSAND;AMPERSAND;", "&AMPERSAND;"},
        {"&tab;", "&tab;"},
        {"a&PERCENT;&PERCENT;b", "a%%b"},
        {"&ASTERISK;Caption", "*Caption"},
        {"&TAB;&TAB;", "\t\t"},
        {"&AMPERSAND", "&AMPERSAND"},
    };
    for (const auto& c : cases) EXPECT_EQ(TTinyCnf::Unescape(c.in), c.out) << c.in;
    EXPECT_EQ(Script("*Caption\r\n\t&SPACE;abc&SPACE;\t\r\n").Value("*Caption"), " abc ");
}

TEST(TinyCnf, FindLineAndListEnd) {
    Script script("a\r\n%%\r\nb\r\n%%\r\n");
    EXPECT_EQ(script.reader().FindLine("B"), 2);
    EXPECT_EQ(script.reader().FindLine("c"), -1);
    EXPECT_EQ(script.reader().FindListEnd(0), 1);
    EXPECT_EQ(script.reader().FindListEnd(2), 3);
    EXPECT_EQ(script.reader().FindListEnd(4), 4);
}

}  // namespace
