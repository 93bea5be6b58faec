// The main window: start-up from the patch package, painting, the patch run and the link to
// the folder chooser.
#include "app/uFormMain.h"

#include "app/FolderChooser.h"
#include "app/Texts.h"
#include "lib/Tqmfile.h"
#include "package/PatchPackage.h"
#include "package/Ttinycnf.h"
#include "rtl/SysUtils.h"
#include "ui/Layout.h"

TFormMain* FormMain = nullptr;

TFormMain::TFormMain() {
    auto bind = [this](void (TFormMain::*handler)(TObject*)) {
        return [this, handler](TObject* sender) { (this->*handler)(sender); };
    };
    const HandlerTable handlers = {
        {"actStartExecute", bind(&TFormMain::actStartExecute)},
        {"actCancelExecute", bind(&TFormMain::actCancelExecute)},
        {"actChangePathExecute", bind(&TFormMain::actChangePathExecute)},
        {"FormDestroy", bind(&TFormMain::FormDestroy)},
        {"FormPaint", bind(&TFormMain::FormPaint)},
        {"FormCreate", bind(&TFormMain::FormCreate)},
        {"lblChangePathClick", bind(&TFormMain::lblChangePathClick)},
    };
    LoadFormLayout(*this, "TFORMMAIN", handlers);
    edtTargetDir = LayoutComponent<TEdit>(*this, "edtTargetDir");
    btnStart = LayoutComponent<TButton>(*this, "btnStart");
    lblTargetDir = LayoutComponent<TLabel>(*this, "lblTargetDir");
    ActionList = LayoutComponent<TActionList>(*this, "ActionList");
    btnCancel = LayoutComponent<TButton>(*this, "btnCancel");
    Label1 = LayoutComponent<TLabel>(*this, "Label1");
    lblChangePath = LayoutComponent<TLabel>(*this, "lblChangePath");
    Label3 = LayoutComponent<TLabel>(*this, "Label3");
    actStart = LayoutComponent<TAction>(*this, "actStart");
    actCancel = LayoutComponent<TAction>(*this, "actCancel");
    actChangePath = LayoutComponent<TAction>(*this, "actChangePath");
    CreateHandle();
}

TFormMain::~TFormMain() {
    if (FormMain == this) FormMain = nullptr;
}

void TFormMain::FormCreate(TObject*) {
    background = std::make_unique<TBitmap>();
    std::unique_ptr<TResourceStream> stream = OpenBackground();
    background->LoadFromStream(*stream);
    stream = OpenScript();  // the picture's stream goes as the script's takes its place
    auto lines = std::make_unique<TStringList>();
    lines->LoadFromStream(*stream);
    auto cnf = std::make_unique<TTinyCnf>(*lines);

    std::string value;
    if (cnf->GetValue("*Caption", value)) SetCaption(value);
    if (cnf->GetValue("*GameTitle", value)) gameTitle = value;
    if (cnf->GetValue("*PatchType", value)) patchType = StrToIntDef(value, 1);
    if (cnf->GetValue("*LinkPath", value) && !DetectTargetDirectory(value)) return;

    outFiles = std::make_unique<TStringList>();
    if (!cnf->GetList("%OutFiles", *outFiles) && patchType == 1) ShowMessage(texts::kOutFilesMissing);
}

bool TFormMain::DetectTargetDirectory(const std::string& linkPath) {
    auto locator = std::make_unique<TqmFile>();
    std::string foundPath;
    std::uint32_t diagnostics = 0;
    char targetPath[os::kMaxPath] = {};
    os::FindData findData{};
    if (locator->FindProgramShortcut(linkPath, foundPath, diagnostics) &&
        locator->ResolveShortcut(foundPath.c_str(), targetPath, findData)) {
        edtTargetDir->SetText(IncludeTrailingPathDelimiter(ExtractFilePath(targetPath)));
        return true;
    }
    ShowMessage(texts::kShortcutMissingBefore + linkPath + texts::kShortcutMissingAfter);
    return false;
}

void TFormMain::FormPaint(TObject*) {
    if (background) Canvas.Draw(0, 0, *background);
}

void TFormMain::FormDestroy(TObject*) {}

void TFormMain::actCancelExecute(TObject*) { Close(); }

void TFormMain::lblChangePathClick(TObject*) { actChangePath->Execute(); }

void TFormMain::actChangePathExecute(TObject*) {
    const std::string title = StringReplace(texts::kChooserTitle, "%s", gameTitle, 0);
    const std::string initial = edtTargetDir->Text();  // stays valid while the dialog runs
    const std::string chosen = BrowseForFolder(WindowHandle(), nullptr, title.c_str(), initial.c_str());
    if (!chosen.empty()) edtTargetDir->SetText(IncludeTrailingPathDelimiter(chosen));
}

void TFormMain::actStartExecute(TObject*) {
    actStart->SetEnabled(false);
    actCancel->SetEnabled(false);
    switch (patchType) {
        case 0: ApplyPatchType0(); break;
        case 1: ApplyPatchType1(); break;
        default: break;
    }
    actCancel->SetEnabled(true);
}

void TFormMain::ApplyPatchType0() {}

void TFormMain::ApplyPatchType1() {
    try {
        if (!outFiles) throw Exception("the out-file list was not loaded");
        std::unique_ptr<TResourceStream> stream;
        for (int i = 0; i < outFiles->Count(); ++i) {
            const std::string name = outFiles->Strings(i);
            if (name.empty()) continue;
            const std::string path = edtTargetDir->Text() + name;
            stream = OpenPayload(i);  // the previous payload goes once this one is open
            stream->SaveToFile(path);
        }
    } catch (...) {
        ShowMessage(texts::kPatchFailed);
        return;
    }
    ShowMessage(texts::kPatchSucceeded);
    actCancel->SetCaption(texts::kCancelAfterSuccess);
}

int RunProgram() {
    TApplication application;
    try {
        Application->Initialize();
        Application->Title = texts::kApplicationTitle;
        Application->CreateForm(FormMain);
        Application->Run();
    } catch (const Exception& e) {
        Application->ShowException(e);
    } catch (const std::exception& e) {
        // Not one of the runtime's errors (for instance memory running out): shown all the same.
        Application->ShowException(Exception(e.what()));
    }
    return 0;
}
