// Entry of the packer on Linux: arguments are taken as the UTF-8 text they are.
#include <clocale>
#include <string>
#include <vector>

#include "Platform.h"

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "");  // the terminal's encoding is all the packer takes from the locale
    return RunPacker(std::vector<std::string>(argv + 1, argv + argc));
}
