// The in-memory file system of the native build, behind the runtime's file calls.
#include "rtl/fake/FakeFiles.h"

#include <algorithm>

#include "rtl/FileSystem.h"
#include "rtl/SysUtils.h"

namespace fake {

FileSystem& FileSystem::Get() {
    static FileSystem fs;
    return fs;
}

void FileSystem::Reset() { *this = FileSystem(); }

std::string FileSystem::Key(const std::string& path) const {
    std::string full = path;
    bool absolute = full.size() >= 2 && full[1] == ':';
    if (!absolute) full = IncludeTrailingPathDelimiter(current_) + full;
    std::string key;
    for (std::size_t i = 0; i < full.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(full[i]);
        if (IsLeadByte(b) && i + 1 < full.size()) {
            key += full[i];
            key += full[++i];
            continue;
        }
        key += (b >= 'a' && b <= 'z') ? static_cast<char>(b - 'a' + 'A') : full[i];
    }
    if (key.size() > 2 && key.back() == '\\' && ByteType(key, key.size()) == mbSingleByte) key.pop_back();
    return key;
}

std::string FileSystem::Parent(const std::string& key) {
    std::string dir = ExtractFilePath(key);
    if (dir.size() > 2 && dir.back() == '\\') dir.pop_back();
    return dir;
}

void FileSystem::AddDirectory(const std::string& path) {
    std::string key = Key(path);
    while (key.size() >= 2 && !dirs_.count(key)) {
        dirs_.insert(key);
        key = Parent(key);
    }
}

void FileSystem::AddFile(const std::string& path, const std::string& bytes, bool readOnly) {
    std::string key = Key(path);
    AddDirectory(Parent(key));
    files_[key] = File{bytes, readOnly, false};
}

void FileSystem::SetCurrentDirectory(const std::string& path) { current_ = path; }

void FileSystem::Lock(const std::string& path) { files_.at(Key(path)).locked = true; }

std::optional<std::string> FileSystem::Read(const std::string& path) const {
    auto it = files_.find(Key(path));
    if (it == files_.end()) return std::nullopt;
    return it->second.bytes;
}

std::vector<std::string> FileSystem::Files() const {
    std::vector<std::string> names;
    for (const auto& [key, file] : files_) names.push_back(key);
    return names;
}

bool FileSystem::IsReadOnly(const std::string& key) const {
    auto it = files_.find(key);
    return it != files_.end() && it->second.readOnly;
}

bool FileSystem::Create(const std::string& key, long long& handle, bool& exists) {
    exists = files_.count(key) || dirs_.count(key);
    if (exists) return false;
    if (!dirs_.count(Parent(key))) return false;
    files_[key] = File{};
    handle = nextHandle_++;
    open_[handle] = key;
    return true;
}

std::size_t FileSystem::Write(long long handle, const void* data, std::size_t count) {
    ++writeCalls_;
    auto it = open_.find(handle);
    if (it == open_.end()) return 0;
    std::size_t n = count;
    if (maxChunk_) n = std::min(n, maxChunk_);
    if (failAfter_) {
        if (written_ >= *failAfter_) return 0;
        n = std::min(n, *failAfter_ - written_);
    }
    if (freeSpace_) {
        if (*freeSpace_ == 0) return 0;
        n = std::min(n, *freeSpace_);
        *freeSpace_ -= n;
    }
    files_[it->second].bytes.append(static_cast<const char*>(data), n);
    written_ += n;
    return n;
}

bool FileSystem::Close(long long handle) { return open_.erase(handle) == 1; }

bool FileSystem::Replace(const std::string& sourceKey, const std::string& targetKey) {
    auto source = files_.find(sourceKey);
    if (source == files_.end() || dirs_.count(targetKey)) return false;
    auto target = files_.find(targetKey);
    if (target != files_.end() && (target->second.locked || target->second.readOnly)) return false;
    File moved = std::move(source->second);
    files_.erase(source);
    files_[targetKey] = std::move(moved);
    return true;
}

bool FileSystem::Remove(const std::string& key) {
    auto it = files_.find(key);
    if (it == files_.end() || it->second.locked) return false;
    files_.erase(it);
    return true;
}

}  // namespace fake

namespace os {

PathKind FsKind(const std::string& path) {
    auto& fs = fake::FileSystem::Get();
    std::string key = fs.Key(path);
    if (fs.IsDirectory(key)) return PathKind::Directory;
    return fs.IsFile(key) ? PathKind::File : PathKind::Missing;
}

bool FsIsReadOnly(const std::string& path) {
    auto& fs = fake::FileSystem::Get();
    return fs.IsReadOnly(fs.Key(path));
}

CreateResult FsCreateNew(const std::string& path, FileHandle& handle) {
    auto& fs = fake::FileSystem::Get();
    long long h = 0;
    bool exists = false;
    if (!fs.Create(fs.Key(path), h, exists)) return exists ? CreateResult::Exists : CreateResult::Failed;
    handle = static_cast<FileHandle>(h);
    return CreateResult::Created;
}

std::size_t FsWrite(FileHandle handle, const void* data, std::size_t count) {
    return fake::FileSystem::Get().Write(handle, data, count);
}

bool FsFlush(FileHandle) { return true; }

bool FsClose(FileHandle handle) { return fake::FileSystem::Get().Close(handle); }

bool FsReplace(const std::string& source, const std::string& target) {
    auto& fs = fake::FileSystem::Get();
    return fs.Replace(fs.Key(source), fs.Key(target));
}

bool FsRemove(const std::string& path) {
    auto& fs = fake::FileSystem::Get();
    return fs.Remove(fs.Key(path));
}

}  // namespace os
