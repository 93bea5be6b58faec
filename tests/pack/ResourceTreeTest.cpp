// The resource tree: laid out and read back, in the loader's order, and damaged trees refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "Errors.h"
#include "MiniPe.h"
#include "Utf8.h"

namespace {

ResourceKey RawName(std::u16string name) { return ResourceKey{true, 0, std::move(name)}; }

// A file whose resource section holds `section` as it is, at the address it gets.
std::shared_ptr<const ByteSource> FileWithResourceSection(const std::function<std::vector<std::uint8_t>(std::uint32_t rva)>& section) {
    MiniPeShape shape = StubShape(ResourceTree{}, true);
    shape.sections[1].data = section(MiniSectionRva(shape, 1));
    return std::make_shared<MemorySource>(BuildMiniPe(shape), "test");
}

ResourceTree ReadTree(const std::shared_ptr<const ByteSource>& file) {
    return ReadResourceTree(PeImage::Read(*file), file);
}

TEST(ResourceTreeTest, ReadsBackWhatWasLaidOut) {
    ResourceTree tree;
    tree.Add(Entry(ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"), 0, "payload zero"));
    tree.Add(Entry(ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE10"), 0, ""));
    tree.Add(Entry(ResourceKey::Id(10), ResourceKey::Name("KEEPME"), 1041, "ja"));
    tree.Add(Entry(ResourceKey::Id(10), ResourceKey::Name("KEEPME"), 1033, "en-data"));
    tree.Add(Entry(ResourceKey::Id(16), ResourceKey::Id(1), 0, std::string(1000, 'v')));
    tree.Add(Entry(RawName(u"\u30C7\u30FC\u30BF"), ResourceKey::Id(7), 0, "named in Japanese"));
    auto file = std::make_shared<MemorySource>(BuildMiniPe(StubShape(tree, false)), "test");

    const ResourceTree back = ReadTree(file);
    const auto expected = tree.Sorted(), actual = back.Sorted();
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i]->type, expected[i]->type);
        EXPECT_EQ(actual[i]->name, expected[i]->name);
        EXPECT_EQ(actual[i]->language, expected[i]->language);
        EXPECT_EQ(Read(actual[i]->data), Read(expected[i]->data)) << actual[i]->name.Display();
    }
}

// The loader searches each directory by halves: names first, by upper-case code units, then
// numbers ascending, with the two counts telling them apart.
TEST(ResourceTreeTest, StoresEachDirectoryInTheLoadersOrder) {
    ResourceTree tree;
    for (const ResourceKey& type : {ResourceKey::Id(16), ResourceKey::Name("TEXT"), ResourceKey::Id(3), ResourceKey::Name("BMP"),
                                    RawName(u"b_lower"), ResourceKey::Name("BIN"), ResourceKey::Id(1)}) {
        tree.Add({type, ResourceKey::Id(1), ResourceKey::Id(0), 0, DataRef::Bytes({1}, "x")});
    }
    const ResourceLayout layout = LayOutResourceTree(tree, 0x5000);
    const std::uint8_t* root = layout.head.data();
    ASSERT_EQ(Load16(root + 12), 4);  // named entries
    ASSERT_EQ(Load16(root + 14), 3);  // numbered entries
    std::vector<std::string> order;
    for (int i = 0; i < 7; ++i) {
        const std::uint32_t field = Load32(root + 16 + 8 * i);
        if (!(field & 0x80000000u)) {
            order.push_back("#" + std::to_string(field));
            continue;
        }
        const std::uint8_t* s = root + (field & 0x7FFFFFFF);
        std::u16string name;
        for (int k = 0; k < Load16(s); ++k) name += static_cast<char16_t>(Load16(s + 2 + 2 * k));
        order.push_back(Utf16ToUtf8(name));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"BIN", "BMP", "b_lower", "TEXT", "#1", "#3", "#16"}));
    for (const ResourceLayout::Blob& blob : layout.blobs) EXPECT_EQ(blob.offset % 8, 0u);
}

TEST(ResourceTreeTest, RefusesATreeThatDoesNotFitAPeFile) {
    ResourceTree huge;
    DataRef data = DataRef::Bytes({1}, "x");
    data.size = 5ull << 30;  // never read: the layout stops first
    huge.Add({ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"), ResourceKey::Id(0), 0, data});
    EXPECT_THROW(LayOutResourceTree(huge, 0x1000), PeFormatError);

    ResourceTree wide;
    const DataRef one = DataRef::Bytes({1}, "x");
    for (int i = 0; i < 65536; ++i) wide.Add({ResourceKey::Name("BIN"), ResourceKey::Id(static_cast<std::uint16_t>(i)), ResourceKey::Id(0), 0, one});
    wide.Add({ResourceKey::Name("BIN"), ResourceKey::Name("ONE_MORE"), ResourceKey::Id(0), 0, one});
    try {
        LayOutResourceTree(wide, 0x1000);
        ADD_FAILURE() << "laid out a directory of 65537 entries";
    } catch (const PeFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("more than 65535 entries"), std::string::npos) << e.what();
    }
}

TEST(ResourceTreeTest, RefusesNamesLongerThanItReads) {
    // 65 types under one name of 65535 characters: more name than any real file holds.
    const auto file = FileWithResourceSection([](std::uint32_t) {
        constexpr std::uint32_t kTypes = 65, kName = 16 + 8 * kTypes + 16 * kTypes;
        std::vector<std::uint8_t> b(kName + 2 + 2 * 65535, 'A');
        std::fill(b.begin(), b.begin() + kName, 0);
        Store16(&b[12], kTypes);
        for (std::uint32_t i = 0; i < kTypes; ++i) {
            Store32(&b[16 + 8 * i], 0x80000000u | kName);
            Store32(&b[16 + 8 * i + 4], 0x80000000u | (16 + 8 * kTypes + 16 * i));  // an empty directory each
        }
        Store16(&b[kName], 65535);
        return b;
    });
    try {
        ReadTree(file);
        ADD_FAILURE() << "accepted";
    } catch (const PeFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("names are longer than the packer accepts"), std::string::npos) << e.what();
    }
}

TEST(ResourceTreeTest, RefusesTheSameResourceTwice) {
    ResourceTree tree;
    tree.Add(Entry(ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"), 0, "a"));
    tree.Add(Entry(ResourceKey::Name("BIN"), RawName(u"resource_file0"), 0, "b"));  // the loader cannot tell them apart
    EXPECT_THROW(LayOutResourceTree(tree, 0x1000), PeFormatError);
}

// A minimal tree by hand: root -> type 10 -> name 1 -> language 0 -> 4 bytes "DATA".
struct RawTree {
    std::uint32_t rootNamed = 0, rootIds = 1;
    std::uint32_t rootName = 10, rootTarget = 0x80000018;
    std::uint32_t typeTarget = 0x80000030;
    std::uint32_t languageTarget = 0x48;
    std::uint32_t dataRva = 0;  // 0: the data's own address
    std::uint32_t dataSize = 4;
    std::uint16_t stringLength = 3;

    std::vector<std::uint8_t> Bytes(std::uint32_t rva) const {
        std::vector<std::uint8_t> b(0x68, 0);
        Store16(&b[12], static_cast<std::uint16_t>(rootNamed));
        Store16(&b[14], static_cast<std::uint16_t>(rootIds));
        Store32(&b[0x10], rootName);
        Store32(&b[0x14], rootTarget);
        Store16(&b[0x18 + 14], 1);
        Store32(&b[0x28], 1);
        Store32(&b[0x2C], typeTarget);
        Store16(&b[0x30 + 14], 1);
        Store32(&b[0x40], 0);
        Store32(&b[0x44], languageTarget);
        Store32(&b[0x48], dataRva ? dataRva : rva + 0x58);
        Store32(&b[0x4C], dataSize);
        std::memcpy(&b[0x58], "DATA", 4);
        Store16(&b[0x5C], stringLength);  // a name "ABC" at 0x5C
        Store16(&b[0x5E], 'A'), Store16(&b[0x60], 'B'), Store16(&b[0x62], 'C');
        return b;
    }
};

TEST(ResourceTreeTest, ReadsAHandMadeTree) {
    RawTree raw;
    raw.rootNamed = 1, raw.rootIds = 0, raw.rootName = 0x8000005C;
    const ResourceTree tree = ReadTree(FileWithResourceSection([&](std::uint32_t rva) { return raw.Bytes(rva); }));
    ASSERT_EQ(tree.Entries().size(), 1u);
    EXPECT_EQ(tree.Entries()[0].type, ResourceKey::Name("ABC"));
    EXPECT_EQ(Read(tree.Entries()[0].data), "DATA");
}

TEST(ResourceTreeTest, RefusesDamagedTrees) {
    struct Case {
        const char* what;
        std::function<void(RawTree&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"root points at itself", [](RawTree& t) { t.rootTarget = 0x80000000; }, "reached twice"},
        {"type directory points back at the root", [](RawTree& t) { t.typeTarget = 0x80000000; }, "reached twice"},
        {"data entry at the type level", [](RawTree& t) { t.rootTarget = 0x48; }, "where a directory belongs"},
        {"directory below the language level", [](RawTree& t) { t.languageTarget = 0x80000030; }, "below the language level"},
        {"entry count past the section", [](RawTree& t) { t.rootIds = 0xFFFF; }, "outside the file's sections"},
        {"more entries than accepted", [](RawTree& t) { t.rootNamed = 0xFFFF, t.rootIds = 0xFFFF; }, "more than 100000 entries"},
        {"directory offset past the section", [](RawTree& t) { t.rootTarget = 0xFFFFFFF0; }, "outside the file's sections"},
        {"name offset past the section", [](RawTree& t) { t.rootNamed = 1, t.rootIds = 0, t.rootName = 0xFFFFFF00; }, "a name"},
        {"name longer than the section", [](RawTree& t) { t.rootNamed = 1, t.rootIds = 0, t.rootName = 0x8000005C, t.stringLength = 0xFFFF; }, "a name"},
        {"number wider than 16 bits", [](RawTree& t) { t.rootName = 0x12345; }, "wider than 16 bits"},
        {"data outside the sections", [](RawTree& t) { t.dataRva = 0x7FFF0000; }, "lies outside the file's sections"},
        {"data longer than its section", [](RawTree& t) { t.dataSize = 0x10000; }, "lies outside the file's sections"},
    };
    for (const Case& c : cases) {
        RawTree raw;
        c.damage(raw);
        try {
            ReadTree(FileWithResourceSection([&](std::uint32_t rva) { return raw.Bytes(rva); }));
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const PeFormatError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

}  // namespace
