// The widget layer's objects; the windows behind them come from the backend.
#include "ui/Forms.h"

#include "ui/Backend.h"

TApplication* Application = nullptr;

namespace {
bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}
}  // namespace

TComponent::~TComponent() { DestroyComponents(); }

void TComponent::DestroyComponents() {
    while (!components_.empty()) components_.pop_back();
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    for (const auto& c : components_) {
        if (SameName(c->Name, name)) return c.get();
    }
    return nullptr;
}

void TAction::SetCaption(const std::string& caption) {
    caption_ = caption;
    Changed();
}

void TAction::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Changed();
}

bool TAction::Execute() {
    if (!enabled_ || !OnExecute) return false;
    OnExecute(this);
    return true;
}

void TAction::Changed() {
    for (TControl* c : clients_) c->ActionChanged();
}

void TControl::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (Handle || !Windowed()) ui_backend::UpdateText(*this);
}

void TControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (Handle) ui_backend::UpdateEnabled(*this);
}

void TControl::SetAction(TAction* action) {
    action_ = action;
    if (action) {
        action->AddClient(this);
        ActionChanged();
    }
}

void TControl::ActionChanged() {
    if (!action_) return;
    SetCaption(action_->Caption());
    SetEnabled(action_->Enabled());
}

TForm* TControl::Form() const {
    for (TComponent* c = Owner(); c; c = c->Owner()) {
        if (auto* form = dynamic_cast<TForm*>(c)) return form;
    }
    return nullptr;
}

void TLabel::Click() {
    if (OnClick) OnClick(this);
}

void TButton::Click() {
    if (Action()) {
        Action()->Execute();
        return;
    }
    if (OnClick) OnClick(this);
}

void TCanvas::Draw(int x, int y, const TBitmap& picture) {
    if (picture.Empty()) return;
    ui_backend::DrawBitmap(form_, x, y, picture);
}

TForm::TForm() { Color = clBtnFace; }

TForm::~TForm() { ui_backend::DestroyWindows(*this); }

std::vector<TLabel*> TForm::Labels() const {
    std::vector<TLabel*> labels;
    for (TControl* c : Controls) {
        if (auto* l = dynamic_cast<TLabel*>(c)) labels.push_back(l);
    }
    return labels;
}

void TForm::CreateHandle() {
    ui_backend::CreateWindows(*this);
    AutoSizeLabels();
}

void TForm::AfterConstruction() {
    try {
        if (OnCreate) OnCreate(this);
    } catch (const Exception& e) {
        if (Application) Application->ShowException(e);
    }
}

void TForm::Close() { ui_backend::CloseForm(*this); }

void TForm::Paint() {
    if (OnPaint) OnPaint(this);
}

TLabel* TForm::LabelAt(int x, int y) const {
    // The topmost label wins: the last one in layout order.
    auto labels = Labels();
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        TLabel* l = *it;
        if (x >= l->Left && x < l->Left + l->Width && y >= l->Top && y < l->Top + l->Height) return l;
    }
    return nullptr;
}

void TForm::AutoSizeLabels() {
    for (TLabel* l : Labels()) {
        int w = 0, h = 0;
        if (ui_backend::MeasureText(*this, *l, w, h)) {
            l->Width = w;
            l->Height = h;
        }
    }
}

TApplication::TApplication() { Application = this; }

TApplication::~TApplication() {
    if (mainForm_ && mainForm_->OnDestroy) {
        try {
            mainForm_->OnDestroy(mainForm_);
        } catch (const Exception& e) {
            ShowException(e);
        }
    }
    mainForm_ = nullptr;
    DestroyComponents();
    if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {}

void TApplication::Run() {
    if (mainForm_) ui_backend::RunMessageLoop(*mainForm_);
}

void TApplication::ShowException(const Exception& error) {
    ui_backend::ShowMessageBox(mainForm_, ErrorDisplayText(error.Message()), Title, MessageIcon::Error);
}

void ShowMessage(const std::string& text) {
    TForm* owner = Application ? Application->MainForm() : nullptr;
    ui_backend::ShowMessageBox(owner, text, Application ? Application->Title : std::string(), MessageIcon::None);
}
