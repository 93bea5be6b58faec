// Builds small PE files in memory for the packer's tests, and reads the test stubs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ResourceTree.h"

struct MiniSection {
    std::string name;
    std::vector<std::uint8_t> data;
    std::uint32_t virtualSize = 0;  // 0: the data's size
    std::uint32_t characteristics = 0x40000040;
};

struct MiniPeShape {
    bool pe32Plus = true;
    std::uint32_t fileAlignment = 0x200;
    std::uint32_t sectionAlignment = 0x1000;
    std::uint32_t sizeOfHeaders = 0x400;
    std::vector<MiniSection> sections;
    int resourceSection = -1;              // index of the section the resource directory points at
    std::vector<std::uint8_t> overlay;     // after the last section
    std::vector<std::uint8_t> certificate; // appended after the overlay, named by the security directory
    std::uint32_t pointerToSymbolTable = 0;
};

// The RVA that section `index` gets in BuildMiniPe.
std::uint32_t MiniSectionRva(const MiniPeShape& shape, std::size_t index);
std::vector<std::uint8_t> BuildMiniPe(const MiniPeShape& shape);

// The bytes of a resource section for a tree placed at `rva`.
std::vector<std::uint8_t> ResourceSectionBytes(const ResourceTree& tree, std::uint32_t rva);

// A stub with ".text", ".rsrc" holding `tree`, and ".reloc" after it unless `resourceLast`.
MiniPeShape StubShape(const ResourceTree& tree, bool resourceLast, bool pe32Plus = true);

ResourceEntry Entry(ResourceKey type, ResourceKey name, std::uint16_t language, std::string bytes);
std::string Read(const DataRef& data);

// Folder of the mingw-built test stubs; tests that need one skip when it is not there.
std::filesystem::path StubPath(const std::string& name);
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// A temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A 24-bit bottom-up BMP file image.
std::string MakeBmp(int width, int height);
