// Streams, the string list and writing a stream to a file.
#include "rtl/Classes.h"

#include <gtest/gtest.h>

#include <vector>

#include "rtl/Exceptions.h"
#include "rtl/fake/FakeFiles.h"

namespace {

std::vector<std::string> LinesOf(const std::string& text) {
    TBytesStream stream(text);
    TStringList list;
    list.LoadFromStream(stream);
    return list.Items();
}

using Lines = std::vector<std::string>;

TEST(StringList, LineRules) {
    const struct {
        std::string text;
        Lines lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"", {}},
        {"a\r\n\r\n", {"a", ""}},
        {std::string("a\r\n\0*Caption\r\nx", 15), {"a"}},
        {std::string("a\0b", 3), {"a"}},
        {"\tindented \r\n", {"\tindented "}},
        {"\xEF\xBB\xBFx", {"\xEF\xBB\xBFx"}},  // no byte-order mark is recognised
    };
    for (const auto& c : cases) EXPECT_EQ(LinesOf(c.text), c.lines);
}

TEST(StringList, LoadsFromTheStreamPosition) {
    TBytesStream stream("skip\r\nkeep\r\n");
    stream.SetPosition(6);
    TStringList list;
    list.Add("old");
    list.LoadFromStream(stream);
    EXPECT_EQ(list.Items(), Lines{"keep"});
}

TEST(StringList, EditingKeepsOrderAndChecksIndexes) {
    TStringList list;
    list.Add("a");
    list.Add("");
    list.Add("a");
    list.Delete(0);
    EXPECT_EQ(list.Items(), (Lines{"", "a"}));
    TStringList other;
    other.Add("x");
    other.AddStrings(list);
    other.AddStrings(other);
    EXPECT_EQ(other.Items(), (Lines{"x", "", "a", "x", "", "a"}));
    EXPECT_THROW(list.Strings(2), ERangeError);
    EXPECT_THROW(list.Delete(-1), ERangeError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

class SaveToFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs().Reset();
        fs().AddDirectory("C:\\Games\\Sorvane");
        fs().AddFile("C:\\Games\\Sorvane\\sov_patch.xp3", "old bytes of the game");
    }
    static fake::FileSystem& fs() { return fake::FileSystem::Get(); }
    static std::string Payload() { return std::string(10000, 'p') + std::string(1, '\0') + "end"; }
    static const char* Target() { return "C:\\Games\\Sorvane\\sov_patch.xp3"; }
    void ExpectOldFileAlone() {
        EXPECT_EQ(fs().Read(Target()), "old bytes of the game");
        EXPECT_EQ(fs().Files(), std::vector<std::string>{"C:\\GAMES\\SORVANE\\SOV_PATCH.XP3"});
        EXPECT_EQ(fs().OpenHandles(), 0);
    }
};

TEST_F(SaveToFileTest, ReplacesAnExistingFileWhole) {
    TBytesStream stream(Payload());
    stream.SaveToFile(Target());
    EXPECT_EQ(fs().Read(Target()), Payload());
    EXPECT_EQ(fs().Files().size(), 1u);
    EXPECT_EQ(fs().WriteCalls(), 1);  // one write of the whole payload
}

TEST_F(SaveToFileTest, WritesNewAndEmptyFiles) {
    TBytesStream empty("");
    empty.SaveToFile(Target());
    EXPECT_EQ(fs().Read(Target()), "");
    TBytesStream stream("x");
    stream.SaveToFile("C:\\Games\\Sorvane\\new.dat");
    EXPECT_EQ(fs().Read("c:\\games\\sorvane\\NEW.DAT"), "x");
}

TEST_F(SaveToFileTest, ShortWritesAreContinued) {
    fs().SetMaxWriteChunk(999);
    TBytesStream stream(Payload());
    stream.SaveToFile(Target());
    EXPECT_EQ(fs().Read(Target()), Payload());
}

TEST_F(SaveToFileTest, AWriteThatBreaksOffHalfwayLeavesTheOldFile) {
    fs().FailWritesAfter(5000);
    TBytesStream stream(Payload());
    EXPECT_THROW(stream.SaveToFile(Target()), EWriteError);
    ExpectOldFileAlone();
}

TEST_F(SaveToFileTest, AFullDiskLeavesTheOldFile) {
    fs().SetFreeSpace(100);
    TBytesStream stream(Payload());
    EXPECT_THROW(stream.SaveToFile(Target()), EWriteError);
    ExpectOldFileAlone();
}

TEST_F(SaveToFileTest, RefusedTargetsLeaveEverythingAsItWas) {
    TBytesStream stream(Payload());
    // A missing subdirectory is not created.
    EXPECT_THROW(stream.SaveToFile("C:\\Games\\Sorvane\\data\\x.dat"), EFCreateError);
    ExpectOldFileAlone();
    // A read-only file is not replaced.
    fs().AddFile(Target(), "old bytes of the game", true);
    EXPECT_THROW(stream.SaveToFile(Target()), EFCreateError);
    ExpectOldFileAlone();
}

TEST_F(SaveToFileTest, ALockedTargetIsAFailureAndTheTemporaryFileGoes) {
    fs().Lock(Target());
    TBytesStream stream(Payload());
    EXPECT_THROW(stream.SaveToFile(Target()), EFCreateError);
    ExpectOldFileAlone();
}

TEST_F(SaveToFileTest, ADirectoryOfTheNameIsNotReplaced) {
    TBytesStream stream(Payload());
    EXPECT_THROW(stream.SaveToFile("C:\\Games"), EFCreateError);
}

TEST_F(SaveToFileTest, ATakenTemporaryNameIsPassedOver) {
    fs().AddFile(std::string(Target()) + ".vpnew0", "someone else's");
    TBytesStream stream(Payload());
    stream.SaveToFile(Target());
    EXPECT_EQ(fs().Read(Target()), Payload());
    EXPECT_EQ(fs().Read(std::string(Target()) + ".vpnew0"), "someone else's");
}

TEST_F(SaveToFileTest, RelativeNamesLandInTheCurrentDirectory) {
    fs().SetCurrentDirectory("C:\\Games\\Sorvane");
    TBytesStream stream("abc");
    stream.SaveToFile("rel.dat");
    EXPECT_EQ(fs().Read("C:\\Games\\Sorvane\\rel.dat"), "abc");
}

}  // namespace
