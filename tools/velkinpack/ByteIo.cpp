// Byte sources and sinks that live in memory, and streaming between them.
#include "ByteIo.h"

#include <algorithm>
#include <cstring>

#include "Errors.h"

MemorySource::MemorySource(std::vector<std::uint8_t> owned, std::string name)
    : owned_(std::move(owned)), view_(owned_), name_(std::move(name)) {}

MemorySource::MemorySource(std::span<const std::uint8_t> view, std::string name)
    : view_(view), name_(std::move(name)) {}

void MemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    if (offset > view_.size() || count > view_.size() - offset) {
        throw PackError(name_ + ": read past the end of the data");
    }
    if (count != 0) std::memcpy(buffer, view_.data() + offset, count);
}

DataRef DataRef::Whole(std::shared_ptr<const ByteSource> source) {
    DataRef ref;
    ref.size = source->Size();
    ref.source = std::move(source);
    return ref;
}

DataRef DataRef::Bytes(std::vector<std::uint8_t> bytes, std::string name) {
    return Whole(std::make_shared<MemorySource>(std::move(bytes), std::move(name)));
}

std::vector<std::uint8_t> DataRef::ReadAll() const {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size != 0) source->ReadAt(offset, bytes.data(), bytes.size());
    return bytes;
}

void MemorySink::Write(const void* data, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + count);
}

void MemorySink::WriteAt(std::uint64_t offset, const void* data, std::size_t count) {
    if (offset > bytes.size() || count > bytes.size() - offset) throw PackError("patch past the end of the output");
    std::memcpy(bytes.data() + offset, data, count);
}

void WriteZeros(ByteSink& sink, std::uint64_t count) {
    static const std::uint8_t kZeros[4096] = {};
    while (count != 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof kZeros));
        sink.Write(kZeros, n);
        count -= n;
    }
}

void ReadRange(const ByteSource& source, std::uint64_t offset, std::uint64_t count, const ByteObserver& observe) {
    // A quarter mebibyte stays in the processor's cache between reading and writing.
    constexpr std::size_t kChunk = 1 << 18;
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(count, kChunk));
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    while (count != 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size));
        source.ReadAt(offset, buffer.get(), n);
        observe(buffer.get(), n);
        offset += n;
        count -= n;
    }
}

void ByteSink::Copy(const ByteSource& source, std::uint64_t offset, std::uint64_t count, const ByteObserver* observe) {
    ReadRange(source, offset, count, [&](const std::uint8_t* data, std::size_t n) {
        if (observe != nullptr) (*observe)(data, n);
        Write(data, n);
    });
}

void CopyRange(const ByteSource& source, std::uint64_t offset, std::uint64_t count, ByteSink& sink) {
    sink.Copy(source, offset, count, nullptr);
}
