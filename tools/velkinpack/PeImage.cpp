// Reading PE headers: every offset and size is checked against the file before it is used.
#include "PeImage.h"

#include <algorithm>
#include <cstdio>

#include "Errors.h"

namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint16_t kFileDll = 0x2000;
constexpr std::uint16_t kFileExecutable = 0x0002;

bool IsPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

[[noreturn]] void Fail(const std::string& what) { throw PeFormatError(what); }

}  // namespace

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    if (alignment <= 1) return value;
    return (value + alignment - 1) / alignment * alignment;
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::uint32_t PeSection::MappedSize() const {
    return virtualSize != 0 ? std::min(virtualSize, sizeOfRawData) : sizeOfRawData;
}

PeImage PeImage::Read(const ByteSource& source) {
    PeImage pe;
    pe.fileSize = source.Size();
    if (pe.fileSize < 64) Fail("not a Windows executable: shorter than an MZ header");

    std::uint8_t dos[64];
    source.ReadAt(0, dos, sizeof dos);
    if (dos[0] != 'M' || dos[1] != 'Z') Fail("not a Windows executable: no MZ signature");
    const std::uint32_t peOffset = Load32(dos + 0x3C);
    if (peOffset < 4 || peOffset > kMaxHeaderBytes || std::uint64_t{peOffset} + 24 > pe.fileSize) {
        Fail("not a PE file: the PE header offset " + Hex(peOffset) + " lies outside the file");
    }
    std::uint8_t coff[24];
    source.ReadAt(peOffset, coff, sizeof coff);
    if (coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0) Fail("not a PE file: no PE signature");
    pe.coffOffset = peOffset + 4;
    pe.machine = Load16(coff + 4);
    const std::uint16_t sectionCount = Load16(coff + 6);
    pe.pointerToSymbolTable = Load32(coff + 12);
    const std::uint16_t optionalSize = Load16(coff + 20);
    pe.characteristics = Load16(coff + 22);
    if (!(pe.characteristics & kFileExecutable)) Fail("not a program: the file is an object, not an executable image");
    if (pe.characteristics & kFileDll) Fail("not a program: the file is a DLL");

    pe.optionalOffset = pe.coffOffset + 20;
    pe.sectionTableOffset = pe.optionalOffset + optionalSize;
    const std::uint64_t tableEnd = std::uint64_t{pe.sectionTableOffset} + std::uint64_t{sectionCount} * kSectionHeaderSize;
    if (optionalSize < 2 || std::uint64_t{pe.optionalOffset} + optionalSize > pe.fileSize) {
        Fail("damaged PE file: the optional header runs past the end of the file");
    }
    std::vector<std::uint8_t> opt(optionalSize);
    source.ReadAt(pe.optionalOffset, opt.data(), opt.size());
    const std::uint16_t magic = Load16(opt.data());
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) Fail("unsupported PE file: optional header magic " + Hex(magic));
    pe.pe32Plus = magic == kMagicPe32Plus;
    const std::uint32_t dirCountOffset = pe.pe32Plus ? 108 : 92;
    if (optionalSize < dirCountOffset + 4) Fail("damaged PE file: the optional header is too short (" + std::to_string(optionalSize) + " bytes)");
    pe.sizeOfInitializedData = Load32(opt.data() + 8);
    pe.sectionAlignment = Load32(opt.data() + 32);
    pe.fileAlignment = Load32(opt.data() + 36);
    pe.sizeOfImage = Load32(opt.data() + 56);
    pe.sizeOfHeaders = Load32(opt.data() + 60);
    pe.checkSum = Load32(opt.data() + 64);
    const std::uint32_t declared = Load32(opt.data() + dirCountOffset);
    const std::uint32_t room = (optionalSize - dirCountOffset - 4) / 8;
    pe.numberOfDirectories = std::min({declared, room, 16u});
    if (pe.numberOfDirectories <= kDirResource) {
        Fail("unsupported PE file: the optional header has no slot for a resource directory");
    }

    if (!IsPowerOfTwo(pe.fileAlignment) || !IsPowerOfTwo(pe.sectionAlignment) || pe.sectionAlignment < pe.fileAlignment ||
        pe.fileAlignment > 0x10000 || (pe.fileAlignment < 512 && pe.fileAlignment != pe.sectionAlignment)) {
        Fail("damaged PE file: file alignment " + Hex(pe.fileAlignment) + " and section alignment " +
             Hex(pe.sectionAlignment) + " are not valid");
    }
    if (tableEnd > pe.sizeOfHeaders || pe.sizeOfHeaders > pe.fileSize || pe.sizeOfHeaders > kMaxHeaderBytes) {
        Fail("damaged PE file: the section table (ending at " + Hex(tableEnd) + ") does not lie within the headers (" +
             Hex(pe.sizeOfHeaders) + " bytes) inside the file");
    }
    pe.headers.resize(pe.sizeOfHeaders);
    source.ReadAt(0, pe.headers.data(), pe.headers.size());

    std::uint64_t virtualEnd = pe.sizeOfHeaders;
    pe.imageEnd = pe.sizeOfHeaders;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* h = pe.headers.data() + pe.sectionTableOffset + i * kSectionHeaderSize;
        PeSection s;
        s.name.assign(reinterpret_cast<const char*>(h), std::find(h, h + 8, 0) - h);
        s.virtualSize = Load32(h + 8);
        s.virtualAddress = Load32(h + 12);
        s.sizeOfRawData = Load32(h + 16);
        s.pointerToRawData = Load32(h + 20);
        const std::string label = "section " + std::to_string(i + 1) + " (" + s.name + ")";
        if (s.sizeOfRawData != 0 && s.RawEnd() > pe.fileSize) {
            Fail("damaged PE file: the data of " + label + " runs past the end of the file");
        }
        if (s.virtualAddress < virtualEnd || std::uint64_t{s.virtualAddress} + s.VirtualSpan() > 0xFFFFFFFFull) {
            Fail("damaged PE file: the address of " + label + " overlaps what comes before it or exceeds 4 GiB");
        }
        virtualEnd = AlignUp(std::uint64_t{s.virtualAddress} + s.VirtualSpan(), pe.sectionAlignment);
        if (s.sizeOfRawData != 0) pe.imageEnd = std::max(pe.imageEnd, s.RawEnd());
        pe.sections.push_back(std::move(s));
    }

    const PeDirectory res = pe.Directory(kDirResource);
    if (res.rva != 0 && !pe.RvaToOffset(res.rva, 16)) {
        Fail("damaged PE file: the resource directory at " + Hex(res.rva) + " lies outside the file's sections");
    }
    const PeDirectory cert = pe.Directory(kDirSecurity);
    if (cert.size != 0 && (cert.rva < pe.imageEnd || std::uint64_t{cert.rva} + cert.size > pe.fileSize)) {
        Fail("damaged PE file: the signature at " + Hex(cert.rva) + " does not lie in the data after the last section");
    }
    return pe;
}

PeDirectory PeImage::Directory(int index) const {
    if (index < 0 || static_cast<std::uint32_t>(index) >= numberOfDirectories) return {};
    const std::uint8_t* p = headers.data() + DirectoryOffset(index);
    return {Load32(p), Load32(p + 4)};
}

std::uint32_t PeImage::DirectoryOffset(int index) const {
    return optionalOffset + (pe32Plus ? 112 : 96) + 8 * static_cast<std::uint32_t>(index);
}

const PeSection* PeImage::SectionOfRva(std::uint64_t rva) const {
    for (const PeSection& s : sections) {
        if (rva >= s.virtualAddress && rva < std::uint64_t{s.virtualAddress} + s.MappedSize()) return &s;
    }
    return nullptr;
}

std::optional<std::uint64_t> PeImage::RvaToOffset(std::uint64_t rva, std::uint64_t size) const {
    const PeSection* s = SectionOfRva(rva);
    if (s == nullptr) return std::nullopt;
    const std::uint64_t inside = rva - s->virtualAddress;
    if (size > s->MappedSize() - inside) return std::nullopt;
    return std::uint64_t{s->pointerToRawData} + inside;
}

std::string PeImage::MachineName() const {
    switch (machine) {
        case 0x14C: return "i686";
        case 0x8664: return "x86_64";
        case 0xAA64: return "ARM64";
        case 0x1C4: return "ARM";
        default: return "machine " + Hex(machine);
    }
}
