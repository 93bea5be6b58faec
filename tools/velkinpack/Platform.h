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
