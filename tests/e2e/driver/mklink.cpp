// Creates a real shell shortcut (.lnk) through IShellLinkA, so tests can lay out Start-menu
// entries the way an installed product would have them.
#include "win32/WinApi.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct ComRelease {
    void operator()(IUnknown* object) const
    {
        if (object)
            object->Release();
    }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease>;

class ComApartment {
public:
    ComApartment() : result_(CoInitialize(nullptr)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

// The argument in the ANSI code page, as the product's own strings are; false when a character
// has no representation there.
bool toAnsi(const wchar_t* wide, std::string& out)
{
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy)
        return false;
    out.assign(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();
    return true;
}

struct IdListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using IdList = std::unique_ptr<ITEMIDLIST, IdListFree>;

// The identifier list that the desktop folder makes of a name.
HRESULT parseShellName(const wchar_t* name, IdList& out)
{
    IShellFolder* rawDesktop = nullptr;
    HRESULT hr = SHGetDesktopFolder(&rawDesktop);
    if (FAILED(hr))
        return hr;
    ComPtr<IShellFolder> desktop(rawDesktop);
    std::wstring text = name;
    ITEMIDLIST* list = nullptr;
    hr = desktop->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &list, nullptr);
    out.reset(list);
    return hr;
}

int failWith(const char* what, HRESULT result)
{
    fprintf(stderr, "mklink: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(result));
    return 1;
}

}  // namespace

// mklink <shortcut.lnk> <target> [working directory] [arguments]: Windows paths; a target that
// begins with "::" names a shell namespace item ("::{CLSID}") instead of a file.
int wmain(int argc, wchar_t** argv)
{
    if (argc < 3 || argc > 5) {
        fprintf(stderr, "usage: mklink <shortcut.lnk> <target> [working directory] [arguments]\n");
        return 2;
    }
    std::string texts[4];
    for (int i = 1; i < argc; ++i) {
        if (!toAnsi(argv[i], texts[i - 1])) {
            fprintf(stderr, "mklink: argument %d has characters outside the ANSI code page\n", i);
            return 2;
        }
    }
    std::wstring shortcut = argv[1];

    ComApartment com;
    if (FAILED(com.result()))
        return failWith("CoInitialize", com.result());
    IShellLinkA* rawLink = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&rawLink));
    if (FAILED(hr))
        return failWith("CoCreateInstance(ShellLink)", hr);
    ComPtr<IShellLinkA> link(rawLink);
    if (texts[1].rfind("::", 0) == 0) {
        // A shell namespace item such as "::{CLSID}": the shortcut holds only its identifier
        // list, with no file-system path (Wine's SetPath would keep the text as a path).
        IdList item;
        if (FAILED(hr = parseShellName(argv[2], item)))
            return failWith("IShellFolder::ParseDisplayName", hr);
        if (FAILED(hr = link->SetIDList(item.get())))
            return failWith("IShellLinkA::SetIDList", hr);
    } else if (FAILED(hr = link->SetPath(texts[1].c_str()))) {
        return failWith("IShellLinkA::SetPath", hr);
    }
    if (!texts[2].empty() && FAILED(hr = link->SetWorkingDirectory(texts[2].c_str())))
        return failWith("IShellLinkA::SetWorkingDirectory", hr);
    if (!texts[3].empty() && FAILED(hr = link->SetArguments(texts[3].c_str())))
        return failWith("IShellLinkA::SetArguments", hr);

    IPersistFile* rawFile = nullptr;
    if (FAILED(hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile))))
        return failWith("QueryInterface(IPersistFile)", hr);
    ComPtr<IPersistFile> file(rawFile);
    if (FAILED(hr = file->Save(shortcut.c_str(), TRUE)))
        return failWith("IPersistFile::Save", hr);
    return 0;
}
