// Shell folders, environment expansion and shell links on Windows, each COM pointer and
// identifier list held by an owner that gives it back.
#include "rtl/Shell.h"
#include "rtl/win32/WinApi.h"

#include <shlobj.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace os {

namespace {

static_assert(sizeof(FindData) == sizeof(WIN32_FIND_DATAA));
static_assert(offsetof(FindData, fileName) == offsetof(WIN32_FIND_DATAA, cFileName));
static_assert(offsetof(FindData, alternateFileName) == offsetof(WIN32_FIND_DATAA, cAlternateFileName));

// Holds one reference to a COM interface and releases it.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // The place for a call to store a new reference in, after the old one is released.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Share(T* p) {
        Reset();
        p_ = p;
        if (p_) p_->AddRef();
    }

private:
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* p_ = nullptr;
};

class Allocator final : public ShellAllocator {
public:
    ComPtr<IMalloc> imalloc;
};

class IdList final : public ItemIdList {
public:
    explicit IdList(IMalloc* malloc) { malloc_.Share(malloc); }
    ~IdList() override {
        if (pidl) malloc_->Free(pidl);
    }
    LPITEMIDLIST pidl = nullptr;

private:
    ComPtr<IMalloc> malloc_;
};

class Persist final : public PersistFile {
public:
    HResult Load(const WideChar* fileName, std::uint32_t mode) override {
        std::wstring name;
        for (const WideChar* c = fileName; *c; ++c) name += static_cast<wchar_t>(*c);
        return file->Load(name.c_str(), mode);
    }
    ComPtr<IPersistFile> file;
};

class Link final : public ShellLink {
public:
    HResult QueryPersistFile(std::unique_ptr<PersistFile>& persist) override {
        auto holder = std::make_unique<Persist>();
        HRESULT hr = link->QueryInterface(IID_IPersistFile, holder->file.PutVoid());
        if (holder->file) persist = std::move(holder);
        return hr;
    }
    HResult GetPath(char* file, int size, FindData& data, std::uint32_t flags) override {
        WIN32_FIND_DATAA found;
        std::memcpy(&found, &data, sizeof found);
        HRESULT hr = link->GetPath(file, size, &found, flags);
        std::memcpy(&data, &found, sizeof found);
        return hr;
    }
    ComPtr<IShellLinkA> link;
};

}  // namespace

// The allocator is handed out whenever the shell gives one, whatever the result.
HResult ShGetMalloc(std::unique_ptr<ShellAllocator>& allocator) {
    auto holder = std::make_unique<Allocator>();
    HRESULT hr = SHGetMalloc(holder->imalloc.Put());
    if (holder->imalloc) allocator = std::move(holder);
    return hr;
}

// The list is handed out whenever the shell gives one, whatever the result.
HResult ShGetSpecialFolderLocation(ShellAllocator& allocator, int csidl, std::unique_ptr<ItemIdList>& list) {
    auto holder = std::make_unique<IdList>(static_cast<Allocator&>(allocator).imalloc.Get());
    HRESULT hr = SHGetSpecialFolderLocation(GetDesktopWindow(), csidl, &holder->pidl);
    if (holder->pidl) list = std::move(holder);
    return hr;
}

// False when the item has no file-system path.
bool ShGetPathFromIdList(const ItemIdList& list, char (&path)[kMaxPath]) {
    return SHGetPathFromIDListA(static_cast<const IdList&>(list).pidl, path) != FALSE;
}

// 0 on failure, as ExpandEnvironmentStringsA reports it.
std::uint32_t ExpandEnvironmentText(const char* source, char* buffer, std::uint32_t size) {
    return ExpandEnvironmentStringsA(source, buffer, size);
}

// False when the text does not fit or is not valid in the code page.
bool AnsiToWide(const char* text, WideChar (&wide)[kMaxPath]) {
    wchar_t converted[kMaxPath];
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, converted, static_cast<int>(kMaxPath));
    if (n <= 0) return false;
    for (int i = 0; i < n; ++i) wide[i] = static_cast<WideChar>(converted[i]);
    return true;
}

HResult ComInitialize() { return CoInitialize(nullptr); }

void ComUninitialize() { CoUninitialize(); }

// The object is handed out whenever COM gives one, whatever the result.
HResult CoCreateShellLink(std::unique_ptr<ShellLink>& link) {
    auto holder = std::make_unique<Link>();
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  holder->link.PutVoid());
    if (holder->link) link = std::move(holder);
    return hr;
}

}  // namespace os
