// The operating system's file calls that the runtime is built on (one backend per system).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace os {

enum class PathKind { Missing, File, Directory };
// What the path names; Missing also when it cannot be looked at.
PathKind FsKind(const std::string& path);
// True when the path names a file with the read-only attribute; false otherwise.
bool FsIsReadOnly(const std::string& path);

using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;
enum class CreateResult { Created, Exists, Failed };
// Creates a new, empty file for exclusive writing; Exists when the name is taken, Failed when
// it cannot be created (missing directory, bad name, no permission).
CreateResult FsCreateNew(const std::string& path, FileHandle& handle);
// Writes up to `count` bytes; returns how many were written, 0 when the write failed.
std::size_t FsWrite(FileHandle handle, const void* data, std::size_t count);
// Pushes the file's data to the disk; false on failure.
bool FsFlush(FileHandle handle);
// Closes the file; false when the system reports a failure.
bool FsClose(FileHandle handle);
// Moves `source` over `target` in one step, replacing an existing target; false on failure.
bool FsReplace(const std::string& source, const std::string& target);
// Removes a file; false on failure.
bool FsRemove(const std::string& path);

}  // namespace os
