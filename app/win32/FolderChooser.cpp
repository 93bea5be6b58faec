// The shell's folder chooser: the dialog, its callback, and identifier lists made from paths.
#include "app/FolderChooser.h"

#include "rtl/win32/WinApi.h"

#include <shlobj.h>

namespace {

// Frees an identifier list with the shell's allocator; with no allocator nothing is freed.
void FreeIdList(LPITEMIDLIST list) {
    if (!list) return;
    IMalloc* malloc = nullptr;
    if (SHGetMalloc(&malloc) != S_OK || !malloc) return;
    malloc->Free(list);
    malloc->Release();
}

// The identifier list of a path as the desktop folder parses it; null when it cannot.
LPITEMIDLIST PathToIdList(const char* path) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) return nullptr;
    wchar_t wide[MAX_PATH];
    LPITEMIDLIST list = nullptr;
    // A path that does not fit the buffer is not parsed at all.
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, MAX_PATH) != 0) {
        ULONG eaten = 0, attributes = 0;
        if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide, &eaten, &list, &attributes))) list = nullptr;
    }
    desktop->Release();
    return list;
}

// Preselects the initial folder when the dialog has been created; always 0.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message != BFFM_INITIALIZED) return 0;
    LPITEMIDLIST list = PathToIdList(reinterpret_cast<const char*>(data));
    if (!list) return 0;
    SendMessageA(window, BFFM_SETSELECTIONA, 0, reinterpret_cast<LPARAM>(list));
    FreeIdList(list);
    return 0;
}

}  // namespace

std::string BrowseForFolder(void* owner, const char* rootPath, const char* title, const char* initialPath) {
    std::string result;
    BROWSEINFOA info{};
    LPITEMIDLIST root = rootPath ? PathToIdList(rootPath) : nullptr;
    info.hwndOwner = static_cast<HWND>(owner);
    info.pidlRoot = root;
    info.pszDisplayName = nullptr;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initialPath);
    info.iImage = 0;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    char buffer[MAX_PATH] = {};
    if (chosen && SHGetPathFromIDListA(chosen, buffer) == TRUE) result = buffer;
    FreeIdList(chosen);  // the chosen folder's list is the caller's to free as well
    FreeIdList(root);
    return result;
}
