// Little-endian loads and stores, byte sources to read from and sinks to write to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

inline std::uint16_t Load16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Load32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Load64(const std::uint8_t* p) {
    return Load32(p) | (static_cast<std::uint64_t>(Load32(p + 4)) << 32);
}
inline void Store16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Store32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Random-access bytes: a file or a buffer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `count` bytes at `offset`; throws PackError when the range lies outside
    // the source or the read fails.
    virtual void ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const = 0;
    // Gives back what an open source holds (a file handle) once its bytes have been copied.
    virtual void Release() const {}
    // Name for messages.
    virtual std::string Name() const = 0;
};

// Bytes held in memory; with `owned` the source keeps its own copy.
class MemorySource : public ByteSource {
public:
    MemorySource(std::vector<std::uint8_t> owned, std::string name);
    MemorySource(std::span<const std::uint8_t> view, std::string name);
    std::uint64_t Size() const override { return view_.size(); }
    void ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const override;
    std::string Name() const override { return name_; }

private:
    std::vector<std::uint8_t> owned_;
    std::span<const std::uint8_t> view_;
    std::string name_;
};

// A byte range of a source that stays alive as long as someone holds it.
struct DataRef {
    std::shared_ptr<const ByteSource> source;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;

    static DataRef Whole(std::shared_ptr<const ByteSource> source);
    static DataRef Bytes(std::vector<std::uint8_t> bytes, std::string name);
    std::vector<std::uint8_t> ReadAll() const;
};

// Sees the bytes of a copy piece by piece, in order.
using ByteObserver = std::function<void(const std::uint8_t* data, std::size_t count)>;

// Sequential output with a few patches of bytes already written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* data, std::size_t count) = 0;
    // Appends `count` bytes of `source` from `offset`, showing them to `observe` when it is
    // given. A sink that can copy without passing the bytes through its own buffers may.
    virtual void Copy(const ByteSource& source, std::uint64_t offset, std::uint64_t count, const ByteObserver* observe);
    // Overwrites bytes before the current position.
    virtual void WriteAt(std::uint64_t offset, const void* data, std::size_t count) = 0;
    virtual std::uint64_t Position() const = 0;
};

class MemorySink : public ByteSink {
public:
    void Write(const void* data, std::size_t count) override;
    void WriteAt(std::uint64_t offset, const void* data, std::size_t count) override;
    std::uint64_t Position() const override { return bytes.size(); }
    std::vector<std::uint8_t> bytes;
};

void WriteZeros(ByteSink& sink, std::uint64_t count);
// Streams `count` bytes of `source` from `offset` into the sink (ByteSink::Copy).
void CopyRange(const ByteSource& source, std::uint64_t offset, std::uint64_t count, ByteSink& sink);
// Reads the range in bounded chunks and hands each to `observe`.
void ReadRange(const ByteSource& source, std::uint64_t offset, std::uint64_t count, const ByteObserver& observe);
