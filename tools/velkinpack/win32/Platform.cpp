// The packer's system layer on Windows: wide-character file calls, code page 932 through
// MultiByteToWideChar and WideCharToMultiByte, the console in its own encoding.
#include "rtl/win32/WinApi.h"

#include <string>
#include <vector>

#include "Errors.h"
#include "Platform.h"
#include "Utf8.h"

namespace platform {
namespace {

constexpr UINT kCp932 = 932;

std::wstring Wide(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const wchar_t* wide, std::size_t count) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide), count));
}

// The system's text for the last error, without its line break.
std::string Reason() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n ? Narrow(text, n) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
    return reason;
}

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h) {
        Close();
        h_ = h;
    }
    bool Close() {
        const bool ok = !Valid() || CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

class InputFile : public ByteSource {
public:
    InputFile(std::string path, std::uint64_t expectedSize, bool openNow) : path_(std::move(path)), size_(expectedSize) {
        if (openNow) Open(false);
    }
    std::uint64_t Size() const override { return size_; }
    std::string Name() const override { return path_; }
    void Release() const override { handle_.Close(); }

    void ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const override {
        if (offset > size_ || count > size_ - offset) throw PackError(path_ + ": read past the end of the file");
        if (!handle_.Valid()) Open(true);
        auto* p = static_cast<char*>(buffer);
        while (count != 0) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(handle_.Get(), p, want, &got, &at)) throw PackError("cannot read " + path_ + ": " + Reason());
            if (got == 0) throw PackError("cannot read " + path_ + ": the file became shorter while the packer read it");
            p += got;
            offset += got;
            count -= got;
        }
    }

private:
    void Open(bool checkSize) const {
        if (Stat(path_).directory) throw PackError("cannot read " + path_ + ": it is a folder, not a file");
        handle_.Reset(CreateFileW(Wide(path_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!handle_.Valid()) throw PackError("cannot open " + path_ + ": " + Reason());
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_.Get(), &size)) throw PackError("cannot read " + path_ + ": " + Reason());
        const auto actual = static_cast<std::uint64_t>(size.QuadPart);
        if (checkSize && actual != size_) throw PackError(path_ + " changed its size while the packer was running");
        size_ = actual;
    }

    std::string path_;
    mutable std::uint64_t size_;
    mutable Handle handle_;
};

class WinOutputFile : public BufferedOutputFile {
public:
    explicit WinOutputFile(std::string path) : path_(std::move(path)) {
        temp_ = path_ + ".velkinpack-" + std::to_string(GetCurrentProcessId());
        handle_.Reset(CreateFileW(Wide(temp_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle_.Valid()) throw PackError("cannot create " + temp_ + ": " + Reason());
    }
    ~WinOutputFile() override {
        if (committed_) return;
        handle_.Close();
        DeleteFileW(Wide(temp_).c_str());
    }

    void WriteAt(std::uint64_t offset, const void* data, std::size_t count) override {
        Flush();
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(handle_.Get(), at, nullptr, FILE_BEGIN)) throw PackError("cannot write " + temp_ + ": " + Reason());
        WriteAll(static_cast<const char*>(data), count);
        at.QuadPart = 0;
        if (!SetFilePointerEx(handle_.Get(), at, nullptr, FILE_END)) throw PackError("cannot write " + temp_ + ": " + Reason());
    }

    void Commit() override {
        Flush();
        if (!handle_.Close()) throw PackError("cannot write " + temp_ + ": " + Reason());
        if (!MoveFileExW(Wide(temp_).c_str(), Wide(path_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            throw PackError("cannot replace " + path_ + ": " + Reason());
        }
        committed_ = true;
    }

private:

    void WriteAll(const char* p, std::size_t count) override {
        while (count != 0) {
            DWORD put = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
            if (!WriteFile(handle_.Get(), p, want, &put, nullptr) || put == 0) throw PackError("cannot write " + temp_ + ": " + Reason());
            p += put;
            count -= put;
        }
    }

    std::string path_, temp_;
    Handle handle_;
    bool committed_ = false;
};

std::string InCodePage(std::string_view utf8, UINT codePage) {
    const std::wstring wide = Wide(std::string(utf8));
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Text to a console in UTF-16; to a file or pipe in the console's code page.
void WriteText(DWORD which, std::string_view utf8, bool raw) {
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, written = 0;
    if (!raw && GetConsoleMode(h, &mode)) {
        const std::wstring wide = Wide(std::string(utf8));
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) codePage = GetACP();
    const std::string bytes = raw || codePage == CP_UTF8 ? std::string(utf8) : InCodePage(utf8, codePage);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

FileInfo Stat(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return {};
    return {true, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
            (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

bool SameFile(const std::string& a, const std::string& b) {
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        Handle h(CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return h.Valid() && GetFileInformationByHandle(h.Get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return identity(a, x) && identity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

std::shared_ptr<ByteSource> OpenInput(const std::string& path) { return std::make_shared<InputFile>(path, 0, true); }

std::shared_ptr<ByteSource> OpenInputLater(const std::string& path, std::uint64_t expectedSize) {
    return std::make_shared<InputFile>(path, expectedSize, false);
}

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, bool) { return std::make_unique<WinOutputFile>(path); }

void CreateDirectories(const std::string& path) {
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
        const std::string prefix = path.substr(0, i);
        if (prefix.empty() || prefix.back() == ':' || prefix == "\\" || Stat(prefix).directory) continue;
        if (!CreateDirectoryW(Wide(prefix).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            throw PackError("cannot create the folder " + prefix + ": " + Reason());
        }
    }
    if (!Stat(path).directory) throw PackError("cannot create the folder " + path + ": a file of that name is in the way");
}

bool IsEmptyDirectory(const std::string& path) {
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(Wide(path + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") empty = false;
    } while (empty && FindNextFileW(find, &found));
    FindClose(find);
    return empty;
}

std::string ExecutableDirectory() {
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) return {};
    const std::string full = Narrow(path.data(), n);
    const std::size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : full.substr(0, slash);
}

bool DecodeCp932(std::string_view bytes, std::u32string& out, std::size_t& badOffset) {
    out.clear();
    // One character at a time, so that a failure has a place.
    for (std::size_t i = 0; i < bytes.size();) {
        const int length = IsDBCSLeadByteEx(kCp932, static_cast<BYTE>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        wchar_t wide[2];
        const int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data() + i, length, wide, 2);
        if (n != 1) {
            badOffset = i;
            return false;
        }
        out += static_cast<char32_t>(wide[0]);
        i += static_cast<std::size_t>(length);
    }
    return true;
}

bool EncodeCp932Char(char32_t cp, std::string& out) {
    if (cp >= 0x10000 || (cp >= 0xD800 && cp < 0xE000)) return false;
    const wchar_t wide = static_cast<wchar_t>(cp);
    char bytes[4];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out.append(bytes, static_cast<std::size_t>(n));
    return true;
}

void WriteOut(std::string_view utf8, bool raw) { WriteText(STD_OUTPUT_HANDLE, utf8, raw); }
void WriteErr(std::string_view utf8) { WriteText(STD_ERROR_HANDLE, utf8, false); }

}  // namespace platform
