// Reads registry values through the registry path reader on a real system: one path a line on
// standard input (code page 932 bytes), one line out for each: the path, then "true" or
// "false" and the value in brackets ("-" when untouched), or "raise" and the error's message.
// Double-byte characters and bytes outside printable ASCII are printed as \xHH.
#include <cstdio>
#include <string>

#include "lib/Tqmregistry.h"
#include "rtl/Exceptions.h"
#include "rtl/SysUtils.h"

namespace {

const char* const kUntouched = "\x01untouched";

// Both bytes of a double-byte character are escaped, whatever the value of the trail byte.
std::string Escaped(const std::string& text) {
    std::string out;
    for (std::size_t p = 1; p <= text.size(); ++p) {
        const unsigned char b = static_cast<unsigned char>(text[p - 1]);
        if (b >= 0x20 && b < 0x7F && ByteType(text, p) == mbSingleByte) {
            out += static_cast<char>(b);
            continue;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", b);
        out += hex;
    }
    return out;
}

// The next line of standard input without its line break; false at the end.
bool ReadLine(std::string& line) {
    line.clear();
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return c != EOF || !line.empty();
}

}  // namespace

int main() {
    std::string path;
    while (ReadLine(path)) {
        std::string value = kUntouched;
        std::string outcome;
        try {
            bool ok = ReadRegistryString(path, value);
            const std::string shown = value == kUntouched ? "-" : "[" + Escaped(value) + "]";
            outcome = std::string(ok ? "true " : "false ") + shown;
        } catch (const Exception& e) {
            outcome = "raise " + Escaped(e.Message()) + (value == kUntouched ? "" : " (value changed)");
        }
        std::printf("%s => %s\n", Escaped(path).c_str(), outcome.c_str());
    }
    return 0;
}
