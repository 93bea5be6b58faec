// Finding where a Windows program is installed by way of its Start-menu shortcut.
#include "lib/Tqmfile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "lib/Tqmregistry.h"

namespace {

// The text of a buffer up to its terminator, never past its end.
AnsiString BufferText(const char* buffer, std::size_t size) {
    return AnsiString(buffer, std::find(buffer, buffer + size, '\0'));
}

// Balances a successful COM initialization of the calling thread, S_FALSE included; a failed
// one (another apartment model already in force) has nothing to balance.
class ComScope {
public:
    ComScope() : initialized_(os::ComInitialize() >= 0) {}
    ~ComScope() {
        if (initialized_) os::ComUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialized_;
};

}  // namespace

struct TqmFile::Step {
    int csidl;
    const char* registryValue;
    std::uint32_t fromRegistry;
    std::uint32_t registryFailed;
    std::uint32_t missing;
};

bool TqmFile::GetSpecialFolder(int csidl, AnsiString& path) {
    char buffer[os::kMaxPath] = {};
    std::unique_ptr<os::ShellAllocator> allocator;
    if (os::ShGetMalloc(allocator) != os::kSOk || !allocator) return false;
    std::unique_ptr<os::ItemIdList> list;
    if (os::ShGetSpecialFolderLocation(*allocator, csidl, list) != os::kSOk || !list) return false;
    if (!os::ShGetPathFromIdList(*list, buffer)) return false;
    path = BufferText(buffer, sizeof buffer);
    return true;
}

bool TqmFile::ExpandEnvironment(AnsiString& path) {
    std::vector<char> buffer(os::kMaxPath);
    auto size = static_cast<std::uint32_t>(buffer.size());
    std::uint32_t n = os::ExpandEnvironmentText(path.c_str(), buffer.data(), size);
    if (n > size) {
        buffer.assign(static_cast<std::size_t>(n) + 1, '\0');
        size = n + 1;
        n = os::ExpandEnvironmentText(path.c_str(), buffer.data(), size);
    }
    // An expansion that still does not fit (the environment grew between the calls) is no
    // expansion: the buffer holds no complete text.
    if (n == 0 || n > size) return false;
    path = BufferText(buffer.data(), buffer.size());
    return true;
}

bool TqmFile::LoadPersistFile(os::ShellObject& object, const os::WideChar* fileName, std::uint32_t mode) {
    std::unique_ptr<os::PersistFile> persist;
    if (object.QueryPersistFile(persist) != os::kSOk || !persist) return false;
    return persist->Load(fileName, mode) == os::kSOk;
}

bool TqmFile::FindInPrograms(const Step& step, const AnsiString& linkPath, AnsiString& path,
                             std::uint32_t& diagnostics) {
    AnsiString folder;
    // A folder of no text is no folder: joined, it would send the search to the root of the
    // current drive.
    bool found = GetSpecialFolder(step.csidl, folder) && !folder.empty();
    if (!found) {
        diagnostics |= step.fromRegistry;
        found = ReadRegistryString(step.registryValue, folder);
        ExpandEnvironment(folder);
        found = found && !folder.empty();
        if (!found) diagnostics |= step.registryFailed;
    }
    if (!found) return false;
    // The link path is relative to the folder even when it begins with a backslash.
    const bool rooted = !linkPath.empty() && linkPath.front() == '\\';
    const AnsiString name = rooted ? linkPath.substr(1) : linkPath;
    AnsiString candidate = IncludeTrailingPathDelimiter(folder) + name;
    if (!name.empty() && FileExists(candidate)) {
        path = std::move(candidate);
        return true;
    }
    diagnostics |= step.missing;
    return false;
}

bool TqmFile::FindProgramShortcut(AnsiString linkPath, AnsiString& foundPath, std::uint32_t& diagnostics) {
    static constexpr Step kUser{os::kCsidlPrograms, kUserProgramsValue, kUserFromRegistry, kUserRegistryFailed,
                                kUserMissing};
    static constexpr Step kCommon{os::kCsidlCommonPrograms, kCommonProgramsValue, kCommonFromRegistry,
                                  kCommonRegistryFailed, kCommonMissing};
    diagnostics = 0;
    AnsiString path;
    const bool found =
        FindInPrograms(kUser, linkPath, path, diagnostics) || FindInPrograms(kCommon, linkPath, path, diagnostics);
    if (!found) return false;
    foundPath = std::move(path);
    return true;
}

bool TqmFile::ResolveShortcut(const char* shortcutPath, char (&targetPath)[os::kMaxPath], os::FindData& findData) {
    ComScope com;
    std::unique_ptr<os::ShellLink> link;
    if (os::CoCreateShellLink(link) != os::kSOk || !link) return false;
    // A path that does not fit the wide buffer is not loaded at all.
    os::WideChar widePath[os::kMaxPath];
    if (!os::AnsiToWide(shortcutPath, widePath)) return false;
    if (!LoadPersistFile(*link, widePath, os::kStgmRead)) return false;
    // The target is taken only when the shell reports a file-system path.
    char target[os::kMaxPath] = {};
    os::FindData data = findData;
    const os::HResult hr = link->GetPath(target, static_cast<int>(sizeof target), data, os::kSlgpUncPriority);
    if (hr != os::kSOk) return false;
    const AnsiString text = BufferText(target, sizeof target);
    if (text.empty() || text.size() == sizeof target) return false;
    std::memcpy(targetPath, text.c_str(), text.size() + 1);
    findData = data;
    return true;
}
