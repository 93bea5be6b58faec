// Preparing and checking the script: encodings, line ends, the keys the installer reads and
// the %OutFiles names it may write.
#include <gtest/gtest.h>

#include "Script.h"

namespace {

// The sample patch's script, code page 932 with CR LF.
const std::string kSample =
    "*PatchType\r\n\t1\r\n\r\n*LinkPath\r\n\tMiraldo\\Sorvane\\Sorvane.lnk\r\n\r\n*Caption\r\n"
    "\tSorvane \x8F\x43\x90\xB3\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80 ver 1.1\r\n"  // 修正プログラム
    "\r\n*GameTitle\r\n\tSorvane\r\n\r\n*Version\r\n1.1\r\n\r\n%OutFiles\r\n\tsov_patch.xp3\r\n%%\r\n";

std::string Messages(const Problems& problems) {
    std::string all;
    for (const Problem& p : problems.All()) all += (p.severity == Problem::kError ? "error: " : "warning: ") + p.message + "\n";
    return all;
}

TEST(PrepareScriptTest, ConvertsToCodePage932WithCrLf) {
    struct Case {
        const char* what;
        std::string input;
        ScriptEncoding encoding;
        std::string expected;
    };
    const Case cases[] = {
        {"code page 932 stays as it is", kSample, ScriptEncoding::kAuto, kSample},
        {"LF line ends", "*PatchType\n\t1\n", ScriptEncoding::kAuto, "*PatchType\r\n\t1\r\n"},
        {"a last line without a break", "*PatchType\r\n\t1", ScriptEncoding::kAuto, "*PatchType\r\n\t1\r\n"},
        {"lone CR, and LF CR as a break and an empty line", "a\rb\n\rc", ScriptEncoding::kAuto, "a\r\nb\r\n\r\nc\r\n"},
        {"UTF-8", "*Caption\n\t\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\n", ScriptEncoding::kAuto, "*Caption\r\n\t\x83\x65\x83\x58\x83\x67\r\n"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF*Caption\r\n\t\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\r\n", ScriptEncoding::kAuto,
         "*Caption\r\n\t\x83\x65\x83\x58\x83\x67\r\n"},
        {"WAVE DASH as code page 932 writes it", "\xE3\x80\x9C", ScriptEncoding::kAuto, "\x81\x60\r\n"},
        {"named code page 932", "\x83\x65\x83\x58\x83\x67", ScriptEncoding::kCp932, "\x83\x65\x83\x58\x83\x67\r\n"},
        {"an empty script", "", ScriptEncoding::kAuto, ""},
    };
    for (const Case& c : cases) {
        Problems problems;
        const auto prepared = PrepareScript(c.input, c.encoding, "script.txt", problems);
        ASSERT_TRUE(prepared) << c.what << "\n" << Messages(problems);
        EXPECT_EQ(prepared->text, c.expected) << c.what;
        EXPECT_TRUE(problems.Empty()) << c.what << "\n" << Messages(problems);
    }
}

TEST(PrepareScriptTest, RefusesWhatTheInstallerCannotRead) {
    struct Case {
        const char* what;
        std::string input;
        ScriptEncoding encoding;
        std::vector<const char*> message;
    };
    const Case cases[] = {
        {"a character outside code page 932", "*Caption\n\tok\n\t\xF0\x9F\x98\x80\n", ScriptEncoding::kAuto, {"script.txt: line 3", "U+1F600", "replace it"}},
        {"a Latin letter outside code page 932", "\xC3\xBC", ScriptEncoding::kUtf8, {"U+00FC"}},
        {"UTF-16", std::string("\xFF\xFE*\0P\0", 6), ScriptEncoding::kAuto, {"UTF-16"}},
        {"a NUL byte", std::string("*Caption\r\n\tx\0y\r\n", 15), ScriptEncoding::kAuto, {"line 2", "NUL"}},
        {"neither UTF-8 nor code page 932", "*Caption\r\n\t\x85\x40\r\n", ScriptEncoding::kAuto, {"neither UTF-8 nor Shift-JIS", "line 2"}},
        {"a mark on a script named code page 932", "\xEF\xBB\xBFx", ScriptEncoding::kCp932, {"byte-order mark"}},
        {"code page 932 named UTF-8", "\x83\x65\x83\x58", ScriptEncoding::kUtf8, {"not valid UTF-8"}},
    };
    for (const Case& c : cases) {
        Problems problems;
        EXPECT_FALSE(PrepareScript(c.input, c.encoding, "script.txt", problems)) << c.what;
        ASSERT_TRUE(problems.HasErrors()) << c.what;
        for (const char* part : c.message) EXPECT_NE(problems.All()[0].message.find(part), std::string::npos) << c.what << ": " << problems.All()[0].message;
    }
}

TEST(PrepareScriptTest, PointsAShiftJisFileThatLooksLikeUtf8AtTheOption) {
    // Half-width katakana "ﾃｽ" is also the UTF-8 of "ý", which code page 932 lacks.
    Problems problems;
    EXPECT_FALSE(PrepareScript("\xC3\xBD", ScriptEncoding::kAuto, "script.txt", problems));
    EXPECT_NE(Messages(problems).find("--script-encoding cp932"), std::string::npos) << Messages(problems);
    Problems named;
    EXPECT_EQ(PrepareScript("\xC3\xBD", ScriptEncoding::kCp932, "script.txt", named)->text, "\xC3\xBD\r\n");
}

TEST(ItemPathTest, TakesRelativeNamesFolderByFolder) {
    struct Case {
        std::string item;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {"sov_patch.xp3", {"sov_patch.xp3"}},
        {"data\\x.dat", {"data", "x.dat"}},
        {"data/x.dat", {"data", "x.dat"}},
        {"\x95\x5C.dat", {"\xE8\xA1\xA8.dat"}},                      // 表.dat: 0x5C is its trail byte, no folder
        {"\x95\x5C\\a.dat", {"\xE8\xA1\xA8", "a.dat"}},             // 表\a.dat
        {"\x83\x66\x81\x5B\x83\x5E\\b c.dat", {"\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF", "b c.dat"}},  // データ\b c.dat
        {"console.log", {"console.log"}},
        {"...dat", {"...dat"}},
    };
    for (const Case& c : cases) {
        std::string why;
        std::vector<std::string> warnings;
        const auto path = ParseItemPath(c.item, why, warnings);
        ASSERT_TRUE(path) << c.item << ": " << why;
        EXPECT_EQ(path->parts, c.parts);
        EXPECT_TRUE(warnings.empty()) << c.item;
    }
}

TEST(ItemPathTest, RefusesNamesThatLeaveTheTargetFolderOrCannotBeFiles) {
    struct Case {
        std::string item;
        const char* why;
    };
    const Case cases[] = {
        {"\\Windows\\x.dll", "absolute"},
        {"/etc/x", "absolute"},
        {"\\\\server\\share\\x", "absolute"},
        {"C:\\x.dat", "drive-qualified"},
        {"C:x.dat", "drive-qualified"},
        {"..\\x.dat", "climbs out"},
        {"a\\..\\..\\x.dat", "climbs out"},
        {"a/../b", "climbs out"},
        {".\\a", "\".\" folder"},
        {"a\\\\b", "empty folder name"},
        {"data\\", "empty folder name"},
        {"a.dat:stream", "\":\""},
        {"a?.dat", "\"?\""},
        {"a*.dat", "\"*\""},
        {"a|b", "\"|\""},
        {"a\"b", "U+0022"},
        {"a\tb", "U+0009"},
        {"nul", "device"},
        {"data\\CON.txt", "device"},
        {"com1.dat", "device"},
        {"LPT9", "device"},
        {"\x85\x40", "not valid code page 932"},
    };
    for (const Case& c : cases) {
        std::string why;
        std::vector<std::string> warnings;
        EXPECT_FALSE(ParseItemPath(c.item, why, warnings)) << c.item;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.item << ": " << why;
    }
}

TEST(ItemPathTest, WarnsOfATrailingDotOrSpace) {
    std::string why;
    std::vector<std::string> warnings;
    EXPECT_TRUE(ParseItemPath("readme.", why, warnings));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("dot or a space"), std::string::npos);
}

TEST(ScriptModelTest, ReadsTheSampleAsTheInstallerDoes) {
    const ScriptModel m = ReadScriptModel(kSample);
    EXPECT_EQ(m.lineCount, 18);
    EXPECT_EQ(m.caption, "Sorvane \x8F\x43\x90\xB3\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80 ver 1.1");
    EXPECT_EQ(m.linkPath, "Miraldo\\Sorvane\\Sorvane.lnk");
    EXPECT_EQ(m.PatchTypeNumber(), 1);
    EXPECT_EQ(m.outFiles, (std::vector<std::string>{"sov_patch.xp3"}));
    Problems problems;
    const auto paths = CheckScriptModel(m, "script.txt", problems);
    EXPECT_TRUE(problems.Empty()) << Messages(problems);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0]->Relative(), "sov_patch.xp3");
}

TEST(ScriptModelTest, FindsWhatGoesWrongAtTheInstaller) {
    struct Case {
        const char* what;
        std::string script;
        std::vector<const char*> expected;  // "error: ..." or "warning: ..." parts, in order
    };
    const Case cases[] = {
        {"patch type 1 without %OutFiles", "*Caption\r\n\tx\r\n*PatchType\r\n\t1\r\n", {"error: script.txt: has no %OutFiles list"}},
        {"a patch type that StrToIntDef reads as 1", "*Caption\r\n\tx\r\n*PatchType\r\n\tone\r\n", {"error: script.txt: has no %OutFiles"}},
        {"no *PatchType", "*Caption\r\n\tx\r\n%OutFiles\r\n\ta\r\n%%\r\n", {"warning: script.txt: has no *PatchType; the installer will write nothing"}},
        {"patch type 2", "*Caption\r\n\tx\r\n*PatchType\r\n\t2\r\n", {"warning: script.txt: *PatchType is 2"}},
        {"no *Caption", "*PatchType\r\n\t1\r\n%OutFiles\r\n\ta\r\n%%\r\n", {"warning: script.txt: has no *Caption"}},
        {"a value line that is a key line", "*Caption\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n\ta\r\n%%\r\n",
         {"warning: script.txt: the line after *Caption is \"*PatchType\""}},
        {"a list without its %% line", "*PatchType\r\n\t1\r\n%OutFiles\r\n\ta\r\n*Caption\r\n\tx\r\n",
         {"warning: script.txt: %OutFiles item 1 \"*Caption\" looks like a key line",
          "error: script.txt: %OutFiles item 1 \"*Caption\" contains the character U+002A"}},
        {"a refused name", "*Caption\r\n\tx\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n\t..\\evil.dll\r\n%%\r\n",
         {"error: script.txt: %OutFiles item 0 \"..\\evil.dll\" climbs out"}},
        {"the same file twice", "*Caption\r\n\tx\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n\tA.dat\r\n\r\n\ta.DAT\r\n%%\r\n",
         {"warning: script.txt: %OutFiles item 2 \"a.DAT\" names the same file as item 0"}},
        {"no file at all", "*Caption\r\n\tx\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n\r\n%%\r\n", {"warning: script.txt: %OutFiles names no file"}},
    };
    for (const Case& c : cases) {
        Problems problems;
        CheckScriptModel(ReadScriptModel(c.script), "script.txt", problems);
        const std::string all = Messages(problems);
        std::size_t at = 0;
        for (const char* part : c.expected) {
            at = all.find(part, at);
            EXPECT_NE(at, std::string::npos) << c.what << ": expected \"" << part << "\" in\n" << all;
        }
        EXPECT_EQ(problems.All().size(), c.expected.size()) << c.what << "\n" << all;
    }
}

}  // namespace
