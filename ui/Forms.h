// The widget layer: components, actions, controls, the form and the application object.
// Windows are made by one backend per system (real windows, or none for unit tests).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rtl/Exceptions.h"
#include "rtl/Graphics.h"

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// A named object that owns the components created with it as owner.
class TComponent : public TObject {
public:
    TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    ~TComponent() override;

    std::string Name;

    // Takes ownership of a component; it is destroyed with this one, the last adopted first.
    template <class T>
    T* Adopt(std::unique_ptr<T> component) {
        T* raw = component.get();
        raw->owner_ = this;
        components_.push_back(std::move(component));
        return raw;
    }
    TComponent* Owner() const { return owner_; }
    // The owned component of that name (ASCII case ignored), or null.
    TComponent* FindComponent(const std::string& name) const;
    const std::vector<std::unique_ptr<TComponent>>& Components() const { return components_; }

protected:
    // Destroys the owned components, the last adopted first.
    void DestroyComponents();

private:
    TComponent* owner_ = nullptr;
    std::vector<std::unique_ptr<TComponent>> components_;
};

class TControl;

// A command with a caption and an enabled state that bound controls show at once.
class TAction : public TComponent {
public:
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Runs OnExecute when the action is enabled; true when it ran.
    bool Execute();

    TNotifyEvent OnExecute;

    void AddClient(TControl* control) { clients_.push_back(control); }

private:
    void Changed();
    std::string caption_;
    bool enabled_ = true;
    std::vector<TControl*> clients_;
};

class TActionList : public TComponent {};

enum TCursor { crDefault, crHandPoint };

struct TFont {
    std::string Name;   // code page 932 text
    int Height = -12;   // negative: character height in pixels
    int Charset = 128;  // SHIFTJIS_CHARSET
    unsigned Color = 0x80000008;  // clWindowText
    bool Underline = false;
};

// System colours are kept as the form library writes them: 0x80000000 | COLOR_xxx.
constexpr unsigned clBtnFace = 0x8000000F, clWindowText = 0x80000008, clInfoBk = 0x80000018,
                   clWindow = 0x80000005, clBlue = 0x00FF0000;

class TForm;

// A control on the form. Windowed controls get a window from the backend; labels are drawn
// by the form itself.
class TControl : public TComponent {
public:
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int TabOrder = -1;        // -1: not a tab stop
    TFont Font;
    TCursor Cursor = crDefault;
    unsigned Color = clBtnFace;
    TNotifyEvent OnClick;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    TAction* Action() const { return action_; }
    // Binds the control to an action: it shows the action's caption and enabled state from now on.
    void SetAction(TAction* action);
    void ActionChanged();

    virtual bool Windowed() const { return true; }
    TForm* Form() const;
    void* Handle = nullptr;   // the backend's window, when it has one
    int Id = 0;               // the child window identifier

private:
    std::string caption_;
    bool enabled_ = true;
    TAction* action_ = nullptr;
};

// Text drawn by the form over its picture, without a window of its own.
class TLabel : public TControl {
public:
    bool Transparent = true;
    bool Windowed() const override { return false; }
    // Runs OnClick.
    void Click();
};

class TEdit : public TControl {
public:
    bool ReadOnly = false;
    // The text of an edit box is a path in the system's ANSI code page.
    const std::string& Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }
};

class TButton : public TControl {
public:
    // Executes the bound action, or runs OnClick when there is none.
    void Click();
};

class TCanvas {
public:
    explicit TCanvas(TForm& form) : form_(form) {}
    // Draws the picture at its own size with its top-left corner at (x, y); an empty one draws nothing.
    void Draw(int x, int y, const TBitmap& picture);

private:
    TForm& form_;
};

enum TBorderStyle { bsSingle, bsSizeable };
enum TPosition { poDesigned, poScreenCenter };
struct TBorderIcons {
    bool SystemMenu = true, Minimize = true, Maximize = true;
};

class TForm : public TControl {
public:
    TForm();
    ~TForm() override;

    int ClientWidth = 0, ClientHeight = 0;
    TBorderStyle BorderStyle = bsSizeable;
    TBorderIcons BorderIcons;
    TPosition Position = poDesigned;
    TNotifyEvent OnCreate, OnDestroy, OnPaint;
    TCanvas Canvas{*this};

    // Controls in the order of the layout.
    std::vector<TControl*> Controls;
    std::vector<TLabel*> Labels() const;

    // Makes the window and its controls (not yet shown) and sizes the labels to their texts.
    void CreateHandle();
    // Runs OnCreate once construction is complete; an error is shown and the form opens all the same.
    void AfterConstruction();
    // Closes the window; closing the main form ends the message loop.
    void Close();
    void* WindowHandle() const { return Handle; }
    // Asks the backend to paint the client area (OnPaint, then the labels).
    void Paint();
    // Runs OnClick of the label under a client point, if any.
    TLabel* LabelAt(int x, int y) const;
    // Text size of a label in its font, as the backend measures it.
    void AutoSizeLabels();
};

// Message box icons.
enum class MessageIcon { None, Error };

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    void Initialize();
    std::string Title;
    // Constructs the form with the application as owner, stores it in `ref` and makes the
    // first form so created the main form; the form's OnCreate runs before this returns.
    template <class T>
    void CreateForm(T*& ref) {
        T* form = Adopt(std::make_unique<T>());
        ref = form;
        if (!mainForm_) mainForm_ = form;
        form->AfterConstruction();
    }
    // Shows the main form and runs the message loop until it closes.
    void Run();
    // The error's text (with the full stop rule), the title as caption, an error icon.
    void ShowException(const Exception& error);
    TForm* MainForm() const { return mainForm_; }

private:
    TForm* mainForm_ = nullptr;
};

// The process-wide application object, set while one exists.
extern TApplication* Application;

// A modal box with the text (line feeds break lines), one OK button, no icon and the
// application title as caption; returns when dismissed.
void ShowMessage(const std::string& text);
