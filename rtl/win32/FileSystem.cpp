// File calls on Windows (ANSI names in the system's code page).
#include "rtl/FileSystem.h"
#include "rtl/win32/WinApi.h"

#include <algorithm>

namespace os {

// Missing also when the attributes cannot be read.
PathKind FsKind(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

// False when the attributes cannot be read.
bool FsIsReadOnly(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Failed for every error but an existing name.
CreateResult FsCreateNew(const std::string& path, FileHandle& handle) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) ? CreateResult::Exists
                                                                            : CreateResult::Failed;
    }
    handle = reinterpret_cast<FileHandle>(h);
    return CreateResult::Created;
}

// 0 when WriteFile fails or writes nothing.
std::size_t FsWrite(FileHandle handle, const void* data, std::size_t count) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 0x7FFFFFFF));
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), data, chunk, &written, nullptr)) return 0;
    return written;
}

bool FsFlush(FileHandle handle) { return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0; }

bool FsClose(FileHandle handle) { return CloseHandle(reinterpret_cast<HANDLE>(handle)) != 0; }

// False when the move fails (target locked, read-only, no permission).
bool FsReplace(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FsRemove(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

}  // namespace os
