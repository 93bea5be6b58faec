// Reading, editing and laying out the resource tree (type, name and language levels).
#include "ResourceTree.h"

#include <algorithm>
#include <map>
#include <set>

#include "Errors.h"
#include "Utf8.h"

namespace {

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// Names by their upper-case code units; numbers after all names.
int CompareIgnoringCase(const ResourceKey& a, const ResourceKey& b) {
    if (a.named != b.named) return a.named ? -1 : 1;
    if (!a.named) return a.id < b.id ? -1 : (a.id > b.id ? 1 : 0);
    const std::size_t n = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = Upper(a.name[i]), y = Upper(b.name[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.name.size() < b.name.size() ? -1 : (a.name.size() > b.name.size() ? 1 : 0);
}

bool EntryLess(const ResourceEntry* a, const ResourceEntry* b) {
    if (int c = CompareIgnoringCase(a->type, b->type)) return c < 0;
    if (int c = CompareIgnoringCase(a->name, b->name)) return c < 0;
    return KeyLess(a->language, b->language);
}

std::string Describe(const ResourceEntry& e) {
    return "type " + e.type.Display(true) + ", name " + e.name.Display() + ", language " + e.language.Display();
}

constexpr std::uint32_t kHighBit = 0x80000000u;

class TreeReader {
public:
    TreeReader(const PeImage& pe, const std::shared_ptr<const ByteSource>& file)
        : pe_(pe), file_(file), base_(pe.Directory(kDirResource).rva) {}

    ResourceTree Read() {
        ResourceKey path[3];
        Directory(0, 0, path);
        return std::move(tree_);
    }

private:
    [[noreturn]] static void Fail(const std::string& what) { throw PeFormatError("damaged resource tree: " + what); }

    void ReadAt(std::uint64_t offset, void* out, std::size_t n, const char* what) {
        const auto fileOffset = pe_.RvaToOffset(base_ + offset, n);
        if (!fileOffset) Fail(std::string(what) + " at offset " + Hex(offset) + " lies outside the file's sections");
        file_->ReadAt(*fileOffset, out, n);
    }

    ResourceKey Key(std::uint32_t field) {
        if (!(field & kHighBit)) {
            if (field > 0xFFFF) Fail("an entry's number " + Hex(field) + " is wider than 16 bits");
            return ResourceKey::Id(static_cast<std::uint16_t>(field));
        }
        const std::uint32_t offset = field & ~kHighBit;
        std::uint8_t lengthBytes[2];
        ReadAt(offset, lengthBytes, 2, "a name");
        const std::uint16_t length = Load16(lengthBytes);
        units_ += length;
        if (units_ > kMaxResourceNameUnits) Fail("the names are longer than the packer accepts");
        std::vector<std::uint8_t> bytes(std::size_t{length} * 2);
        if (length != 0) ReadAt(std::uint64_t{offset} + 2, bytes.data(), bytes.size(), "a name");
        ResourceKey key;
        key.named = true;
        for (std::size_t i = 0; i < length; ++i) key.name += static_cast<char16_t>(Load16(bytes.data() + 2 * i));
        return key;
    }

    void Directory(std::uint32_t offset, int level, ResourceKey (&path)[3]) {
        if (!visited_.insert(offset).second) Fail("the directory at offset " + Hex(offset) + " is reached twice (a loop)");
        std::uint8_t header[16];
        ReadAt(offset, header, sizeof header, "a directory");
        const std::size_t count = std::size_t{Load16(header + 12)} + Load16(header + 14);
        entries_ += count;
        if (entries_ > kMaxResourceEntries) Fail("more than " + std::to_string(kMaxResourceEntries) + " entries");
        std::vector<std::uint8_t> table(count * 8);
        if (count != 0) ReadAt(std::uint64_t{offset} + 16, table.data(), table.size(), "a directory's entries");
        for (std::size_t i = 0; i < count; ++i) {
            path[level] = Key(Load32(table.data() + 8 * i));
            const std::uint32_t target = Load32(table.data() + 8 * i + 4);
            const bool isDirectory = (target & kHighBit) != 0;
            if (level < 2 && !isDirectory) Fail("a data entry stands where a directory belongs, at level " + std::to_string(level + 1));
            if (level == 2 && isDirectory) Fail("a directory stands below the language level");
            if (isDirectory) {
                Directory(target & ~kHighBit, level + 1, path);
            } else {
                Leaf(target, path);
            }
        }
    }

    void Leaf(std::uint32_t offset, const ResourceKey (&path)[3]) {
        std::uint8_t entry[16];
        ReadAt(offset, entry, sizeof entry, "a data entry");
        ResourceEntry e{path[0], path[1], path[2], Load32(entry + 8), {}};
        const std::uint32_t rva = Load32(entry), size = Load32(entry + 4);
        e.data.source = file_;
        e.data.size = size;
        if (size != 0) {
            const auto fileOffset = pe_.RvaToOffset(rva, size);
            if (!fileOffset) Fail("the data of " + Describe(e) + " (" + std::to_string(size) + " bytes at " + Hex(rva) + ") lies outside the file's sections");
            e.data.offset = *fileOffset;
        }
        tree_.Add(std::move(e));
    }

    const PeImage& pe_;
    const std::shared_ptr<const ByteSource>& file_;
    std::uint64_t base_;
    std::set<std::uint32_t> visited_;
    std::size_t entries_ = 0;
    std::size_t units_ = 0;
    ResourceTree tree_;
};

}  // namespace

ResourceKey ResourceKey::Id(std::uint16_t id) {
    ResourceKey key;
    key.id = id;
    return key;
}

ResourceKey ResourceKey::Name(std::string_view ascii) {
    ResourceKey key;
    key.named = true;
    for (char c : ascii) key.name += Upper(static_cast<unsigned char>(c));
    return key;
}

std::string ResourceKey::Display(bool asType) const {
    if (named) return Utf16ToUtf8(name);
    if (asType) {
        static const std::map<std::uint16_t, const char*> kTypes = {
            {1, "CURSOR"}, {2, "BITMAP"}, {3, "ICON"}, {4, "MENU"}, {5, "DIALOG"}, {6, "STRING"},
            {9, "ACCELERATOR"}, {10, "RCDATA"}, {12, "GROUP_CURSOR"}, {14, "GROUP_ICON"},
            {16, "VERSION"}, {24, "MANIFEST"}};
        if (auto it = kTypes.find(id); it != kTypes.end()) return it->second;
    }
    return "#" + std::to_string(id);
}

bool ResourceKey::Matches(const ResourceKey& other) const { return CompareIgnoringCase(*this, other) == 0; }

bool KeyLess(const ResourceKey& a, const ResourceKey& b) {
    if (int c = CompareIgnoringCase(a, b)) return c < 0;
    return a.name < b.name;
}

void ResourceTree::Add(ResourceEntry entry) { entries_.push_back(std::move(entry)); }

std::size_t ResourceTree::RemoveIf(const std::function<bool(const ResourceEntry&)>& match) {
    return std::erase_if(entries_, match);
}

std::vector<const ResourceEntry*> ResourceTree::FindAll(const ResourceKey& type, const ResourceKey& name) const {
    std::vector<const ResourceEntry*> found;
    for (const ResourceEntry* e : Sorted()) {
        if (e->type.Matches(type) && e->name.Matches(name)) found.push_back(e);
    }
    return found;
}

std::vector<const ResourceEntry*> ResourceTree::Sorted() const {
    std::vector<const ResourceEntry*> sorted;
    sorted.reserve(entries_.size());
    for (const ResourceEntry& e : entries_) sorted.push_back(&e);
    std::stable_sort(sorted.begin(), sorted.end(), EntryLess);
    return sorted;
}

ResourceTree ReadResourceTree(const PeImage& image, const std::shared_ptr<const ByteSource>& file) {
    if (image.Directory(kDirResource).rva == 0) return {};
    ResourceTree tree = TreeReader(image, file).Read();
    LayOutResourceTree(tree, 0);  // refuses a tree that holds the same resource twice
    return tree;
}

ResourceLayout LayOutResourceTree(const ResourceTree& tree, std::uint32_t sectionRva, std::uint64_t sectionFileOffset) {
    struct NameGroup {
        const ResourceKey* name;
        std::vector<const ResourceEntry*> leaves;
    };
    struct TypeGroup {
        const ResourceKey* type;
        std::vector<NameGroup> names;
    };
    const std::vector<const ResourceEntry*> sorted = tree.Sorted();
    std::vector<TypeGroup> types;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const ResourceEntry* e = sorted[i];
        if (i > 0 && e->type.Matches(sorted[i - 1]->type) && e->name.Matches(sorted[i - 1]->name) &&
            e->language.Matches(sorted[i - 1]->language)) {
            throw PeFormatError("the resource tree holds " + Describe(*e) + " twice");
        }
        if (types.empty() || !types.back().type->Matches(e->type)) types.push_back({&e->type, {}});
        auto& names = types.back().names;
        if (names.empty() || !names.back().name->Matches(e->name)) names.push_back({&e->name, {}});
        names.back().leaves.push_back(e);
    }

    std::uint64_t cursor = 16 + 8 * types.size();
    std::vector<std::uint64_t> typeDir, nameDir;
    for (const TypeGroup& t : types) {
        typeDir.push_back(cursor);
        cursor += 16 + 8 * t.names.size();
    }
    for (const TypeGroup& t : types) {
        for (const NameGroup& n : t.names) {
            nameDir.push_back(cursor);
            cursor += 16 + 8 * n.leaves.size();
        }
    }
    const std::uint64_t dataEntries = cursor;
    cursor += 16 * sorted.size();
    std::map<std::u16string, std::uint64_t> strings;
    std::vector<const std::u16string*> stringOrder;
    auto placeString = [&](const ResourceKey& key) {
        if (!key.named || strings.count(key.name)) return;
        strings[key.name] = cursor;
        stringOrder.push_back(&key.name);
        cursor += 2 + 2 * key.name.size();
    };
    for (const TypeGroup& t : types) {
        placeString(*t.type);
        for (const NameGroup& n : t.names) {
            placeString(*n.name);
            for (const ResourceEntry* e : n.leaves) placeString(e->language);
        }
    }
    cursor = AlignUp(cursor, 8);
    if (cursor >= kHighBit) throw PeFormatError("the resource tree's directories are too large");

    ResourceLayout layout;
    layout.head.assign(static_cast<std::size_t>(cursor), 0);
    std::uint8_t* head = layout.head.data();
    auto writeDirectory = [&](std::uint64_t at, std::size_t named, std::size_t count) {
        Store16(head + at + 12, static_cast<std::uint16_t>(named));
        Store16(head + at + 14, static_cast<std::uint16_t>(count - named));
    };
    auto keyField = [&](const ResourceKey& key) {
        return key.named ? kHighBit | static_cast<std::uint32_t>(strings.at(key.name)) : std::uint32_t{key.id};
    };
    auto countNamed = [](auto begin, auto end, auto keyOf) {
        return static_cast<std::size_t>(std::count_if(begin, end, [&](const auto& x) { return keyOf(x).named; }));
    };
    auto checkCount = [](std::size_t count) {
        if (count > 0xFFFF) throw PeFormatError("a resource directory would hold more than 65535 entries");
    };

    checkCount(types.size());
    writeDirectory(0, countNamed(types.begin(), types.end(), [](const TypeGroup& t) -> const ResourceKey& { return *t.type; }), types.size());
    std::size_t nameIndex = 0, leafIndex = 0;
    for (std::size_t t = 0; t < types.size(); ++t) {
        const TypeGroup& type = types[t];
        Store32(head + 16 + 8 * t, keyField(*type.type));
        Store32(head + 16 + 8 * t + 4, kHighBit | static_cast<std::uint32_t>(typeDir[t]));
        checkCount(type.names.size());
        writeDirectory(typeDir[t], countNamed(type.names.begin(), type.names.end(), [](const NameGroup& n) -> const ResourceKey& { return *n.name; }), type.names.size());
        for (std::size_t n = 0; n < type.names.size(); ++n, ++nameIndex) {
            const NameGroup& name = type.names[n];
            const std::uint64_t at = typeDir[t] + 16 + 8 * n;
            Store32(head + at, keyField(*name.name));
            Store32(head + at + 4, kHighBit | static_cast<std::uint32_t>(nameDir[nameIndex]));
            checkCount(name.leaves.size());
            writeDirectory(nameDir[nameIndex], countNamed(name.leaves.begin(), name.leaves.end(), [](const ResourceEntry* e) -> const ResourceKey& { return e->language; }), name.leaves.size());
            for (std::size_t l = 0; l < name.leaves.size(); ++l, ++leafIndex) {
                const std::uint64_t entryAt = dataEntries + 16 * leafIndex;
                Store32(head + nameDir[nameIndex] + 16 + 8 * l, keyField(name.leaves[l]->language));
                Store32(head + nameDir[nameIndex] + 16 + 8 * l + 4, static_cast<std::uint32_t>(entryAt));
            }
        }
    }
    for (const std::u16string* s : stringOrder) {
        const std::uint64_t at = strings.at(*s);
        Store16(head + at, static_cast<std::uint16_t>(s->size()));
        for (std::size_t i = 0; i < s->size(); ++i) Store16(head + at + 2 + 2 * i, (*s)[i]);
    }

    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const ResourceEntry* e = sorted[i];
        if (e->data.size >= kLargeLeafBytes) {
            cursor = AlignUp(sectionFileOffset + cursor, kLargeLeafAlignment) - sectionFileOffset;
        }
        if (cursor + e->data.size + sectionRva > 0xFFFFFFFFull) {
            throw PeFormatError("the resources do not fit in the 4 GiB address space of a PE file");
        }
        std::uint8_t* entry = head + dataEntries + 16 * i;
        Store32(entry, static_cast<std::uint32_t>(sectionRva + cursor));
        Store32(entry + 4, static_cast<std::uint32_t>(e->data.size));
        Store32(entry + 8, e->codePage);
        layout.blobs.push_back({cursor, e->data});
        cursor = AlignUp(cursor + e->data.size, 8);
    }
    layout.size = cursor;
    return layout;
}

void WriteResourceSection(const ResourceLayout& layout, ByteSink& sink) {
    sink.Write(layout.head.data(), layout.head.size());
    std::uint64_t position = layout.head.size();
    for (const ResourceLayout::Blob& blob : layout.blobs) {
        WriteZeros(sink, blob.offset - position);
        CopyRange(*blob.data.source, blob.data.offset, blob.data.size, sink);
        blob.data.source->Release();
        position = blob.offset + blob.data.size;
    }
    WriteZeros(sink, layout.size - position);
}
