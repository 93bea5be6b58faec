// Exercises the install locator against the real shell: puts real shortcuts and plain files
// into the per-user and all-users Programs folders, then finds and resolves link paths and
// prints what it got, with the two folders written as <P1> and <P2>.
//   locator_probe make user|common RELATIVE TARGET   a shortcut to TARGET (IShellLinkA + Save)
//   locator_probe plain user|common RELATIVE         a file that is no shortcut
// An empty TARGET makes a shortcut with no file-system target.
//   locator_probe find LINKPATH...                   one line per link path
// Exits 2 on a usage or set-up error.
#include "rtl/win32/WinApi.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "lib/Tqmfile.h"

namespace {

template <class T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p) p->Release();
    }
};

struct ComInit {
    ComInit() { CoInitialize(nullptr); }
    ~ComInit() { CoUninitialize(); }
};

bool ProgramsFolder(const std::string& which, std::string& path) {
    TqmFile locator;
    if (which == "user") return locator.GetSpecialFolder(os::kCsidlPrograms, path);
    if (which == "common") return locator.GetSpecialFolder(os::kCsidlCommonPrograms, path);
    return false;
}

// Creates every directory on the way to the file; backslashes inside double-byte characters
// are part of their names.
void CreateParents(const std::string& file) {
    for (std::size_t p = 4; p <= file.size(); ++p) {
        if (file[p - 1] != '\\' || ByteType(file, p) != mbSingleByte) continue;
        CreateDirectoryA(file.substr(0, p - 1).c_str(), nullptr);
    }
}

bool MakeShortcut(const std::string& file, const std::string& target) {
    ComInit com;
    Released<IShellLinkA> link;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&link.p)) != S_OK) {
        return false;
    }
    // S_FALSE: the target does not exist, which the probe does not need.
    if (FAILED(link.p->SetPath(target.c_str()))) return false;
    Released<IPersistFile> persist;
    if (link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist.p)) != S_OK) return false;
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH)) return false;
    return persist.p->Save(wide, TRUE) == S_OK;
}

bool MakePlainFile(const std::string& file) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, "not a shortcut\r\n", 16, &written, nullptr) && written == 16;
    return CloseHandle(h) && ok;
}

std::string Shown(std::string path, const std::string& p1, const std::string& p2) {
    for (const auto& [folder, name] : {std::pair{p1, "<P1>"}, std::pair{p2, "<P2>"}}) {
        if (!folder.empty() && path.rfind(folder, 0) == 0) return name + path.substr(folder.size());
    }
    return path;
}

void Find(const std::string& linkPath, const std::string& p1, const std::string& p2) {
    TqmFile locator;
    std::string found = "-";
    std::uint32_t diagnostics = 0xFFFFFFFF;
    bool ok = locator.FindProgramShortcut(linkPath, found, diagnostics);
    std::printf("find [%s] => %s 0x%03X %s", linkPath.c_str(), ok ? "true" : "false",
                static_cast<unsigned>(diagnostics), Shown(found, p1, p2).c_str());
    if (!ok) {
        std::printf("\n");
        return;
    }
    char target[os::kMaxPath];
    std::strcpy(target, "-");
    os::FindData data{};
    bool resolved = locator.ResolveShortcut(found.c_str(), target, data);
    std::printf("; resolve => %s %s\n", resolved ? "true" : "false", target);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "make" && argc == 5) || (mode == "plain" && argc == 4)) {
        std::string folder;
        if (!ProgramsFolder(argv[2], folder) || folder.empty()) {
            std::fprintf(stderr, "no folder for %s\n", argv[2]);
            return 2;
        }
        const std::string file = IncludeTrailingPathDelimiter(folder) + argv[3];
        CreateParents(file);
        if (mode == "make" ? MakeShortcut(file, argv[4]) : MakePlainFile(file)) return 0;
        std::fprintf(stderr, "cannot create %s\n", file.c_str());
        return 2;
    }
    if (mode == "find") {
        std::string p1, p2;
        ProgramsFolder("user", p1);
        ProgramsFolder("common", p2);
        for (int i = 2; i < argc; ++i) Find(argv[i], p1, p2);
        return 0;
    }
    std::fprintf(stderr, "usage: locator_probe make|plain|find ...\n");
    return 2;
}
