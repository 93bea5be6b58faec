// The widget layer on real Windows windows. Texts of the product are code page 932 and are
// shown through the wide functions, so they read right whatever the system's ANSI code page;
// the edit box holds a path and is converted with the ANSI code page.
#include "rtl/win32/WinApi.h"

#include <commctrl.h>

#include <map>
#include <memory>
#include <string>

#include "ui/Backend.h"

namespace {

constexpr UINT kProductCodePage = 932;
constexpr int kFirstControlId = 100;
const wchar_t kFormClass[] = L"velkinPatchForm";

std::wstring Wide(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring(text.begin(), text.end());
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::wstring ControlText(const TControl& c) {
    return Wide(c.Caption(), dynamic_cast<const TEdit*>(&c) ? CP_ACP : kProductCodePage);
}

COLORREF ToColorRef(unsigned colour) {
    if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFF));
    return static_cast<COLORREF>(colour);
}

// A GDI font owned by one holder; copying is not allowed.
class ScopedFont {
public:
    explicit ScopedFont(HFONT font = nullptr) : font_(font) {}
    ScopedFont(const ScopedFont&) = delete;
    ScopedFont& operator=(const ScopedFont&) = delete;
    ~ScopedFont() {
        if (font_) DeleteObject(font_);
    }
    HFONT get() const { return font_; }

private:
    HFONT font_;
};

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(const std::wstring& face, BYTE charset) {
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    LOGFONTW lf{};
    lf.lfCharSet = charset;
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// The layout's face when it is installed, else the first installed Japanese face we know,
// else whatever the system gives for the character set.
std::wstring ResolveFace(const TFont& font) {
    const BYTE charset = static_cast<BYTE>(font.Charset);
    std::wstring wanted = Wide(font.Name, kProductCodePage);
    if (FaceInstalled(wanted, charset)) return wanted;
    for (const wchar_t* face : {L"MS PGothic", L"IPAPGothic", L"IPAGothic", L"MS UI Gothic", L"Meiryo UI",
                                L"VL PGothic", L"Takao PGothic"}) {
        if (FaceInstalled(face, charset)) return face;
    }
    return std::wstring();
}

HFONT MakeFont(const TFont& font) {
    LOGFONTW lf{};
    lf.lfHeight = font.Height;
    lf.lfWeight = FW_NORMAL;
    lf.lfUnderline = font.Underline ? TRUE : FALSE;
    lf.lfCharSet = static_cast<BYTE>(font.Charset);
    lf.lfQuality = DEFAULT_QUALITY;
    std::wstring face = ResolveFace(font);
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

struct FormState {
    std::map<const TControl*, std::unique_ptr<ScopedFont>> fonts;  // the form's own under itself
    HDC paintDc = nullptr;
    TLabel* pressed = nullptr;
};

std::map<const TForm*, FormState>& States() {
    static std::map<const TForm*, FormState> states;
    return states;
}

HFONT FontOf(TForm& form, const TControl& c) {
    auto& fonts = States()[&form].fonts;
    auto& slot = fonts[&c];
    if (!slot) slot = std::make_unique<ScopedFont>(MakeFont(c.Font));
    return slot->get();
}

TForm* FormOf(HWND hwnd) { return reinterpret_cast<TForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

TControl* ControlById(TForm& form, int id) {
    for (TControl* c : form.Controls) {
        if (c->Windowed() && c->Id == id) return c;
    }
    return nullptr;
}

// Runs a handler so that no error crosses the window procedure: it goes to the error display.
template <class F>
void Guarded(F f) {
    try {
        f();
    } catch (const Exception& e) {
        if (Application) Application->ShowException(e);
    } catch (const std::exception& e) {
        if (Application) Application->ShowException(Exception(e.what()));
    } catch (...) {
        if (Application) Application->ShowException(Exception("unexpected error"));
    }
}

void PaintForm(HWND hwnd, TForm& form) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    FormState& state = States()[&form];
    state.paintDc = dc;
    Guarded([&] { form.Paint(); });
    // Transparent labels: only their text, over the picture.
    SetBkMode(dc, TRANSPARENT);
    for (TLabel* l : form.Labels()) {
        HGDIOBJ old = SelectObject(dc, FontOf(form, *l));
        SetTextColor(dc, ToColorRef(l->Font.Color));
        RECT r{l->Left, l->Top, l->Left + l->Width, l->Top + l->Height};
        std::wstring text = ControlText(*l);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
        SelectObject(dc, old);
    }
    state.paintDc = nullptr;
    EndPaint(hwnd, &ps);
}

POINT ClientPoint(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TForm* form = FormOf(hwnd);
    if (!form) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_PAINT:
            PaintForm(hwnd, *form);
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            TControl* c = ControlById(*form, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
            if (!c || !dynamic_cast<TEdit*>(c)) break;
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, ToColorRef(c->Font.Color));
            SetBkColor(dc, ToColorRef(c->Color));
            if (c->Color & 0x80000000u) return reinterpret_cast<LRESULT>(GetSysColorBrush(c->Color & 0xFF));
            break;
        }
        case WM_COMMAND: {
            if (HIWORD(wParam) != BN_CLICKED) break;
            int id = LOWORD(wParam);
            TControl* c = id == IDOK ? ControlById(*form, GetDlgCtrlID(GetFocus())) : ControlById(*form, id);
            if (auto* b = dynamic_cast<TButton*>(c)) {
                if (b->Enabled()) Guarded([&] { b->Click(); });
            }
            return 0;
        }
        case WM_LBUTTONDOWN: {
            POINT p = ClientPoint(lParam);
            States()[form].pressed = form->LabelAt(p.x, p.y);
            SetCapture(hwnd);
            return 0;
        }
        case WM_LBUTTONUP: {
            ReleaseCapture();
            POINT p = ClientPoint(lParam);
            TLabel* pressed = States()[form].pressed;
            States()[form].pressed = nullptr;
            if (pressed && form->LabelAt(p.x, p.y) == pressed) Guarded([&] { pressed->Click(); });
            return 0;
        }
        case WM_SETCURSOR: {
            if (reinterpret_cast<HWND>(wParam) != hwnd || LOWORD(lParam) != HTCLIENT) break;
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(hwnd, &p);
            TLabel* l = form->LabelAt(p.x, p.y);
            SetCursor(LoadCursorW(nullptr, l && l->Cursor == crHandPoint ? MAKEINTRESOURCEW(32649) : MAKEINTRESOURCEW(32512)));  // IDC_HAND, IDC_ARROW
            return TRUE;
        }
        case WM_DESTROY: {
            for (TControl* c : form->Controls) c->Handle = nullptr;
            form->Handle = nullptr;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (Application && Application->MainForm() == form) PostQuitMessage(0);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterFormClass() {
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(wc.hInstance, L"MAINICON");
    wc.hCursor = nullptr;  // set by WM_SETCURSOR
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);
    registered = true;
}

}  // namespace

namespace ui_backend {

// Raises Exception when the window cannot be created.
void CreateWindows(TForm& form) {
    RegisterFormClass();
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
    if (form.BorderStyle == bsSizeable) style |= WS_THICKFRAME;
    if (form.BorderIcons.SystemMenu) style |= WS_SYSMENU;
    if (form.BorderIcons.Minimize) style |= WS_MINIMIZEBOX;
    if (form.BorderIcons.Maximize) style |= WS_MAXIMIZEBOX;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT r{0, 0, form.ClientWidth, form.ClientHeight};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x = form.Left, y = form.Top;
    if (form.Position == poScreenCenter) {
        x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    HWND hwnd = CreateWindowExW(exStyle, kFormClass, ControlText(form).c_str(), style, x, y, width, height,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) throw Exception("the main window cannot be created");
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&form));
    form.Handle = hwnd;

    // Child windows in tab order, so that Tab walks them as the layout says.
    std::multimap<int, TControl*> byTab;
    for (TControl* c : form.Controls) {
        if (c->Windowed()) byTab.emplace(c->TabOrder < 0 ? 1 << 20 : c->TabOrder, c);
    }
    int nextId = kFirstControlId;
    for (auto& [tab, c] : byTab) {
        const wchar_t* cls = L"BUTTON";
        DWORD cs = WS_CHILD | WS_VISIBLE | (c->TabOrder >= 0 ? WS_TABSTOP : 0);
        DWORD cx = 0;
        if (auto* e = dynamic_cast<TEdit*>(c)) {
            cls = L"EDIT";
            cs |= ES_AUTOHSCROLL | (e->ReadOnly ? ES_READONLY : 0);
            cx = WS_EX_CLIENTEDGE;
        } else {
            cs |= BS_PUSHBUTTON;
        }
        if (!c->Enabled()) cs |= WS_DISABLED;
        c->Id = nextId++;
        HWND child = CreateWindowExW(cx, cls, ControlText(*c).c_str(), cs, c->Left, c->Top, c->Width, c->Height,
                                     hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c->Id)),
                                     GetModuleHandleW(nullptr), nullptr);
        if (!child) throw Exception("a control of the main window cannot be created: " + c->Name);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(form, *c)), FALSE);
        c->Handle = child;
    }
}

void DestroyWindows(TForm& form) {
    if (form.Handle) DestroyWindow(static_cast<HWND>(form.Handle));
    States().erase(&form);
}

void RunMessageLoop(TForm& form) {
    HWND hwnd = static_cast<HWND>(form.Handle);
    if (!hwnd) return;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    if (first) SetFocus(first);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND main = static_cast<HWND>(form.Handle);
        if (main && IsDialogMessageW(main, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void CloseForm(TForm& form) {
    if (form.Handle) PostMessageW(static_cast<HWND>(form.Handle), WM_CLOSE, 0, 0);
}

void UpdateText(TControl& control) {
    if (auto* form = dynamic_cast<TForm*>(&control)) {
        if (form->Handle) SetWindowTextW(static_cast<HWND>(form->Handle), ControlText(*form).c_str());
        return;
    }
    if (control.Handle) {
        SetWindowTextW(static_cast<HWND>(control.Handle), ControlText(control).c_str());
        return;
    }
    TForm* form = control.Form();
    if (!form || !form->Handle) return;
    RECT r{control.Left, control.Top, control.Left + control.Width, control.Top + control.Height};
    InvalidateRect(static_cast<HWND>(form->Handle), &r, TRUE);
}

void UpdateEnabled(TControl& control) {
    if (control.Handle) EnableWindow(static_cast<HWND>(control.Handle), control.Enabled() ? TRUE : FALSE);
}

void DrawBitmap(TForm& form, int x, int y, const TBitmap& picture) {
    HDC dc = States()[&form].paintDc;
    if (!dc || picture.Empty()) return;
    const BitmapLayout& layout = picture.Layout();
    const auto* info = reinterpret_cast<const BITMAPINFO*>(picture.Image() + layout.infoOffset);
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(layout.width), static_cast<DWORD>(layout.height), 0, 0, 0,
                      static_cast<UINT>(layout.height), picture.Image() + layout.bitsOffset, info, DIB_RGB_COLORS);
}

bool MeasureText(TForm& form, const TLabel& label, int& width, int& height) {
    HDC dc = GetDC(static_cast<HWND>(form.Handle));
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, FontOf(form, label));
    std::wstring text = ControlText(label);
    SIZE size{};
    TEXTMETRICW tm{};
    bool ok = GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size) &&
              GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(static_cast<HWND>(form.Handle), dc);
    if (!ok) return false;
    width = size.cx;
    height = tm.tmHeight;
    return true;
}

void ShowMessageBox(TForm* owner, const std::string& text, const std::string& caption, MessageIcon icon) {
    HWND hwnd = owner ? static_cast<HWND>(owner->Handle) : nullptr;
    UINT type = MB_OK | (icon == MessageIcon::Error ? MB_ICONERROR : 0);
    MessageBoxW(hwnd, Wide(text, kProductCodePage).c_str(), Wide(caption, kProductCodePage).c_str(), type);
}

}  // namespace ui_backend
