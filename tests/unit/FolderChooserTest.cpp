// The link word "ここ" and the folder chooser behind it.
#include <gtest/gtest.h>

#include "FormFixture.h"

namespace {

// "Sorvane"がインストールされているディレクトリを指定してください
const std::string kSorvaneTitle =
    "\"Sorvane\"\x82\xAA\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x83\x66"
    "\x83\x42\x83\x8C\x83\x4E\x83\x67\x83\x8A\x82\xF0\x8E\x77\x92\xE8\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";

class FolderChooserTest : public FormTest {
protected:
    // Clicks the link word with the box showing `shown`; the dialog answers `answer` ("" cancels).
    std::string Choose(TFormMain& form, const std::string& shown, const std::string& answer) {
        form.edtTargetDir->SetText(shown);
        if (!answer.empty()) screen().folderAnswers.push_back(answer);
        form.lblChangePath->Click();
        return form.edtTargetDir->Text();
    }
};

TEST_F(FolderChooserTest, TheDialogNamesTheGameAndStartsAtTheShownDirectory) {
    TFormMain& form = Start(kSampleScript);
    Choose(form, "C:\\Games\\Sorvane\\", "");
    ASSERT_EQ(screen().folderDialogs.size(), 1u);
    const auto& dialog = screen().folderDialogs[0];
    EXPECT_EQ(dialog.title, kSorvaneTitle);
    EXPECT_EQ(dialog.initialPath, "C:\\Games\\Sorvane\\");
    EXPECT_EQ(dialog.rootPath, "");
    EXPECT_EQ(dialog.owner, form.WindowHandle());
}

TEST_F(FolderChooserTest, AnEmptyGameTitleLeavesTheQuotesEmpty) {
    TFormMain& form = Start("*GameTitle\r\n\r\n");
    Choose(form, "", "");
    ASSERT_EQ(screen().folderDialogs.size(), 1u);
    EXPECT_EQ(screen().folderDialogs[0].title.substr(0, 3), "\"\"\x82");
    EXPECT_EQ(screen().folderDialogs[0].title, kSorvaneTitle.substr(0, 1) + kSorvaneTitle.substr(8));
}

TEST_F(FolderChooserTest, TheChosenDirectoryGetsOneTrailingDelimiter) {
    const struct {
        std::string shown, answer, result;
    } cases[] = {
        {"C:\\Old\\", "C:\\Games\\Sorvane", "C:\\Games\\Sorvane\\"},
        {"C:\\Old\\", "D:\\", "D:\\"},
        {"C:\\Old\\", "C:\\Games\\\x83\x5C", "C:\\Games\\\x83\x5C\\"},  // ソ ends in a trail byte 0x5C
        {"C:\\Old\\", "", "C:\\Old\\"},                                 // cancelled
        {"", "", ""},                                                   // cancelled with an empty box
    };
    for (const auto& c : cases) {
        SetUp();
        TFormMain& form = Start(kSampleScript);
        EXPECT_EQ(Choose(form, c.shown, c.answer), c.result) << c.answer;
    }
}

TEST_F(FolderChooserTest, ChosenDirectoryIsWhereTheRunWrites) {
    files().AddDirectory("D:\\Elsewhere");
    resources().Set("RESOURCE_FILE0", "BIN", "payload");
    TFormMain& form = Start(kSampleScript);
    Choose(form, "", "D:\\Elsewhere");
    form.btnStart->Click();
    EXPECT_EQ(files().Read("D:\\Elsewhere\\sov_patch.xp3"), "payload");
    // After the run the link still opens the dialog.
    Choose(form, form.edtTargetDir->Text(), "");
    EXPECT_EQ(screen().folderDialogs.size(), 2u);
    EXPECT_EQ(screen().folderDialogs[1].initialPath, "D:\\Elsewhere\\");
}

}  // namespace
