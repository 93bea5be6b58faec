// Test stub for the packer: finds the package in its own module as the installer does and
// writes each resource out, so the test can compare it byte for byte with what was packed.
// Usage: probe.exe OUTDIR [PAYLOADS]; prints one line per resource it looked for.
#include "rtl/win32/WinApi.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Print(const std::string& line) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Writes the resource from the mapped image in one write; false when it is missing.
bool Dump(const std::string& dir, const char* name, const char* type) {
    HRSRC found = FindResourceA(nullptr, name, type);
    if (found == nullptr) {
        Print(std::string(name) + " missing\n");
        return false;
    }
    const DWORD size = SizeofResource(nullptr, found);
    const void* bytes = LockResource(LoadResource(nullptr, found));
    HANDLE file = CreateFileA((dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Print(std::string(name) + " cannot-write\n");
        return false;
    }
    DWORD written = 0;
    const BOOL ok = size == 0 || WriteFile(file, bytes, size, &written, nullptr);
    CloseHandle(file);
    Print(std::string(name) + " " + std::to_string(size) + (ok && written == size ? "\n" : " short-write\n"));
    return true;
}

// The stub's own resources that the packer must keep.
void ShowKept() {
    char text[64] = {};
    LoadStringA(GetModuleHandleA(nullptr), 1, text, sizeof text);
    Print(std::string("STRING1 ") + text + "\n");
    const WORD languages[] = {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
    for (WORD language : languages) {
        HRSRC found = FindResourceExA(nullptr, MAKEINTRESOURCEA(10), "KEEPME", language);
        const char* data = found ? static_cast<const char*>(LockResource(LoadResource(nullptr, found))) : nullptr;
        const std::string content = data ? std::string(data, SizeofResource(nullptr, found)) : "missing";
        Print("KEEPME/" + std::to_string(language) + " " + content + "\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string dir = argv[1];
    const int payloads = argc > 2 ? std::atoi(argv[2]) : 1;
    Dump(dir, "RESOURCE_BACKGROUND", "BMP");
    Dump(dir, "RESOURCE_SCRIPT", "TEXT");
    for (int i = 0; i < payloads; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "RESOURCE_FILE%d", i);
        Dump(dir, name, "BIN");
    }
    ShowKept();
    return 0;
}
