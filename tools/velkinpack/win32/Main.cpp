// Entry of the packer on Windows: the wide command line, taken as UTF-8.
#include "rtl/win32/WinApi.h"

#include <string>
#include <vector>

#include "Platform.h"
#include "Utf8.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(argv[i]))));
    }
    return RunPacker(args);
}
