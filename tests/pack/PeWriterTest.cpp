// Writing a PE file with a new resource tree: where the tree goes, which header fields
// change, what is kept, and what the result reads as.
#include <gtest/gtest.h>

#include "Errors.h"
#include "MiniPe.h"
#include "PeChecksum.h"
#include "PeWriter.h"

namespace {

ResourceTree StubTree() {
    ResourceTree tree;
    tree.Add(Entry(ResourceKey::Id(16), ResourceKey::Id(1), 0, "version block"));
    tree.Add(Entry(ResourceKey::Id(10), ResourceKey::Name("KEEPME"), 1041, "ja-data"));
    return tree;
}

struct Rewritten {
    RewritePlan plan;
    std::vector<std::uint8_t> bytes;
    std::shared_ptr<const ByteSource> source;
    PeImage image;
    ResourceTree tree;
};

// Adds a package-like entry to the file's tree and writes the file anew.
Rewritten Rewrite(const std::vector<std::uint8_t>& input, const std::string& payload = "payload bytes") {
    auto in = std::make_shared<MemorySource>(input, "input");
    const PeImage pe = PeImage::Read(*in);
    ResourceTree tree = ReadResourceTree(pe, in);
    tree.RemoveIf([](const ResourceEntry& e) { return e.type.Matches(ResourceKey::Name("BIN")); });
    tree.Add(Entry(ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"), 0, payload));
    Rewritten r;
    r.plan = PlanRewrite(pe, tree);
    MemorySink sink;
    WriteRewrite(r.plan, *in, sink);
    r.bytes = sink.bytes;
    r.source = std::make_shared<MemorySource>(r.bytes, "output");
    r.image = PeImage::Read(*r.source);
    r.tree = ReadResourceTree(r.image, r.source);
    return r;
}

// What every rewritten file must satisfy.
void ExpectSound(const Rewritten& r) {
    const PeImage& pe = r.image;
    EXPECT_EQ(pe.checkSum, ComputePeChecksum(*r.source, pe.ChecksumOffset()));
    const PeSection& last = pe.sections.back();
    EXPECT_EQ(last.name, ".rsrc");
    EXPECT_EQ(pe.Directory(kDirResource).rva, last.virtualAddress);
    EXPECT_EQ(pe.sizeOfImage, AlignUp(std::uint64_t{last.virtualAddress} + last.virtualSize, pe.sectionAlignment));
    EXPECT_EQ(last.pointerToRawData % pe.fileAlignment, 0u);
    EXPECT_EQ(last.sizeOfRawData % pe.fileAlignment, 0u);
    EXPECT_EQ(pe.Directory(kDirSecurity).size, 0u);
    const auto found = r.tree.FindAll(ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(r.tree.FindAll(ResourceKey::Id(10), ResourceKey::Name("KEEPME")).empty());
    int named = 0;
    for (const PeSection& s : pe.sections) named += s.name == ".rsrc";
    EXPECT_EQ(named, 1) << "one section is named .rsrc, for readers that look it up by name";
}

TEST(PeWriterTest, AppendsASectionOrReplacesTheLastOne) {
    struct Case {
        bool pe32Plus;
        bool resourceLast;
    };
    for (const Case& c : {Case{true, false}, Case{true, true}, Case{false, false}, Case{false, true}}) {
        SCOPED_TRACE(std::string(c.pe32Plus ? "PE32+" : "PE32") + (c.resourceLast ? ", .rsrc last" : ", .reloc last"));
        MiniPeShape shape = StubShape(StubTree(), c.resourceLast, c.pe32Plus);
        shape.overlay = {'O', 'V', 'E', 'R', 'L', 'A', 'Y'};
        const std::vector<std::uint8_t> input = BuildMiniPe(shape);
        const PeImage before = PeImage::Read(MemorySource(input, "input"));
        const Rewritten r = Rewrite(input);
        ExpectSound(r);
        EXPECT_EQ(r.plan.replacedLastSection, c.resourceLast);
        EXPECT_EQ(r.image.sections.size(), before.sections.size() + (c.resourceLast ? 0 : 1));
        if (!c.resourceLast) {
            EXPECT_EQ(r.image.sections[1].name, ".oldrsrc");
        }
        // Every section before the tree keeps its place and its bytes.
        const std::size_t kept = c.resourceLast ? before.sections.size() - 1 : before.sections.size();
        for (std::size_t i = 0; i < kept; ++i) {
            const PeSection& s = before.sections[i];
            EXPECT_EQ(r.image.sections[i].virtualAddress, s.virtualAddress);
            EXPECT_EQ(r.image.sections[i].pointerToRawData, s.pointerToRawData);
            EXPECT_TRUE(std::equal(input.begin() + s.pointerToRawData, input.begin() + s.RawEnd(), r.bytes.begin() + s.pointerToRawData));
        }
        EXPECT_EQ(std::string(r.bytes.end() - 7, r.bytes.end()), "OVERLAY");
    }
}

TEST(PeWriterTest, RewritingTheOutputReplacesItsTreeAndChangesNothingElse) {
    const std::string payload(5000, 'p');
    const Rewritten first = Rewrite(BuildMiniPe(StubShape(StubTree(), false)), payload);
    const Rewritten again = Rewrite(first.bytes, payload);
    EXPECT_TRUE(again.plan.replacedLastSection);
    EXPECT_EQ(again.bytes, first.bytes);

    const Rewritten smaller = Rewrite(first.bytes, "x");
    ExpectSound(smaller);
    EXPECT_EQ(smaller.image.sections.size(), first.image.sections.size());
    EXPECT_LT(smaller.bytes.size(), first.bytes.size());
    const Rewritten larger = Rewrite(first.bytes, std::string(100000, 'y'));
    ExpectSound(larger);
    EXPECT_EQ(Read(larger.tree.FindAll(ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"))[0]->data), std::string(100000, 'y'));
}

TEST(PeWriterTest, DropsTheSignatureAndKeepsTheRestOfTheOverlay) {
    MiniPeShape shape = StubShape(StubTree(), false);
    shape.overlay = {'k', 'e', 'p', 't'};
    shape.certificate.assign(0x48, 0xCE);
    const Rewritten r = Rewrite(BuildMiniPe(shape));
    ExpectSound(r);
    EXPECT_TRUE(r.plan.removedSignature);
    EXPECT_EQ(std::string(r.bytes.end() - 4, r.bytes.end()), "kept");
}

TEST(PeWriterTest, MovesACoffSymbolTableWithTheOverlay) {
    MiniPeShape shape = StubShape(StubTree(), true);
    shape.overlay = {'p', 'a', 'd', 'S', 'Y', 'M', 'B', 'O', 'L', 'S'};
    const std::vector<std::uint8_t> probe = BuildMiniPe(shape);
    shape.pointerToSymbolTable = static_cast<std::uint32_t>(probe.size() - 7);
    const Rewritten r = Rewrite(BuildMiniPe(shape), std::string(5000, 'z'));
    ASSERT_NE(r.image.pointerToSymbolTable, 0u);
    EXPECT_EQ(std::string(r.bytes.begin() + r.image.pointerToSymbolTable, r.bytes.begin() + r.image.pointerToSymbolTable + 7), "SYMBOLS");
}

TEST(PeWriterTest, RefusesAStubWithNoRoomForOneMoreSectionHeader) {
    MiniPeShape tight = StubShape(StubTree(), false);
    tight.sizeOfHeaders = 0x200;  // the three section headers end exactly there
    std::vector<std::uint8_t> occupied = BuildMiniPe(StubShape(StubTree(), false));
    occupied[0x188 + 3 * 40 + 4] = 0x42;  // something lives after the section table
    for (const auto& input : {BuildMiniPe(tight), occupied}) {
        try {
            Rewrite(input);
            ADD_FAILURE() << "accepted";
        } catch (const PeFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("no room for one more section header"), std::string::npos) << e.what();
        }
    }
}

TEST(PeWriterTest, KeepsEverythingOfTheMingwStubs) {
    for (const char* name : {"probe64.exe", "probe32.exe", "probe64-debug.exe", "probe64-rsrclast.exe", "probe64-nores.exe"}) {
        SCOPED_TRACE(name);
        if (!std::filesystem::exists(StubPath(name))) GTEST_SKIP() << "no mingw-built test stubs";
        const std::vector<std::uint8_t> input = ReadFileBytes(StubPath(name));
        auto in = std::make_shared<MemorySource>(input, name);
        const PeImage before = PeImage::Read(*in);
        const ResourceTree oldTree = ReadResourceTree(before, in);
        const Rewritten r = Rewrite(input);
        EXPECT_EQ(r.image.checkSum, ComputePeChecksum(*r.source, r.image.ChecksumOffset()));
        EXPECT_EQ(r.tree.Entries().size(), oldTree.Entries().size() + 1);
        for (const ResourceEntry* e : oldTree.Sorted()) {
            const auto kept = r.tree.FindAll(e->type, e->name);
            ASSERT_FALSE(kept.empty()) << e->name.Display();
            bool same = false;
            for (const ResourceEntry* k : kept) same |= k->language == e->language && Read(k->data) == Read(e->data);
            EXPECT_TRUE(same) << e->type.Display(true) << " " << e->name.Display();
        }
        for (std::size_t i = 0; i + (r.plan.replacedLastSection ? 1 : 0) < before.sections.size(); ++i) {
            const PeSection& s = before.sections[i];
            if (s.sizeOfRawData == 0) continue;
            EXPECT_TRUE(std::equal(input.begin() + s.pointerToRawData, input.begin() + s.RawEnd(), r.bytes.begin() + s.pointerToRawData)) << s.name;
        }
        if (before.pointerToSymbolTable != 0) {
            ASSERT_NE(r.image.pointerToSymbolTable, 0u);
            EXPECT_TRUE(std::equal(input.begin() + before.pointerToSymbolTable, input.end(),
                                   r.bytes.begin() + r.image.pointerToSymbolTable, r.bytes.end()));
        }
    }
}

}  // namespace
