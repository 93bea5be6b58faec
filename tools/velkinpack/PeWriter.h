// Writing a PE file anew with a replaced resource tree; everything else is kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ByteIo.h"
#include "PeImage.h"
#include "ResourceTree.h"

// Where everything of the output goes, worked out before a byte is written.
struct RewritePlan {
    struct Range {
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };
    std::vector<std::uint8_t> headers;  // the patched header area, written first
    std::uint64_t copyEnd = 0;          // input bytes after the headers, up to here, kept as they are
    std::uint64_t sectionOffset = 0;    // file offset of the resource section
    std::uint32_t sectionRva = 0;
    std::uint32_t sectionRawSize = 0;
    ResourceLayout layout;
    std::vector<Range> overlay;         // input ranges appended after the resource section
    std::uint32_t sizeOfImage = 0;
    std::uint32_t checksumOffset = 0;
    bool replacedLastSection = false;   // false: a new section was appended
    bool removedSignature = false;
    std::uint64_t outputSize = 0;
};

// Plans the output: the last section is replaced when it is the resource section, otherwise a
// new ".rsrc" section is appended (and an older one is renamed ".oldrsrc"). A signature is
// dropped; the overlay is kept. Throws PeFormatError when the stub leaves no way to do it.
RewritePlan PlanRewrite(const PeImage& image, const ResourceTree& tree);

// Writes the planned output, checksum included.
void WriteRewrite(const RewritePlan& plan, const ByteSource& input, ByteSink& out);
