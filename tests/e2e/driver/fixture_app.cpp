// A small ANSI window program on which the UI driver's own tests run: buttons, a read-only edit
// box, a label, a windowless link that opens the folder dialog, and message boxes.
#include "win32/WinApi.h"

#include <shlobj.h>

#include <string>

namespace {

constexpr int kIdHello = 101;
constexpr int kIdQuit = 102;
constexpr int kIdPath = 103;
constexpr int kIdLabel = 104;
constexpr RECT kLink{20, 150, 60, 166};

const char kCaption[] = "\x83\x74\x83\x42\x83\x4E\x83\x58\x83\x60\x83\x83";  // フィクスチャ
const char kHello[] = "\x88\xA5\x8E\x41(&H)";                                 // 挨拶(&H)
const char kQuit[] = "\x8F\x49\x97\xB9(&X)";                                  // 終了(&X)
const char kLabel[] = "\x83\x89\x83\x78\x83\x8B";                             // ラベル
const char kLinkText[] = "\x82\xB1\x82\xB1";                                  // ここ
// こんにちは\n二行目
const char kGreeting[] = "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\n\x93\xF1\x8D\x73\x96\xDA";
// 起動に失敗しました
const char kStartError[] =
    "\x8B\x4E\x93\xAE\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// フォルダを選んでください
const char kBrowseTitle[] =
    "\x83\x74\x83\x48\x83\x8B\x83\x5F\x82\xF0\x91\x49\x82\xF1\x82\xC5\x82\xAD\x82\xBE\x82\xB3"
    "\x82\xA2";

HWND gPath;
HBRUSH gInfoBrush;

std::string windowText(HWND hwnd)
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

void browse(HWND owner)
{
    std::string initial = windowText(gPath);
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = kBrowseTitle;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initial.c_str());
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    if (!chosen)
        return;
    char path[MAX_PATH];
    if (SHGetPathFromIDListA(chosen, path))
        SetWindowTextA(gPath, path);
    CoTaskMemFree(chosen);
}

bool inLink(LPARAM lParam)
{
    POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&kLink, pt) != FALSE;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdHello)
            MessageBoxA(hwnd, kGreeting, kCaption, MB_OK);
        if (LOWORD(wParam) == kIdQuit)
            DestroyWindow(hwnd);
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != gPath)
            break;
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_INFOBK));
        return reinterpret_cast<LRESULT>(gInfoBrush);
    case WM_SETCURSOR: {
        // Like a form with windowless labels: the point comes from the real pointer.
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        if (reinterpret_cast<HWND>(wParam) != hwnd || !PtInRect(&kLink, pt))
            break;
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
    }
    case WM_LBUTTONDOWN:
        if (inLink(lParam))
            SetCapture(hwnd);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() != hwnd)
            return 0;
        ReleaseCapture();
        if (inLink(lParam))
            browse(hwnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 255));
        RECT link = kLink;
        DrawTextA(dc, kLinkText, -1, &link, DT_LEFT | DT_SINGLELINE);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(3);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND createChild(HWND parent, const char* cls, const char* text, DWORD style, int id, RECT r)
{
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right,
                           r.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

// Arguments: "error" shows an error box before the window opens. The edit box shows the
// working directory with a trailing backslash.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int)
{
    if (std::string(args) == "error")
        MessageBoxA(nullptr, kStartError, kCaption, MB_OK | MB_ICONERROR);
    CoInitialize(nullptr);
    gInfoBrush = CreateSolidBrush(GetSysColor(COLOR_INFOBK));

    WNDCLASSA cls{};
    cls.lpfnWndProc = windowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = "VpFixture";
    RegisterClassA(&cls);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 400, 200};
    AdjustWindowRect(&frame, style, FALSE);
    HWND hwnd = CreateWindowExA(0, cls.lpszClassName, kCaption, style, 100, 100,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, instance, nullptr);
    createChild(hwnd, "BUTTON", kHello, WS_TABSTOP | BS_PUSHBUTTON, kIdHello, {280, 120, 107, 25});
    createChild(hwnd, "BUTTON", kQuit, WS_TABSTOP | BS_PUSHBUTTON, kIdQuit, {280, 160, 107, 25});
    char cwd[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string path(cwd, length);
    if (path.empty() || path.back() != '\\')
        path += '\\';
    gPath = createChild(hwnd, "EDIT", path.c_str(), WS_TABSTOP | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL,
                        kIdPath, {10, 100, 260, 20});
    createChild(hwnd, "STATIC", kLabel, SS_LEFT, kIdLabel, {10, 80, 100, 14});
    ShowWindow(hwnd, SW_SHOW);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(hwnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DeleteObject(gInfoBrush);
    CoUninitialize();
    return static_cast<int>(msg.wParam);
}
