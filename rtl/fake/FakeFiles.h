// The in-memory file system of the native build: Windows-style paths, faults on demand.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fake {

class FileSystem {
public:
    FileSystem() { dirs_.insert("C:"); }
    static FileSystem& Get();

    // Empties the disk: only the drive root C:\ exists, the current directory is C:\, no faults.
    void Reset();
    // Creates the directory and its parents.
    void AddDirectory(const std::string& path);
    // Creates or replaces a file; its directory must exist (it is created if not).
    void AddFile(const std::string& path, const std::string& bytes, bool readOnly = false);
    void SetCurrentDirectory(const std::string& path);
    // Makes a file refuse to be replaced or removed, like a file held open by another program.
    void Lock(const std::string& path);

    std::optional<std::string> Read(const std::string& path) const;
    // Every file, by full path in upper case, sorted.
    std::vector<std::string> Files() const;

    // Faults: total bytes that all writes together may still put on the disk (a full disk),
    // and bytes after which every write call fails (a write that breaks off halfway).
    void SetFreeSpace(std::size_t bytes) { freeSpace_ = bytes; }
    void FailWritesAfter(std::size_t bytes) { failAfter_ = bytes; }
    // Largest number of bytes that one write call accepts (short writes); 0 means unlimited.
    void SetMaxWriteChunk(std::size_t bytes) { maxChunk_ = bytes; }
    int WriteCalls() const { return writeCalls_; }
    int OpenHandles() const { return static_cast<int>(open_.size()); }

    // Backend side.
    std::string Key(const std::string& path) const;
    bool IsDirectory(const std::string& key) const { return dirs_.count(key) > 0; }
    bool IsFile(const std::string& key) const { return files_.count(key) > 0; }
    bool IsReadOnly(const std::string& key) const;
    bool Create(const std::string& key, long long& handle, bool& exists);
    std::size_t Write(long long handle, const void* data, std::size_t count);
    bool Close(long long handle);
    bool Replace(const std::string& sourceKey, const std::string& targetKey);
    bool Remove(const std::string& key);

private:
    struct File {
        std::string bytes;
        bool readOnly = false;
        bool locked = false;
    };
    static std::string Parent(const std::string& key);

    std::map<std::string, File> files_;
    std::set<std::string> dirs_;
    std::map<long long, std::string> open_;
    std::string current_ = "C:\\";
    long long nextHandle_ = 1;
    std::optional<std::size_t> freeSpace_;
    std::optional<std::size_t> failAfter_;
    std::size_t maxChunk_ = 0;
    std::size_t written_ = 0;
    int writeCalls_ = 0;
};

}  // namespace fake
