// Streams and the string list of the runtime.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A readable stream of bytes with a position.
class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Copies up to `count` bytes from the position on and advances; returns the number copied.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Size() const = 0;
    virtual std::size_t Position() const = 0;
    virtual void SetPosition(std::size_t position) = 0;
};

// A stream over bytes that lie in memory, which it does not own.
class TCustomMemoryStream : public TStream {
public:
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Size() const override { return size_; }
    std::size_t Position() const override { return position_; }
    void SetPosition(std::size_t position) override;
    const unsigned char* Memory() const { return memory_; }

    // Writes every byte of the stream to a file at `path`, replacing a file of that name whole.
    // No directory is created. On failure the old file is untouched; raises EFCreateError when
    // the file cannot be created or replaced, EWriteError when a write falls short.
    void SaveToFile(const std::string& path) const;

protected:
    void SetPointer(const unsigned char* memory, std::size_t size);

private:
    const unsigned char* memory_ = nullptr;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
};

// A stream over a copy of the given bytes (tests and small in-memory texts).
class TBytesStream : public TCustomMemoryStream {
public:
    explicit TBytesStream(std::string bytes);

private:
    std::string bytes_;
};

// An ordered, unsorted list of byte strings; empty entries and duplicates stay.
class TStringList {
public:
    TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // Entry at a 0-based index; raises ERangeError outside 0..Count-1.
    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }
    void Add(std::string text) { items_.push_back(std::move(text)); }
    // Deletes the entry at the index; later entries move down. Raises ERangeError when outside.
    void Delete(int index);
    void Clear() { items_.clear(); }
    void AddStrings(const TStringList& other);
    const std::vector<std::string>& Items() const { return items_; }

    // Replaces the contents by the lines of the text from the stream's position to its end.
    void LoadFromStream(TStream& stream);
    // The same over a text: CR, LF and CR LF each end a line, LF CR ends a line and then an
    // empty one, a NUL byte ends the text, and a break at the very end adds no empty line.
    void SetText(const std::string& text);

private:
    std::vector<std::string> items_;
};
