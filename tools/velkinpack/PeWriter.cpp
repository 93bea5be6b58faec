// The layout rules of the rewritten file: which bytes move, which header fields change.
#include "PeWriter.h"

#include <algorithm>
#include <cstring>

#include "Errors.h"
#include "PeChecksum.h"

namespace {

constexpr std::uint32_t kResourceCharacteristics = 0x40000040;  // initialized data, readable
constexpr char kOldResourceName[8] = {'.', 'o', 'l', 'd', 'r', 's', 'r', 'c'};

// The section that holds the resource tree and can be written over in place: the last one,
// in the table and in the file, starting with the tree.
const PeSection* ReplaceableSection(const PeImage& pe) {
    const PeDirectory res = pe.Directory(kDirResource);
    if (res.rva == 0 || pe.sections.empty()) return nullptr;
    const PeSection& last = pe.sections.back();
    if (last.name != ".rsrc" || last.virtualAddress != res.rva || last.sizeOfRawData == 0) return nullptr;
    if (last.pointerToRawData < pe.sizeOfHeaders) return nullptr;
    for (std::size_t i = 0; i + 1 < pe.sections.size(); ++i) {
        const PeSection& s = pe.sections[i];
        if (s.sizeOfRawData != 0 && s.RawEnd() > last.pointerToRawData) return nullptr;
    }
    return &last;
}

void SetSectionHeader(std::uint8_t* h, std::uint32_t virtualSize, std::uint32_t rva, std::uint32_t rawSize,
                      std::uint32_t rawOffset) {
    Store32(h + 8, virtualSize);
    Store32(h + 12, rva);
    Store32(h + 16, rawSize);
    Store32(h + 20, rawOffset);
}

}  // namespace

RewritePlan PlanRewrite(const PeImage& pe, const ResourceTree& tree) {
    RewritePlan plan;
    plan.headers = pe.headers;
    std::uint8_t* h = plan.headers.data();
    const PeSection* replaced = ReplaceableSection(pe);
    plan.replacedLastSection = replaced != nullptr;
    std::size_t sectionCount = pe.sections.size();

    std::uint64_t virtualEnd = pe.sizeOfHeaders;
    for (const PeSection& s : pe.sections) {
        if (&s != replaced) virtualEnd = std::max(virtualEnd, std::uint64_t{s.virtualAddress} + s.VirtualSpan());
    }
    if (replaced != nullptr) {
        plan.sectionRva = replaced->virtualAddress;
        plan.sectionOffset = replaced->pointerToRawData;
        plan.copyEnd = replaced->pointerToRawData;
    } else {
        const std::uint64_t tableEnd = pe.sectionTableOffset + sectionCount * kSectionHeaderSize;
        std::uint64_t firstData = pe.sizeOfHeaders;
        for (const PeSection& s : pe.sections) {
            if (s.sizeOfRawData != 0) firstData = std::min<std::uint64_t>(firstData, s.pointerToRawData);
        }
        const bool room = sectionCount < 0xFFFF && tableEnd + kSectionHeaderSize <= firstData &&
                          std::all_of(h + tableEnd, h + tableEnd + kSectionHeaderSize, [](std::uint8_t b) { return b == 0; });
        if (!room) {
            throw PeFormatError("the stub's headers have no room for one more section header; link the stub "
                                "with its resource section last, or with more header space");
        }
        const std::uint64_t rva = AlignUp(virtualEnd, pe.sectionAlignment);
        if (rva > 0xFFFFFFFFull) throw PeFormatError("the stub leaves no address space for a resource section");
        plan.sectionRva = static_cast<std::uint32_t>(rva);
        plan.copyEnd = pe.imageEnd;
        plan.sectionOffset = AlignUp(pe.imageEnd, pe.fileAlignment);
        std::uint8_t* header = h + tableEnd;
        std::memcpy(header, ".rsrc\0\0\0", 8);
        Store32(header + 36, kResourceCharacteristics);
        ++sectionCount;
        Store16(h + pe.coffOffset + 2, static_cast<std::uint16_t>(sectionCount));
        for (std::size_t i = 0; i < pe.sections.size(); ++i) {
            if (pe.sections[i].name == ".rsrc") std::memcpy(h + pe.sectionTableOffset + i * kSectionHeaderSize, kOldResourceName, 8);
        }
    }

    plan.layout = LayOutResourceTree(tree, plan.sectionRva, plan.sectionOffset);
    const std::uint64_t rawSize = AlignUp(plan.layout.size, pe.fileAlignment);
    const std::uint64_t imageSize = AlignUp(std::uint64_t{plan.sectionRva} + plan.layout.size, pe.sectionAlignment);
    if (imageSize > 0xFFFFFFFFull || plan.sectionOffset + rawSize > 0xFFFFFFFFull) {
        throw PeFormatError("the resources do not fit in the 4 GiB of a PE file");
    }
    plan.sectionRawSize = static_cast<std::uint32_t>(rawSize);
    plan.sizeOfImage = static_cast<std::uint32_t>(imageSize);
    SetSectionHeader(h + pe.sectionTableOffset + (sectionCount - 1) * kSectionHeaderSize,
                     static_cast<std::uint32_t>(plan.layout.size), plan.sectionRva, plan.sectionRawSize,
                     static_cast<std::uint32_t>(plan.sectionOffset));

    // The overlay, without a signature: the author signs the finished patch.
    const PeDirectory cert = pe.Directory(kDirSecurity);
    const std::uint64_t overlayStart = pe.imageEnd;
    if (cert.size != 0) {
        plan.overlay.push_back({overlayStart, cert.rva - overlayStart});
        plan.overlay.push_back({std::uint64_t{cert.rva} + cert.size, pe.fileSize - cert.rva - cert.size});
        std::memset(h + pe.DirectoryOffset(kDirSecurity), 0, 8);
        plan.removedSignature = true;
    } else {
        plan.overlay.push_back({overlayStart, pe.fileSize - overlayStart});
    }
    std::erase_if(plan.overlay, [](const RewritePlan::Range& r) { return r.size == 0; });

    // A COFF symbol table in the overlay moves with it; anywhere else it is dropped.
    std::uint64_t symbols = pe.pointerToSymbolTable;
    if (symbols != 0) {
        std::uint64_t moved = 0, at = plan.sectionOffset + rawSize;
        for (const RewritePlan::Range& r : plan.overlay) {
            if (symbols >= r.offset && symbols < r.offset + r.size) moved = at + (symbols - r.offset);
            at += r.size;
        }
        if (moved == 0 && symbols < plan.copyEnd) moved = symbols;
        Store32(h + pe.coffOffset + 8, static_cast<std::uint32_t>(moved));
        if (moved == 0) Store32(h + pe.coffOffset + 12, 0);
    }

    Store32(h + pe.DirectoryOffset(kDirResource), plan.sectionRva);
    Store32(h + pe.DirectoryOffset(kDirResource) + 4, static_cast<std::uint32_t>(plan.layout.size));
    Store32(h + pe.SizeOfImageOffset(), plan.sizeOfImage);
    const std::uint64_t initialized = std::uint64_t{pe.sizeOfInitializedData} - (replaced ? std::min(replaced->sizeOfRawData, pe.sizeOfInitializedData) : 0) + rawSize;
    Store32(h + pe.SizeOfInitializedDataOffset(), static_cast<std::uint32_t>(std::min<std::uint64_t>(initialized, 0xFFFFFFFFu)));
    plan.checksumOffset = pe.ChecksumOffset();
    Store32(h + plan.checksumOffset, 0);

    plan.outputSize = plan.sectionOffset + rawSize;
    for (const RewritePlan::Range& r : plan.overlay) plan.outputSize += r.size;
    return plan;
}

void WriteRewrite(const RewritePlan& plan, const ByteSource& input, ByteSink& out) {
    ChecksumSink sink(out);
    const std::uint64_t start = out.Position();
    sink.Write(plan.headers.data(), plan.headers.size());
    CopyRange(input, plan.headers.size(), plan.copyEnd - plan.headers.size(), sink);
    WriteZeros(sink, plan.sectionOffset - plan.copyEnd);
    WriteResourceSection(plan.layout, sink);
    WriteZeros(sink, plan.sectionRawSize - plan.layout.size);
    for (const RewritePlan::Range& r : plan.overlay) CopyRange(input, r.offset, r.size, sink);
    if (out.Position() - start != plan.outputSize) throw PackError("internal error: the output size differs from the plan");
    std::uint8_t checksum[4];
    Store32(checksum, sink.Finish());
    out.WriteAt(start + plan.checksumOffset, checksum, 4);
}
