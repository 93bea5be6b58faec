// The PE checksum: the ones' complement sum of the file's 16-bit words, plus the file size.
#include "PeChecksum.h"

#include <algorithm>
#include <cstring>

#include "Errors.h"

void PeChecksum::Add(const std::uint8_t* data, std::size_t count) {
    if (pendingCount_ != 0) {
        const std::size_t n = std::min(count, sizeof pending_ - pendingCount_);
        std::memcpy(pending_ + pendingCount_, data, n);
        pendingCount_ += n, data += n, count -= n;
        if (pendingCount_ < sizeof pending_) return;
        sum_ += Load32(pending_);
        pendingCount_ = 0;
    }
    // Summing 32-bit words is the same modulo 0xFFFF, since 0x10000 leaves 1; 64 bits of room
    // cannot overflow within any file the packer writes.
    std::uint64_t a = 0, b = 0;
    while (count >= 8) {
        a += Load32(data);
        b += Load32(data + 4);
        data += 8;
        count -= 8;
    }
    sum_ += a + b;
    if (count >= 4) {
        sum_ += Load32(data);
        data += 4, count -= 4;
    }
    std::memcpy(pending_, data, count);
    pendingCount_ = count;
}

std::uint32_t PeChecksum::Finish(std::uint64_t fileSize) const {
    std::uint64_t sum = sum_;
    std::uint8_t tail[4] = {};
    std::memcpy(tail, pending_, pendingCount_);
    sum += Load32(tail);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + fileSize);
}

std::uint32_t ComputePeChecksum(const ByteSource& source, std::uint64_t checksumOffset) {
    static const std::uint8_t kZeros[4] = {};
    const std::uint64_t fieldEnd = checksumOffset + 4;
    PeChecksum checksum;
    std::uint64_t at = 0;
    ReadRange(source, 0, source.Size(), [&](const std::uint8_t* data, std::size_t n) {
        // The checksum field itself is summed as zeros.
        const std::uint64_t end = at + n;
        const std::uint64_t cutFrom = std::clamp(checksumOffset, at, end), cutTo = std::clamp(fieldEnd, at, end);
        checksum.Add(data, static_cast<std::size_t>(cutFrom - at));
        checksum.Add(kZeros, static_cast<std::size_t>(cutTo - cutFrom));
        checksum.Add(data + (cutTo - at), static_cast<std::size_t>(end - cutTo));
        at = end;
    });
    return checksum.Finish(source.Size());
}

void ChecksumSink::Write(const void* data, std::size_t count) {
    checksum_.Add(static_cast<const std::uint8_t*>(data), count);
    inner_.Write(data, count);
}

void ChecksumSink::WriteAt(std::uint64_t offset, const void* data, std::size_t count) {
    // Only the checksum field itself is patched after the fact; it was summed as zeros.
    inner_.WriteAt(offset, data, count);
}

void ChecksumSink::Copy(const ByteSource& source, std::uint64_t offset, std::uint64_t count, const ByteObserver* observe) {
    const ByteObserver sum = [&](const std::uint8_t* data, std::size_t n) {
        checksum_.Add(data, n);
        if (observe != nullptr) (*observe)(data, n);
    };
    inner_.Copy(source, offset, count, &sum);
}
