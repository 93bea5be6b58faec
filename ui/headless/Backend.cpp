// The widget layer without windows, for unit tests: records what would be shown.
#include "ui/headless/Headless.h"

#include "ui/Backend.h"

namespace headless {

Screen& Get() {
    static Screen screen;
    return screen;
}

void Reset() { Get() = Screen(); }

}  // namespace headless

namespace ui_backend {

void CreateWindows(TForm&) {}
void DestroyWindows(TForm&) {}
void RunMessageLoop(TForm&) {}
void CloseForm(TForm&) { ++headless::Get().closedForms; }
void UpdateText(TControl&) {}
void UpdateEnabled(TControl&) {}

void DrawBitmap(TForm&, int x, int y, const TBitmap& picture) {
    headless::Get().drawings.push_back({x, y, picture.Width(), picture.Height()});
}

bool MeasureText(TForm&, const TLabel&, int&, int&) { return false; }

void ShowMessageBox(TForm*, const std::string& text, const std::string& caption, MessageIcon icon) {
    auto& screen = headless::Get();
    screen.messages.push_back({text, caption, icon});
    if (screen.onMessage) screen.onMessage(screen.messages.back());
}

}  // namespace ui_backend
