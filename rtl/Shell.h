// The shell, COM and environment calls that the install locator is built on (one backend per
// system). Every object handed out gives its resource back when destroyed, also when the call
// that handed it out reported a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace os {

// A COM result; success is S_OK only, wherever the locator looks at one.
using HResult = std::int32_t;
constexpr HResult kSOk = 0;
constexpr HResult kSFalse = 1;
constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
constexpr HResult kENoInterface = static_cast<HResult>(0x80004002u);

constexpr std::size_t kMaxPath = 260;

// Shell folder identifiers.
constexpr int kCsidlPrograms = 2;
constexpr int kCsidlCommonPrograms = 23;

constexpr std::uint32_t kStgmRead = 0;
constexpr std::uint32_t kSlgpUncPriority = 2;

using WideChar = char16_t;

// The find data of a file, laid out as the shell's WIN32_FIND_DATAA.
struct FileTime {
    std::uint32_t low;
    std::uint32_t high;
};
struct FindData {
    std::uint32_t fileAttributes;
    FileTime creationTime;
    FileTime lastAccessTime;
    FileTime lastWriteTime;
    std::uint32_t fileSizeHigh;
    std::uint32_t fileSizeLow;
    std::uint32_t reserved0;
    std::uint32_t reserved1;
    char fileName[kMaxPath];
    char alternateFileName[14];
};

// The shell's allocator (IMalloc); released when destroyed.
class ShellAllocator {
public:
    virtual ~ShellAllocator() = default;
};

// An item identifier list of the shell; freed with the allocator that it was obtained with
// when destroyed.
class ItemIdList {
public:
    virtual ~ItemIdList() = default;
};

// A shell object's persist-file interface (IPersistFile); released when destroyed.
class PersistFile {
public:
    virtual ~PersistFile() = default;
    virtual HResult Load(const WideChar* fileName, std::uint32_t mode) = 0;
};

// A COM object of the shell (IUnknown); released when destroyed.
class ShellObject {
public:
    virtual ~ShellObject() = default;
    // QueryInterface for IID_IPersistFile.
    virtual HResult QueryPersistFile(std::unique_ptr<PersistFile>& persist) = 0;
};

// A shell shortcut object (IShellLinkA).
class ShellLink : public ShellObject {
public:
    // The target's path, NUL-terminated in `file` (of `size` bytes), and its find data.
    virtual HResult GetPath(char* file, int size, FindData& data, std::uint32_t flags) = 0;
};

HResult ShGetMalloc(std::unique_ptr<ShellAllocator>& allocator);
// The location of a special folder, with the desktop window as owner.
HResult ShGetSpecialFolderLocation(ShellAllocator& allocator, int csidl, std::unique_ptr<ItemIdList>& list);
// True when the item has a file-system path; it is then NUL-terminated in `path`.
bool ShGetPathFromIdList(const ItemIdList& list, char (&path)[kMaxPath]);

// ExpandEnvironmentStringsA: the size in bytes, terminator included, that the expansion of
// `source` needs; the expansion is in `buffer` when that is not more than `size`. 0 on failure.
std::uint32_t ExpandEnvironmentText(const char* source, char* buffer, std::uint32_t size);

// MultiByteToWideChar from the ANSI code page: the text, terminator included, as wide text;
// false when it does not fit or cannot be converted.
bool AnsiToWide(const char* text, WideChar (&wide)[kMaxPath]);

// COM on the calling thread (CoInitialize, CoUninitialize).
HResult ComInitialize();
void ComUninitialize();
// A new, empty shortcut object (CLSID_ShellLink, in-process, IID_IShellLinkA).
HResult CoCreateShellLink(std::unique_ptr<ShellLink>& link);

}  // namespace os
