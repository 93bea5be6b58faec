// Small PE files and fixtures for the packer's tests.
#include "MiniPe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "PeImage.h"

std::uint32_t MiniSectionRva(const MiniPeShape& shape, std::size_t index) {
    std::uint64_t rva = AlignUp(shape.sizeOfHeaders, shape.sectionAlignment);
    for (std::size_t i = 0; i < index; ++i) {
        const MiniSection& s = shape.sections[i];
        rva = AlignUp(rva + (s.virtualSize ? s.virtualSize : s.data.size()), shape.sectionAlignment);
    }
    return static_cast<std::uint32_t>(rva);
}

std::vector<std::uint8_t> BuildMiniPe(const MiniPeShape& shape) {
    std::vector<std::uint8_t> file(shape.sizeOfHeaders, 0);
    file[0] = 'M', file[1] = 'Z';
    const std::size_t pe = 0x80, coff = pe + 4, opt = coff + 20;
    const std::uint16_t optionalSize = shape.pe32Plus ? 240 : 224;
    const std::size_t dirs = opt + (shape.pe32Plus ? 112 : 96), table = opt + optionalSize;
    Store32(&file[0x3C], pe);
    std::memcpy(&file[pe], "PE\0\0", 4);
    Store16(&file[coff], shape.pe32Plus ? 0x8664 : 0x14C);
    Store16(&file[coff + 2], static_cast<std::uint16_t>(shape.sections.size()));
    Store32(&file[coff + 8], shape.pointerToSymbolTable);
    Store16(&file[coff + 16], optionalSize);
    Store16(&file[coff + 18], 0x0022);
    Store16(&file[opt], shape.pe32Plus ? 0x20B : 0x10B);
    Store32(&file[opt + 32], shape.sectionAlignment);
    Store32(&file[opt + 36], shape.fileAlignment);
    Store32(&file[opt + 60], shape.sizeOfHeaders);
    Store16(&file[opt + 68], 2);
    Store32(&file[opt + (shape.pe32Plus ? 108 : 92)], 16);

    std::uint64_t imageEnd = AlignUp(shape.sizeOfHeaders, shape.sectionAlignment);
    for (std::size_t i = 0; i < shape.sections.size(); ++i) {
        const MiniSection& s = shape.sections[i];
        const std::size_t h = table + 40 * i;
        std::memcpy(&file[h], s.name.data(), std::min<std::size_t>(8, s.name.size()));
        const std::uint32_t rva = MiniSectionRva(shape, i);
        const std::uint32_t raw = static_cast<std::uint32_t>(AlignUp(s.data.size(), shape.fileAlignment));
        const std::uint32_t virtualSize = s.virtualSize ? s.virtualSize : static_cast<std::uint32_t>(s.data.size());
        Store32(&file[h + 8], virtualSize);
        Store32(&file[h + 12], rva);
        Store32(&file[h + 16], raw);
        Store32(&file[h + 20], raw ? static_cast<std::uint32_t>(file.size()) : 0);
        Store32(&file[h + 36], s.characteristics);
        if (static_cast<int>(i) == shape.resourceSection) {
            Store32(&file[dirs + 16], rva);
            Store32(&file[dirs + 20], static_cast<std::uint32_t>(s.data.size()));
        }
        imageEnd = AlignUp(std::uint64_t{rva} + virtualSize, shape.sectionAlignment);
        file.insert(file.end(), s.data.begin(), s.data.end());
        file.resize(AlignUp(file.size(), shape.fileAlignment), 0);
    }
    Store32(&file[opt + 56], static_cast<std::uint32_t>(imageEnd));
    file.insert(file.end(), shape.overlay.begin(), shape.overlay.end());
    if (!shape.certificate.empty()) {
        Store32(&file[dirs + 32], static_cast<std::uint32_t>(file.size()));
        Store32(&file[dirs + 36], static_cast<std::uint32_t>(shape.certificate.size()));
        file.insert(file.end(), shape.certificate.begin(), shape.certificate.end());
    }
    return file;
}

std::vector<std::uint8_t> ResourceSectionBytes(const ResourceTree& tree, std::uint32_t rva) {
    MemorySink sink;
    WriteResourceSection(LayOutResourceTree(tree, rva), sink);
    return sink.bytes;
}

MiniPeShape StubShape(const ResourceTree& tree, bool resourceLast, bool pe32Plus) {
    MiniPeShape shape;
    shape.pe32Plus = pe32Plus;
    shape.sections.push_back({".text", std::vector<std::uint8_t>(0x300, 0xCC), 0, 0x60000020});
    shape.sections.push_back({".rsrc", {}, 0, 0x40000040});
    if (!resourceLast) shape.sections.push_back({".reloc", std::vector<std::uint8_t>(0x20, 0x11), 0, 0x42000040});
    shape.resourceSection = 1;
    shape.sections[1].data = ResourceSectionBytes(tree, MiniSectionRva(shape, 1));
    return shape;
}

ResourceEntry Entry(ResourceKey type, ResourceKey name, std::uint16_t language, std::string bytes) {
    return {std::move(type), std::move(name), ResourceKey::Id(language), 0,
            DataRef::Bytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), "test")};
}

std::string Read(const DataRef& data) {
    const auto bytes = data.ReadAll();
    return std::string(bytes.begin(), bytes.end());
}

std::filesystem::path StubPath(const std::string& name) { return std::filesystem::path(VP_TEST_STUBS) / name; }

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkinpack-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string MakeBmp(int width, int height) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t bits = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> b(54 + bits, 0x7F);
    b[0] = 'B', b[1] = 'M';
    Store32(&b[2], static_cast<std::uint32_t>(b.size()));
    Store32(&b[6], 0);
    Store32(&b[10], 54);
    Store32(&b[14], 40);
    Store32(&b[18], static_cast<std::uint32_t>(width));
    Store32(&b[22], static_cast<std::uint32_t>(height));
    Store16(&b[26], 1);
    Store16(&b[28], 24);
    std::memset(&b[30], 0, 24);
    Store32(&b[34], bits);
    return std::string(b.begin(), b.end());
}
