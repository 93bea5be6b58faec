// Checks the Windows runtime backends from inside a real executable: string-named resources of
// string-named types are found in the module itself, and the lead-byte set is the system's.
// Prints one line per check and exits 1 when any fails.
#include <cstdio>
#include <string>

#include "package/PatchPackage.h"
#include "rtl/Exceptions.h"
#include "rtl/SysUtils.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "ok" : "FAIL", what);
    if (!ok) ++failures;
}

std::string Bytes(const TResourceStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), s.Size());
}

}  // namespace

int main(int argc, char** argv) {
    std::string expectLeadBytes = argc > 1 ? argv[1] : "932";
    try {
        Check(Bytes(*OpenScript()) == "*Caption\r\n\tprobe\r\n", "RESOURCE_SCRIPT/TEXT found whole");
        Check(Bytes(*OpenPayload(0)) == std::string("\0\1\2payload", 10), "RESOURCE_FILE0/BIN exact bytes");
        Check(Bytes(*OpenPackageResource("resource_file1", "bin")).empty(), "names are case-insensitive, empty payload");
        bool missing = false;
        try {
            OpenPayload(2);
        } catch (const EResNotFound& e) {
            missing = e.Message().rfind("RESOURCE_FILE2 ", 0) == 0;
        }
        Check(missing, "a missing resource raises EResNotFound with its name");
        bool wrongType = false;
        try {
            OpenPackageResource("RESOURCE_SCRIPT", "BIN");
        } catch (const EResNotFound&) {
            wrongType = true;
        }
        Check(wrongType, "the type is part of the lookup");
    } catch (const Exception& e) {
        Check(false, e.Message().c_str());
    }
    const LeadByteSet expected = expectLeadBytes == "932" ? Cp932LeadBytes() : NoLeadBytes();
    Check(LeadBytes() == expected, ("lead bytes are code page " + expectLeadBytes + "'s").c_str());
    Check(ByteType("\x83\x5C", 2) == (expectLeadBytes == "932" ? mbTrailByte : mbSingleByte), "ByteType of ソ's 0x5C");
    Check(AnsiCompareText("*Caption", "*CAPTION") == 0 && AnsiCompareText("*Caption", "*Caption ") != 0,
          "AnsiCompareText ignores case only");
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
