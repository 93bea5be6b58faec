// The main window: start-up from the patch package, painting, the patch run and the link to
// the folder chooser.
#pragma once

#include <memory>
#include <string>

#include "rtl/Classes.h"
#include "rtl/Graphics.h"
#include "ui/Forms.h"

class TFormMain : public TForm {
public:
    TFormMain();
    ~TFormMain() override;

    // Components, built from the layout resource TFORMMAIN and owned by the form.
    TEdit* edtTargetDir = nullptr;
    TButton* btnStart = nullptr;
    TLabel* lblTargetDir = nullptr;
    TActionList* ActionList = nullptr;
    TButton* btnCancel = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* lblChangePath = nullptr;
    TLabel* Label3 = nullptr;
    TAction* actStart = nullptr;
    TAction* actCancel = nullptr;
    TAction* actChangePath = nullptr;

    void actStartExecute(TObject* Sender);
    void actCancelExecute(TObject* Sender);
    void actChangePathExecute(TObject* Sender);
    void FormDestroy(TObject* Sender);
    void FormPaint(TObject* Sender);
    void FormCreate(TObject* Sender);
    void lblChangePathClick(TObject* Sender);

    // What start-up read, for whoever needs to look (the tests).
    const TBitmap* Background() const { return background.get(); }
    const std::string& GameTitle() const { return gameTitle; }
    int PatchType() const { return patchType; }
    const TStringList* OutFiles() const { return outFiles.get(); }

private:
    void ApplyPatchType0();
    void ApplyPatchType1();
    // The target directory from the game's Start-menu shortcut; false when start-up must end.
    bool DetectTargetDirectory(const std::string& linkPath);

    // Declared so that they are released in the order outFiles, gameTitle, background.
    std::unique_ptr<TBitmap> background;
    std::string gameTitle;
    int patchType = 0;
    std::unique_ptr<TStringList> outFiles;
};

// The one main window, set when the application creates it.
extern TFormMain* FormMain;

// The program: initialises the application, creates the main window and runs it; returns 0.
int RunProgram();
