// The patch run behind the Start button.
#include <gtest/gtest.h>

#include "FormFixture.h"

namespace {

struct ActionState {
    bool start, cancel;
    std::string cancelCaption;
    bool operator==(const ActionState&) const = default;
};

class PatchRunTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        files().AddDirectory("C:\\Games\\Sorvane");
    }
    static std::string Script(int type, const std::vector<std::string>& outFiles, bool withList = true) {
        std::string s = "*PatchType\r\n\t" + std::to_string(type) + "\r\n";
        if (!withList) return s;
        s += "%OutFiles\r\n";
        for (const auto& name : outFiles) s += "\t" + name + "\r\n";
        return s + "%%\r\n";
    }
    static ActionState State(const TFormMain& form) {
        return {form.actStart->Enabled(), form.actCancel->Enabled(), form.actCancel->Caption()};
    }
    // Starts the window with the script, sets the target directory and presses Start.
    TFormMain& Run(const std::string& script, const std::string& targetDir = "C:\\Games\\Sorvane\\") {
        TFormMain& form = Start(script);
        screen().messages.clear();
        form.edtTargetDir->SetText(targetDir);
        screen().onMessage = [&](const headless::ShownMessage&) { during.push_back(State(form)); };
        form.btnStart->Click();
        return form;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& m : screen().messages) texts.push_back(m.text);
        return texts;
    }
    // Every file in the games folder.
    static std::vector<std::string> GameFiles() {
        std::vector<std::string> names;
        for (const auto& f : files().Files()) {
            if (f.rfind("C:\\GAMES\\", 0) == 0) names.push_back(f);
        }
        return names;
    }
    std::vector<ActionState> during;
};

const ActionState kRunning{false, false, kCancelCaption};
const ActionState kAfterSuccess{false, true, "\x8F\x49\x97\xB9(&X)"};  // 終了(&X)
const ActionState kAfterOther{false, true, kCancelCaption};

TEST_F(PatchRunTest, WritesTheSamplePayload) {
    resources().Set("RESOURCE_FILE0", "BIN", "payload bytes");
    files().AddFile("C:\\Games\\Sorvane\\sov_patch.xp3", "a much longer original file of the game");
    TFormMain& form = Start(kSampleScript);
    EXPECT_EQ(State(form), (ActionState{true, true, kCancelCaption}));
    form.edtTargetDir->SetText("C:\\Games\\Sorvane\\");
    screen().onMessage = [&](const headless::ShownMessage&) { during.push_back(State(form)); };
    form.btnStart->Click();
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\sov_patch.xp3"), "payload bytes");
    EXPECT_EQ(Messages(), std::vector<std::string>{texts::kPatchSucceeded});
    EXPECT_EQ(during, std::vector<ActionState>{kRunning});
    EXPECT_EQ(State(form), kAfterSuccess);
    EXPECT_EQ(form.btnCancel->Caption(), kAfterSuccess.cancelCaption);
    EXPECT_FALSE(form.btnStart->Enabled());
    form.btnStart->Click();  // disabled: nothing happens again
    EXPECT_EQ(screen().messages.size(), 1u);
}

TEST_F(PatchRunTest, OtherTypesWriteNothingAndSayNothing) {
    for (int type : {0, 2, -1}) {
        SetUp();
        resources().Set("RESOURCE_FILE0", "BIN", "payload");
        TFormMain& form = Run(Script(type, {"a.dat"}));
        EXPECT_TRUE(screen().messages.empty()) << type;
        EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\a.dat"), std::nullopt) << type;
        EXPECT_EQ(State(form), kAfterOther) << type;
    }
}

TEST_F(PatchRunTest, PayloadNumbersArePositionsInTheList) {
    resources().Set("RESOURCE_FILE0", "BIN", "zero");
    resources().Set("RESOURCE_FILE1", "BIN", "one");
    resources().Set("RESOURCE_FILE2", "BIN", "two");
    Run(Script(1, {"a.dat", "", "c.dat"}));
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\a.dat"), "zero");
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\c.dat"), "two");
    EXPECT_FALSE(WasLookedUp("BIN/RESOURCE_FILE1"));
    EXPECT_EQ(Messages(), std::vector<std::string>{texts::kPatchSucceeded});
}

TEST_F(PatchRunTest, TheEleventhItemTakesPayloadTen) {
    std::vector<std::string> names;
    for (int i = 0; i < 11; ++i) {
        names.push_back("f" + std::to_string(i) + ".dat");
        resources().Set("RESOURCE_FILE" + std::to_string(i), "BIN", "payload " + std::to_string(i));
    }
    Run(Script(1, names));
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\f10.dat"), "payload 10");
    EXPECT_TRUE(WasLookedUp("BIN/RESOURCE_FILE10"));
}

TEST_F(PatchRunTest, AnEmptyListSucceeds) {
    TFormMain& form = Run(Script(1, {}));
    EXPECT_EQ(Messages(), std::vector<std::string>{texts::kPatchSucceeded});
    EXPECT_EQ(State(form), kAfterSuccess);
}

TEST_F(PatchRunTest, AMissingSecondPayloadKeepsTheFirstFile) {
    resources().Set("RESOURCE_FILE0", "BIN", "zero");
    files().AddFile("C:\\Games\\Sorvane\\b.dat", "old b");
    TFormMain& form = Run(Script(1, {"a.dat", "b.dat"}));
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\a.dat"), "zero");
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\b.dat"), "old b");
    EXPECT_EQ(Messages(), std::vector<std::string>{texts::kPatchFailed});
    EXPECT_EQ(during, std::vector<ActionState>{kRunning});
    EXPECT_EQ(State(form), kAfterOther);
}

TEST_F(PatchRunTest, ALaterItemOverwritesAnEarlierFileOfTheSameName) {
    resources().Set("RESOURCE_FILE0", "BIN", "first");
    resources().Set("RESOURCE_FILE1", "BIN", "second");
    Run(Script(1, {"same.dat", "SAME.DAT"}));
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\same.dat"), "second");
}

TEST_F(PatchRunTest, AnEmptyTargetDirectoryWritesRelativeNames) {
    files().SetCurrentDirectory("C:\\Games\\Sorvane");
    resources().Set("RESOURCE_FILE0", "BIN", "zero");
    Run(Script(1, {"rel.dat"}), "");
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\rel.dat"), "zero");
}

TEST_F(PatchRunTest, NamesAreJoinedPlainly) {
    files().AddDirectory("C:\\Games\\Sorvane\\data");
    resources().Set("RESOURCE_FILE0", "BIN", "x");
    resources().Set("RESOURCE_FILE1", "BIN", "y");
    Run(Script(1, {"data\\x.dat", "missing\\y.dat"}));
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\data\\x.dat"), "x");
    EXPECT_EQ(Messages(), std::vector<std::string>{texts::kPatchFailed});  // no directory is created
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\missing\\y.dat"), std::nullopt);
}

TEST_F(PatchRunTest, ZeroBytePayloadsEmptyTheFile) {
    resources().Set("RESOURCE_FILE0", "BIN", "");
    files().AddFile("C:\\Games\\Sorvane\\a.dat", "old");
    Run(Script(1, {"a.dat"}));
    EXPECT_EQ(files().Read("C:\\Games\\Sorvane\\a.dat"), "");
}

// The run never leaves a game file half-written: faults keep the old bytes, and no
// temporary file stays behind.
TEST_F(PatchRunTest, FailedWritesKeepTheOldFile) {
    enum Fault { HalfWrite, DiskFull, ReadOnly, Locked };
    for (Fault fault : {HalfWrite, DiskFull, ReadOnly, Locked}) {
        SetUp();
        const std::string target = "C:\\Games\\Sorvane\\sov_patch.xp3";
        resources().Set("RESOURCE_FILE0", "BIN", std::string(5000, 'n'));
        files().AddFile(target, "original game data", fault == ReadOnly);
        if (fault == HalfWrite) files().FailWritesAfter(2500);
        if (fault == DiskFull) files().SetFreeSpace(10);
        if (fault == Locked) files().Lock(target);
        TFormMain& form = Run(kSampleScript);
        EXPECT_EQ(files().Read(target), "original game data") << fault;
        EXPECT_EQ(GameFiles(), std::vector<std::string>{"C:\\GAMES\\SORVANE\\SOV_PATCH.XP3"}) << fault;
        EXPECT_EQ(files().OpenHandles(), 0) << fault;
        EXPECT_EQ(Messages(), std::vector<std::string>{texts::kPatchFailed}) << fault;
        EXPECT_EQ(State(form), kAfterOther) << fault;
    }
}

}  // namespace
