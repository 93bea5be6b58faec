// The resource tree of a PE file: read from a file, edited as a flat list, laid out anew.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ByteIo.h"
#include "PeImage.h"

// A type, name or language of the tree: a 16-bit number or a UTF-16 name.
struct ResourceKey {
    bool named = false;
    std::uint16_t id = 0;
    std::u16string name;

    static ResourceKey Id(std::uint16_t id);
    // A name of ASCII characters, stored upper case as the loader looks it up.
    static ResourceKey Name(std::string_view ascii);
    bool operator==(const ResourceKey& other) const = default;
    // The name, or "#<id>"; well-known type numbers read as their names with `asType`.
    std::string Display(bool asType = false) const;
    // Equal names ignoring ASCII letter case, or equal numbers.
    bool Matches(const ResourceKey& other) const;
};

// Loader order within one directory: names first, by upper-case code units, then numbers.
bool KeyLess(const ResourceKey& a, const ResourceKey& b);

struct ResourceEntry {
    ResourceKey type;
    ResourceKey name;
    ResourceKey language;
    std::uint32_t codePage = 0;
    DataRef data;
};

class ResourceTree {
public:
    // A second entry of the same type, name and language is refused when the tree is laid out.
    void Add(ResourceEntry entry);
    std::size_t RemoveIf(const std::function<bool(const ResourceEntry&)>& match);
    // Every entry of that type and name, in tree order, whatever its language.
    std::vector<const ResourceEntry*> FindAll(const ResourceKey& type, const ResourceKey& name) const;
    const std::vector<ResourceEntry>& Entries() const { return entries_; }
    // Entries in the order the laid-out tree holds them.
    std::vector<const ResourceEntry*> Sorted() const;

private:
    std::vector<ResourceEntry> entries_;
};

// Upper bounds for a tree read from a file, so that a hostile tree cannot exhaust memory.
constexpr std::size_t kMaxResourceEntries = 100000;
constexpr std::size_t kMaxResourceNameUnits = 4u << 20;

// Reads the tree the resource directory points at; an empty tree when there is none. Leaf
// data stays in `file` and is referenced, not copied. Throws PeFormatError on a damaged tree.
ResourceTree ReadResourceTree(const PeImage& image, const std::shared_ptr<const ByteSource>& file);

// The tree as a section placed at `sectionRva`: the directories, data entries and names in
// `head`, then each leaf's bytes at its offset, 8-byte aligned.
struct ResourceLayout {
    struct Blob {
        std::uint64_t offset = 0;
        DataRef data;
    };
    std::vector<std::uint8_t> head;
    std::vector<Blob> blobs;
    std::uint64_t size = 0;
};

// Leaves of this size or more start on a kLargeLeafAlignment boundary of the file, where their
// bytes lie in their own files too: the kernel then copies them in whole groups of pages.
constexpr std::uint64_t kLargeLeafBytes = 1u << 20;
constexpr std::uint64_t kLargeLeafAlignment = 1u << 16;

// Throws PeFormatError when the tree does not fit below 4 GiB at that address. The section
// starts at `sectionFileOffset` in the file.
ResourceLayout LayOutResourceTree(const ResourceTree& tree, std::uint32_t sectionRva, std::uint64_t sectionFileOffset = 0);
// Writes the laid-out section, streaming each leaf's bytes from its source.
void WriteResourceSection(const ResourceLayout& layout, ByteSink& sink);
