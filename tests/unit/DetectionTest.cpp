// Finding the target directory at start-up from the game's Start-menu shortcut.
#include <gtest/gtest.h>

#include "FormFixture.h"

namespace {

// プログラムメニュー内に + link + が見つかりません\n対象ソフトがインストールされていない可能性があります
std::string NotFoundMessage(const std::string& link) {
    return texts::kShortcutMissingBefore + link + texts::kShortcutMissingAfter;
}

class DetectionTest : public FormTest {
protected:
    static std::string Script(const std::string& link) {
        return "*PatchType\r\n1\r\n*Caption\r\nc\r\n*GameTitle\r\ng\r\n*LinkPath\r\n\t" + link +
               "\r\n%OutFiles\r\n\ta.dat\r\n%%\r\n";
    }
    void ExpectLocatorReleased() {
        const auto& live = fake::Shell::Get().Live();
        EXPECT_EQ(live.allocators, 0);
        EXPECT_EQ(live.idLists, 0);
        EXPECT_EQ(live.links, 0);
        EXPECT_EQ(live.persistFiles, 0);
        EXPECT_EQ(live.comInits, 0);
        EXPECT_EQ(fake::Registry::Get().OpenKeys(), 0);
    }
    // The state after a failed detection: values read, box empty, no out-file list.
    void ExpectFailedStartUp(TFormMain& form, const std::string& link) {
        ASSERT_EQ(screen().messages.size(), 1u);
        EXPECT_EQ(screen().messages[0].text, NotFoundMessage(link));
        EXPECT_EQ(screen().messages[0].icon, MessageIcon::None);
        EXPECT_EQ(form.Caption(), "c");
        EXPECT_EQ(form.GameTitle(), "g");
        EXPECT_EQ(form.PatchType(), 1);
        EXPECT_EQ(form.edtTargetDir->Text(), "");
        EXPECT_EQ(form.OutFiles(), nullptr);
        ExpectLocatorReleased();
    }
};

TEST_F(DetectionTest, TheTargetDirectoryIsTheShortcutTargetsFolder) {
    const struct {
        std::string target, directory;
    } cases[] = {
        {kSampleGame, "C:\\Games\\Sorvane\\"},
        {"C:\\Program Files\\Sorvane\\Sorvane.exe", "C:\\Program Files\\Sorvane\\"},
        {"C:\\Sorvane.exe", "C:\\"},
        {"C:\\Games\\\x83\x5C\x83\x74\x83\x67.exe", "C:\\Games\\"},  // ソフト.exe: the 0x5C is a trail byte
    };
    for (const auto& c : cases) {
        SetUp();
        InstallShortcut(kUserPrograms + "\\" + kSampleShortcut, c.target);
        TFormMain& form = Start(kSampleScript);
        EXPECT_EQ(form.edtTargetDir->Text(), c.directory) << c.target;
        EXPECT_TRUE(screen().messages.empty());
        ASSERT_NE(form.OutFiles(), nullptr);
        ExpectLocatorReleased();
    }
}

TEST_F(DetectionTest, TheSampleRunWritesIntoTheDetectedDirectory) {
    files().AddDirectory("C:\\Games\\Sorvane");
    resources().Set("RESOURCE_FILE0", "BIN", "payload");
    TFormMain& form = Start(kSampleScript);
    form.btnStart->Click();
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\sov_patch.xp3"), "payload");
}

TEST_F(DetectionTest, AShortcutInNeitherFolder) {
    TFormMain& form = Start(Script("Other\\Game.lnk"));
    ExpectFailedStartUp(form, "Other\\Game.lnk");
    // A run of type 1 then fails at once.
    resources().Set("RESOURCE_FILE0", "BIN", "payload");
    screen().messages.clear();
    form.btnStart->Click();
    ASSERT_EQ(screen().messages.size(), 1u);
    EXPECT_EQ(screen().messages[0].text, texts::kPatchFailed);
    EXPECT_FALSE(WasLookedUp("BIN/RESOURCE_FILE0"));
    EXPECT_TRUE(form.actCancel->Enabled());
    EXPECT_EQ(form.actCancel->Caption(), kCancelCaption);
}

TEST_F(DetectionTest, AFileThatIsNotAShortcut) {
    files().AddFile(kUserPrograms + "\\Miraldo\\Broken.lnk", "not a shortcut");
    TFormMain& form = Start(Script("Miraldo\\Broken.lnk"));
    ExpectFailedStartUp(form, "Miraldo\\Broken.lnk");
}

TEST_F(DetectionTest, AShortcutWithoutAFileSystemTarget) {
    // Would otherwise give a single backslash, the root of the current drive.
    InstallShortcut(kUserPrograms + "\\Miraldo\\Virtual.lnk", "");
    TFormMain& form = Start(Script("Miraldo\\Virtual.lnk"));
    ExpectFailedStartUp(form, "Miraldo\\Virtual.lnk");
}

TEST_F(DetectionTest, AnEmptyLinkPathIsANameThatIsNotThere) {
    TFormMain& form = Start("*PatchType\r\n1\r\n*Caption\r\nc\r\n*GameTitle\r\ng\r\n*LinkPath\r\n\r\n%OutFiles\r\n%%\r\n");
    ExpectFailedStartUp(form, "");
}

TEST_F(DetectionTest, ALinkPathWithALeadingBackslashIsJoinedLikeAnyOther) {
    TFormMain& form = Start(Script("\\" + kSampleShortcut));
    ASSERT_TRUE(screen().messages.empty());
    EXPECT_EQ(form.edtTargetDir->Text(), "C:\\Games\\Sorvane\\");
    SetUp();
    TFormMain& missing = Start(Script("\\Nothing.lnk"));
    ExpectFailedStartUp(missing, "\\Nothing.lnk");
}

TEST_F(DetectionTest, NoLinkPathNoDetection) {
    TFormMain& form = Start("*PatchType\r\n1\r\n%OutFiles\r\n%%\r\n");
    EXPECT_TRUE(fake::Shell::Get().FolderRequests().empty());
    EXPECT_EQ(form.edtTargetDir->Text(), "");
    EXPECT_TRUE(screen().messages.empty());
}

}  // namespace
