// What differs between Linux and Windows for the packer: files, folders, code page 932, console.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ByteIo.h"

// Paths are UTF-8 text with "/" or "\" (on Windows) between folders.
namespace platform {

struct FileInfo {
    bool exists = false;
    bool directory = false;
    std::uint64_t size = 0;
};
FileInfo Stat(const std::string& path);

// True when both names lead to one existing file.
bool SameFile(const std::string& a, const std::string& b);

// A file read at any offset. Open throws PackError naming the file and the reason.
std::shared_ptr<ByteSource> OpenInput(const std::string& path);
// A file that is opened when its bytes are first read and closed by Release; reading fails
// when its size is no longer `expectedSize`.
std::shared_ptr<ByteSource> OpenInputLater(const std::string& path, std::uint64_t expectedSize);

// A new file written beside `path` and put in its place by Commit, so that a failed run leaves
// the old file (or none) and no half-written one. It keeps the mode of the file it replaces;
// a new `program` may be run where the system asks for that.
class OutputFile : public ByteSink {
public:
    static std::unique_ptr<OutputFile> Create(const std::string& path, bool program = false);
    virtual void Commit() = 0;
};

// The part of an output file that both systems share: small pieces (headers, padding) are
// gathered in a buffer, large ones go straight to the file through WriteAll.
class BufferedOutputFile : public OutputFile {
public:
    void Write(const void* data, std::size_t count) override {
        const auto* p = static_cast<const char*>(data);
        if (buffer_.size() + count > kBuffer || count >= kDirect) Flush();
        if (count >= kDirect) {
            WriteAll(p, count);
        } else {
            buffer_.insert(buffer_.end(), p, p + count);
        }
        position_ += count;
    }
    std::uint64_t Position() const override { return position_; }

protected:
    BufferedOutputFile() { buffer_.reserve(kBuffer); }
    // Writes every byte at the file's position; throws PackError when it cannot.
    virtual void WriteAll(const char* p, std::size_t count) = 0;
    void Flush() {
        WriteAll(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    // Counts bytes that reached the file some other way.
    void Advance(std::uint64_t count) { position_ += count; }

private:
    static constexpr std::size_t kBuffer = 1 << 18;
    static constexpr std::size_t kDirect = 1 << 16;
    std::vector<char> buffer_;
    std::uint64_t position_ = 0;
};

// Creates the folder and the folders above it; throws PackError when that fails.
void CreateDirectories(const std::string& path);
// True when the folder has no entries (or does not exist).
bool IsEmptyDirectory(const std::string& path);
// The folder of the running packer executable, empty when it cannot be told.
std::string ExecutableDirectory();

// Code page 932 bytes as code points; false at the first byte that does not decode, with its
// offset in `badOffset`.
bool DecodeCp932(std::string_view bytes, std::u32string& out, std::size_t& badOffset);
// Appends the code page 932 bytes of one character; false when code page 932 has none.
bool EncodeCp932Char(char32_t cp, std::string& out);

// Writes UTF-8 text to standard output or standard error in the terminal's encoding; `raw`
// writes the bytes as they are (JSON).
void WriteOut(std::string_view utf8, bool raw = false);
void WriteErr(std::string_view utf8);

}  // namespace platform

// The packer's command line, arguments as UTF-8; returns the exit status.
int RunPacker(const std::vector<std::string>& args);
