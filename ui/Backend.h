// What the widget layer asks of the system's windows (one implementation per backend).
#pragma once

#include <string>

#include "ui/Forms.h"

namespace ui_backend {

// Creates the form's window and the windows of its windowed controls, not yet shown.
void CreateWindows(TForm& form);
void DestroyWindows(TForm& form);
// Shows the main form and runs the message loop until it closes.
void RunMessageLoop(TForm& form);
void CloseForm(TForm& form);
// Shows a control's current caption and enabled state.
void UpdateText(TControl& control);
void UpdateEnabled(TControl& control);
// Draws a picture on the form while it paints.
void DrawBitmap(TForm& form, int x, int y, const TBitmap& picture);
// Measures a label's text in its font (width and height in pixels); false when it cannot.
bool MeasureText(TForm& form, const TLabel& label, int& width, int& height);
// A modal message box owned by the form (or by none), with one OK button.
void ShowMessageBox(TForm* owner, const std::string& text, const std::string& caption, MessageIcon icon);

}  // namespace ui_backend
