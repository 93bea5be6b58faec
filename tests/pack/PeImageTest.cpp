// Reading PE headers: real stubs of both formats, and damaged files that must be refused.
#include <gtest/gtest.h>

#include <functional>

#include "Errors.h"
#include "MiniPe.h"
#include "PeImage.h"

namespace {

// Offsets in a MiniPe file of the PE32+ kind.
constexpr std::size_t kCoff = 0x84, kOpt = 0x98, kDirs = kOpt + 112, kTable = kOpt + 240;

std::vector<std::uint8_t> SmallStub() {
    ResourceTree tree;
    tree.Add(Entry(ResourceKey::Id(16), ResourceKey::Id(1), 0, "version"));
    return BuildMiniPe(StubShape(tree, false));
}

PeImage ReadBytes(const std::vector<std::uint8_t>& bytes) { return PeImage::Read(MemorySource(bytes, "test")); }

TEST(PeImageTest, ReadsBothFormatsOfTheTestStubs) {
    struct Case {
        const char* stub;
        bool pe32Plus;
        const char* machine;
    };
    for (const Case& c : {Case{"probe64.exe", true, "x86_64"}, Case{"probe32.exe", false, "i686"}}) {
        if (!std::filesystem::exists(StubPath(c.stub))) GTEST_SKIP() << "no mingw-built test stubs";
        const PeImage pe = ReadBytes(ReadFileBytes(StubPath(c.stub)));
        EXPECT_EQ(pe.pe32Plus, c.pe32Plus);
        EXPECT_EQ(pe.MachineName(), c.machine);
        ASSERT_GE(pe.sections.size(), 3u);
        EXPECT_EQ(pe.sections.front().name, ".text");
        const PeSection* rsrc = pe.SectionOfRva(pe.Directory(kDirResource).rva);
        ASSERT_NE(rsrc, nullptr);
        EXPECT_EQ(rsrc->name, ".rsrc");
        EXPECT_EQ(pe.imageEnd, pe.fileSize);
    }
}

TEST(PeImageTest, MapsAddressesOnlyInsideSectionData) {
    const PeImage pe = ReadBytes(SmallStub());
    const PeSection& text = pe.sections[0];
    EXPECT_EQ(pe.RvaToOffset(text.virtualAddress, 16), text.pointerToRawData);
    EXPECT_EQ(pe.RvaToOffset(text.virtualAddress + 0x2F0, 16), text.pointerToRawData + 0x2F0);
    EXPECT_FALSE(pe.RvaToOffset(text.virtualAddress + 0x2F8, 16));  // runs past the section's 0x300 bytes
    EXPECT_FALSE(pe.RvaToOffset(0x10, 4));                          // the headers are no section
    EXPECT_FALSE(pe.RvaToOffset(0xFFFFFFF0u, 0x20));
}

TEST(PeImageTest, RefusesDamagedFilesWithAMessage) {
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"empty", [](auto& f) { f.clear(); }, "shorter than an MZ header"},
        {"no MZ", [](auto& f) { f[0] = 'X'; }, "no MZ signature"},
        {"PE offset past the end", [](auto& f) { Store32(&f[0x3C], 0x7FFFFFF0); }, "PE header offset"},
        {"PE offset at the end", [](auto& f) { Store32(&f[0x3C], static_cast<std::uint32_t>(f.size() - 10)); }, "PE header offset"},
        {"no PE signature", [](auto& f) { f[0x81] = 'X'; }, "no PE signature"},
        {"truncated after the COFF header", [](auto& f) { f.resize(kOpt + 10); }, "optional header runs past"},
        {"optional header too short", [](auto& f) { Store16(&f[kCoff + 16], 64); }, "too short"},
        {"unknown magic", [](auto& f) { Store16(&f[kOpt], 0x107); }, "magic"},
        {"a DLL", [](auto& f) { Store16(&f[kCoff + 18], 0x2022); }, "DLL"},
        {"an object file", [](auto& f) { Store16(&f[kCoff + 18], 0x0020); }, "not an executable"},
        {"file alignment not a power of two", [](auto& f) { Store32(&f[kOpt + 36], 0x300); }, "alignment"},
        {"section alignment below file alignment", [](auto& f) { Store32(&f[kOpt + 32], 0x100); }, "alignment"},
        {"no resource directory slot", [](auto& f) { Store32(&f[kOpt + 108], 2); }, "no slot"},
        {"section table beyond the headers", [](auto& f) { Store16(&f[kCoff + 2], 0xFFFF); }, "section table"},
        {"headers larger than the file", [](auto& f) { Store32(&f[kOpt + 60], 0x7FFFFFFF); }, "section table"},
        {"section data past the end", [](auto& f) { Store32(&f[kTable + 40 + 20], static_cast<std::uint32_t>(f.size())); }, "runs past the end of the file"},
        {"section size past the end", [](auto& f) { Store32(&f[kTable + 40 + 16], 0xFFFFFF00); }, "runs past the end of the file"},
        {"truncated inside the sections", [](auto& f) { f.resize(f.size() - 0x100); }, "runs past the end of the file"},
        {"overlapping sections", [](auto& f) { Store32(&f[kTable + 40 + 12], 0x1000); }, "overlaps"},
        {"section beyond 4 GiB", [](auto& f) { Store32(&f[kTable + 80 + 12], 0xFFFFF000); Store32(&f[kTable + 80 + 8], 0x2000); }, "exceeds 4 GiB"},
        {"resource directory outside the sections", [](auto& f) { Store32(&f[kDirs + 16], 0x00F00000); }, "resource directory"},
        {"signature before the end of the sections", [](auto& f) { Store32(&f[kDirs + 32], 0x200); Store32(&f[kDirs + 36], 0x10); }, "signature"},
        {"signature past the end of the file", [](auto& f) { Store32(&f[kDirs + 32], static_cast<std::uint32_t>(f.size())); Store32(&f[kDirs + 36], 0x10); }, "signature"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> file = SmallStub();
        c.damage(file);
        try {
            ReadBytes(file);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const PeFormatError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

}  // namespace
