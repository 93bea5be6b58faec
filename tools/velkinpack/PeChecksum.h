// The PE image checksum, computed over the bytes of a file as they are written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ByteIo.h"

class PeChecksum {
public:
    void Add(const std::uint8_t* data, std::size_t count);
    // The checksum of everything added, for a file of that many bytes (whose checksum field
    // was added as zeros).
    std::uint32_t Finish(std::uint64_t fileSize) const;

private:
    std::uint64_t sum_ = 0;  // of 32-bit little-endian words; folded to 16 bits at the end
    std::uint8_t pending_[4] = {};
    std::size_t pendingCount_ = 0;
};

// Computes the checksum of a whole file, skipping its checksum field.
std::uint32_t ComputePeChecksum(const ByteSource& source, std::uint64_t checksumOffset);

// Passes everything through to another sink and sums it on the way.
class ChecksumSink : public ByteSink {
public:
    explicit ChecksumSink(ByteSink& inner) : inner_(inner) {}
    void Write(const void* data, std::size_t count) override;
    void WriteAt(std::uint64_t offset, const void* data, std::size_t count) override;
    void Copy(const ByteSource& source, std::uint64_t offset, std::uint64_t count, const ByteObserver* observe) override;
    std::uint64_t Position() const override { return inner_.Position(); }
    std::uint32_t Finish() const { return checksum_.Finish(inner_.Position()); }

private:
    ByteSink& inner_;
    PeChecksum checksum_;
};
