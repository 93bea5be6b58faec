// The main window: layout, start-up, painting, closing.
#include <gtest/gtest.h>

#include "FormFixture.h"

namespace {

using Items = std::vector<std::string>;

TEST_F(FormTest, TheSampleScript) {
    TFormMain& form = Start(kSampleScript);
    EXPECT_EQ(form.Caption(), kSampleCaption);
    EXPECT_EQ(form.GameTitle(), "Sorvane");
    EXPECT_EQ(form.PatchType(), 1);
    ASSERT_NE(form.OutFiles(), nullptr);
    EXPECT_EQ(form.OutFiles()->Items(), Items{"sov_patch.xp3"});
    EXPECT_EQ(form.Background()->Width(), 600);
    EXPECT_TRUE(screen().messages.empty());
}

TEST_F(FormTest, TheLayout) {
    TFormMain& form = Start(kSampleScript);
    EXPECT_EQ(form.ClientWidth, 600);
    EXPECT_EQ(form.ClientHeight, 300);
    EXPECT_EQ(form.BorderStyle, bsSingle);
    EXPECT_TRUE(form.BorderIcons.SystemMenu);
    EXPECT_TRUE(form.BorderIcons.Minimize);
    EXPECT_FALSE(form.BorderIcons.Maximize);
    EXPECT_EQ(form.Position, poScreenCenter);
    EXPECT_EQ(form.Color, clBtnFace);
    EXPECT_EQ(form.Font.Name, "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E");  // ＭＳ Ｐゴシック
    EXPECT_EQ(form.Font.Height, -12);
    EXPECT_EQ(form.Font.Charset, 128);

    const struct {
        TControl* control;
        int left, top, width, height, tabOrder;
        std::string text;
    } controls[] = {
        {form.lblTargetDir, 8, 240, 105, 12, -1,
         "\x8F\x43\x90\xB3\x91\xCE\x8F\xDB\x83\x66\x83\x42\x83\x8C\x83\x4E\x83\x67\x83\x8A"},  // 修正対象ディレクトリ
        {form.edtTargetDir, 8, 256, 473, 20, 2, "C:\\Games\\Sorvane\\"},
        {form.Label1, 8, 280, 291, 12, -1,
         // ↑このパスが自動検索されましたが、間違っている場合は
         "\x81\xAA\x82\xB1\x82\xCC\x83\x70\x83\x58\x82\xAA\x8E\xA9\x93\xAE\x8C\x9F\x8D\xF5\x82\xB3\x82\xEA\x82\xDC"
         "\x82\xB5\x82\xBD\x82\xAA\x81\x41\x8A\xD4\x88\xE1\x82\xC1\x82\xC4\x82\xA2\x82\xE9\x8F\xEA\x8D\x87\x82\xCD"},
        {form.lblChangePath, 304, 280, 20, 12, -1, "\x82\xB1\x82\xB1"},  // ここ
        {form.Label3, 328, 280, 124, 12, -1,
         // を押して変更してください
         "\x82\xF0\x89\x9F\x82\xB5\x82\xC4\x95\xCF\x8D\x58\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2"},
        {form.btnStart, 488, 240, 107, 25, 0, kStartCaption},
        {form.btnCancel, 488, 272, 107, 25, 1, kCancelCaption},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.control->Name);
        EXPECT_EQ(c.control->Left, c.left);
        EXPECT_EQ(c.control->Top, c.top);
        EXPECT_EQ(c.control->Width, c.width);
        EXPECT_EQ(c.control->Height, c.height);
        EXPECT_EQ(c.control->TabOrder, c.tabOrder);
        EXPECT_EQ(c.control->Caption(), c.text);
    }
    EXPECT_TRUE(form.edtTargetDir->ReadOnly);
    EXPECT_EQ(form.edtTargetDir->Color, clInfoBk);
    EXPECT_EQ(form.lblChangePath->Cursor, crHandPoint);
    EXPECT_EQ(form.lblChangePath->Font.Color, clBlue);
    EXPECT_TRUE(form.lblChangePath->Font.Underline);
    EXPECT_EQ(form.lblChangePath->Font.Name, form.Font.Name);
    EXPECT_FALSE(form.Label1->Font.Underline);
    EXPECT_EQ(form.btnStart->Action(), form.actStart);
    EXPECT_EQ(form.btnCancel->Action(), form.actCancel);
    EXPECT_EQ(form.actChangePath->Caption(),
              // 修正対象ディレクトリの指定(&T)
              "\x8F\x43\x90\xB3\x91\xCE\x8F\xDB\x83\x66\x83\x42\x83\x8C\x83\x4E\x83\x67\x83\x8A\x82\xCC\x8E\x77\x92\xE8(&T)");
    for (TAction* a : {form.actStart, form.actCancel, form.actChangePath}) EXPECT_TRUE(a->Enabled());
}

TEST_F(FormTest, ButtonsFollowTheirActionsAtOnce) {
    TFormMain& form = Start(kSampleScript);
    form.actStart->SetEnabled(false);
    EXPECT_FALSE(form.btnStart->Enabled());
    form.actCancel->SetCaption("x");
    EXPECT_EQ(form.btnCancel->Caption(), "x");
}

TEST_F(FormTest, CaptionFromTheScript) {
    const struct {
        std::string script, caption;
    } cases[] = {
        {"*GameTitle\r\n\tg\r\n", "FormMain"},
        {"*GameTitle\r\n\tg\r\n*Caption", ""},
        {"*Caption\r\n\r\n", ""},
        {"*caption\r\n\tHello\r\n", "Hello"},
    };
    for (const auto& c : cases) {
        SetUp();
        EXPECT_EQ(Start(c.script).Caption(), c.caption) << c.script;
    }
}

TEST_F(FormTest, PatchTypeFromTheScript) {
    const struct {
        std::string script;
        int type;
    } cases[] = {
        {"*Caption\r\nc\r\n", 0}, {"*PatchType\r\n1\r\n", 1},  {"*PatchType\r\nabc\r\n", 1},
        {"*PatchType\r\n\r\n", 1}, {"*PatchType\r\n", 1},          {"*PatchType\r\n2147483648\r\n", 1},
        {"*PatchType\r\n$10\r\n", 16}, {"*PatchType\r\n0x1F\r\n", 31}, {"*PatchType\r\n-1\r\n", -1},
        {"*PatchType\r\n\t 0 \r\n", 0},
    };
    for (const auto& c : cases) {
        SetUp();
        EXPECT_EQ(Start(c.script + "%OutFiles\r\n%%\r\n").PatchType(), c.type) << c.script;
    }
}

TEST_F(FormTest, WithoutGameTitleAndLinkPath) {
    TFormMain& form = Start("*PatchType\r\n1\r\n%OutFiles\r\n\ta\r\n%%\r\n");
    EXPECT_EQ(form.GameTitle(), "");
    EXPECT_EQ(form.edtTargetDir->Text(), "");
    ASSERT_NE(form.OutFiles(), nullptr);
    EXPECT_TRUE(screen().messages.empty());
}

TEST_F(FormTest, MissingOutFilesIsReportedForTypeOneOnly) {
    TFormMain& form = Start("*PatchType\r\n1\r\n");
    ASSERT_EQ(screen().messages.size(), 1u);
    EXPECT_EQ(screen().messages[0].text, texts::kOutFilesMissing);
    EXPECT_EQ(screen().messages[0].caption, "velkinPatch");
    EXPECT_EQ(screen().messages[0].icon, MessageIcon::None);
    ASSERT_NE(form.OutFiles(), nullptr);
    EXPECT_EQ(form.OutFiles()->Count(), 0);

    for (const char* script : {"*PatchType\r\n0\r\n", "*PatchType\r\n2\r\n", "*Caption\r\nx\r\n"}) {
        SetUp();
        Start(script);
        EXPECT_TRUE(screen().messages.empty()) << script;
    }
}

TEST_F(FormTest, BlankOutFileLinesAreKept) {
    TFormMain& form = Start("*PatchType\r\n1\r\n%OutFiles\r\n\ta.dat\r\n\r\n\tc.dat\r\n%%\r\n");
    EXPECT_EQ(form.OutFiles()->Items(), (Items{"a.dat", "", "c.dat"}));
}

TEST_F(FormTest, MissingBackgroundEndsStartUpBeforeTheScript) {
    resources().Remove("RESOURCE_BACKGROUND", "BMP");
    TFormMain& form = Start(kSampleScript);
    ASSERT_EQ(screen().messages.size(), 1u);
    // RESOURCE_BACKGROUND リソースが見つかりません.
    EXPECT_EQ(screen().messages[0].text,
              "RESOURCE_BACKGROUND \x83\x8A\x83\x5C\x81\x5B\x83\x58\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC"
              "\x82\xB9\x82\xF1.");
    EXPECT_EQ(screen().messages[0].caption, "velkinPatch");
    EXPECT_EQ(screen().messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(WasLookedUp("TEXT/RESOURCE_SCRIPT"));
    EXPECT_EQ(form.Caption(), "FormMain");
    EXPECT_EQ(form.PatchType(), 0);
    EXPECT_EQ(form.OutFiles(), nullptr);
    EXPECT_TRUE(form.Background()->Empty());
    form.FormPaint(nullptr);
    EXPECT_TRUE(screen().drawings.empty());
}

TEST_F(FormTest, ABrokenBackgroundIsShownAsAnError) {
    resources().Set("RESOURCE_BACKGROUND", "BMP", "not a picture");
    TFormMain& form = Start(kSampleScript);
    ASSERT_EQ(screen().messages.size(), 1u);
    EXPECT_EQ(screen().messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(WasLookedUp("TEXT/RESOURCE_SCRIPT"));
    EXPECT_EQ(form.OutFiles(), nullptr);
}

TEST_F(FormTest, AZeroByteBackgroundIsAnEmptyPicture) {
    resources().Set("RESOURCE_BACKGROUND", "BMP", "");
    TFormMain& form = Start(kSampleScript);
    EXPECT_TRUE(screen().messages.empty());
    EXPECT_TRUE(form.Background()->Empty());
    EXPECT_EQ(form.Caption(), kSampleCaption);
}

TEST_F(FormTest, MissingScriptKeepsThePicture) {
    TFormMain& form = Start();
    ASSERT_EQ(screen().messages.size(), 1u);
    EXPECT_EQ(screen().messages[0].text.rfind("RESOURCE_SCRIPT ", 0), 0u);
    EXPECT_EQ(form.Background()->Width(), 600);
    EXPECT_EQ(form.Caption(), "FormMain");
    EXPECT_EQ(form.OutFiles(), nullptr);
}

TEST_F(FormTest, PaintDrawsThePictureAtTheCornerAtItsOwnSize) {
    resources().Set("RESOURCE_BACKGROUND", "BMP", MakeBitmap(700, 100));
    TFormMain& form = Start(kSampleScript);
    form.FormPaint(nullptr);
    ASSERT_EQ(screen().drawings.size(), 1u);
    EXPECT_EQ(screen().drawings[0].x, 0);
    EXPECT_EQ(screen().drawings[0].y, 0);
    EXPECT_EQ(screen().drawings[0].width, 700);
    EXPECT_EQ(screen().drawings[0].height, 100);
}

TEST_F(FormTest, CancelClosesTheWindow) {
    TFormMain& form = Start(kSampleScript);
    form.btnCancel->Click();
    EXPECT_EQ(screen().closedForms, 1);
}

TEST_F(FormTest, OnlyTheLinkWordRunsTheChangePathAction) {
    TFormMain& form = Start(kSampleScript);
    int runs = 0;
    form.actChangePath->OnExecute = [&](TObject*) { ++runs; };
    if (TLabel* l = form.LabelAt(310, 285)) l->Click();
    EXPECT_EQ(runs, 1);
    for (auto [x, y] : {std::pair{20, 285}, std::pair{400, 285}, std::pair{20, 245}}) {
        TLabel* l = form.LabelAt(x, y);
        ASSERT_NE(l, nullptr);
        l->Click();
    }
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(form.LabelAt(310, 270), nullptr);
}

TEST_F(FormTest, AMissingLayoutIsAnErrorNotACrash) {
    resources().Remove("TFORMMAIN", "#10");
    resources().Set("RESOURCE_SCRIPT", "TEXT", kSampleScript);
    app = std::make_unique<TApplication>();
    EXPECT_THROW(app->CreateForm(FormMain), EResNotFound);
}

}  // namespace
