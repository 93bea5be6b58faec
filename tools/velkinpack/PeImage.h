// The headers and section table of a PE32 or PE32+ file, read with every bound checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ByteIo.h"

struct PeSection {
    std::string name;  // up to 8 bytes, without the padding NULs
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t sizeOfRawData = 0;
    std::uint32_t pointerToRawData = 0;

    std::uint64_t RawEnd() const { return std::uint64_t{pointerToRawData} + sizeOfRawData; }
    // Bytes of the file that the loader maps at the section's address.
    std::uint32_t MappedSize() const;
    // Bytes the section occupies in the loaded image, before alignment.
    std::uint32_t VirtualSpan() const { return virtualSize != 0 ? virtualSize : sizeOfRawData; }
};

struct PeDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

constexpr int kDirResource = 2;
constexpr int kDirSecurity = 4;
constexpr std::uint32_t kSectionHeaderSize = 40;
// The header area read into memory; real files need a few hundred bytes.
constexpr std::uint32_t kMaxHeaderBytes = 1u << 20;

class PeImage {
public:
    // Throws PeFormatError naming what is wrong; never reads outside the source.
    static PeImage Read(const ByteSource& source);

    bool pe32Plus = false;
    std::uint16_t machine = 0;
    std::uint16_t characteristics = 0;
    std::uint32_t fileAlignment = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::uint32_t sizeOfImage = 0;
    std::uint32_t checkSum = 0;
    std::uint32_t sizeOfInitializedData = 0;
    std::uint32_t pointerToSymbolTable = 0;
    std::uint64_t fileSize = 0;
    // End of the last section's file data: what follows up to fileSize is the overlay.
    std::uint64_t imageEnd = 0;

    std::uint32_t coffOffset = 0;          // file offset of the COFF file header
    std::uint32_t optionalOffset = 0;      // file offset of the optional header
    std::uint32_t sectionTableOffset = 0;  // file offset of the first section header
    std::uint32_t numberOfDirectories = 0; // data directories present, at most 16

    std::vector<PeSection> sections;
    std::vector<std::uint8_t> headers;     // the file's first sizeOfHeaders bytes

    PeDirectory Directory(int index) const;
    std::uint32_t DirectoryOffset(int index) const;
    std::uint32_t ChecksumOffset() const { return optionalOffset + 64; }
    std::uint32_t SizeOfInitializedDataOffset() const { return optionalOffset + 8; }
    std::uint32_t SizeOfImageOffset() const { return optionalOffset + 56; }

    // The section whose mapped file data holds the RVA, or nullptr.
    const PeSection* SectionOfRva(std::uint64_t rva) const;
    // File offset of [rva, rva + size) when the whole range lies in one section's file data.
    std::optional<std::uint64_t> RvaToOffset(std::uint64_t rva, std::uint64_t size) const;
    std::string MachineName() const;
    std::string FormatName() const { return pe32Plus ? "PE32+" : "PE32"; }
};

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment);
std::string Hex(std::uint64_t value);
