// The in-memory shell of the native build: special folders, environment variables, shortcut
// files in the fake file system, faults on demand and counters of what is held.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rtl/Shell.h"

namespace fake {

class Shell {
public:
    static Shell& Get();

    // No folders, no variables, no faults, counters at zero.
    void Reset();

    // A special folder with a file-system path, one without (a virtual folder), or none at all
    // (the default).
    void SetFolder(int csidl, std::string path);
    void SetFolderWithoutPath(int csidl);
    void RemoveFolder(int csidl);
    // Every folder asked for, in order.
    const std::vector<int>& FolderRequests() const { return folderRequests_; }

    // Environment variables for %NAME% references; names compare without regard to case.
    void SetVariable(const std::string& name, std::string value);

    // The bytes of a shortcut file to the target, for fake::FileSystem::AddFile. Any other
    // file fails to load as a shortcut.
    static std::string ShortcutFile(const std::string& target);

    // Faults: the result that each call reports instead of its own. An object that a call
    // hands out is handed out all the same (as with S_FALSE), and must be given back.
    struct Faults {
        os::HResult getMalloc = os::kSOk;
        os::HResult folderLocation = os::kSOk;
        os::HResult comInitialize = os::kSOk;
        os::HResult createLink = os::kSOk;
        os::HResult queryPersistFile = os::kSOk;
        std::optional<os::HResult> load;
        // S_OK and S_FALSE write an empty path; any other result writes nothing.
        std::optional<os::HResult> getPath;
        bool expandFails = false;
    };
    Faults faults;

    // What is held now, and what was ever handed out.
    struct Counts {
        int allocators = 0;
        int idLists = 0;
        int links = 0;
        int persistFiles = 0;
        int comInits = 0;  // successful initializations not yet uninitialized
    };
    const Counts& Live() const { return live_; }
    const Counts& Made() const { return made_; }
    // CoUninitialize calls that had no initialization to balance.
    int StrayUninits() const { return strayUninits_; }
    // The buffer sizes passed to the environment expansion, in order.
    const std::vector<std::uint32_t>& ExpandSizes() const { return expandSizes_; }
    // Every file name that a shortcut object was asked to load.
    const std::vector<std::string>& Loads() const { return loads_; }

    // Backend side.
    struct Folder {
        bool hasPath;
        std::string path;
    };
    const Folder* FindFolder(int csidl);
    std::string Expand(const std::string& text) const;
    void Count(int Counts::*which, int delta);
    void Uninit();
    void RecordExpand(std::uint32_t size) { expandSizes_.push_back(size); }
    void RecordLoad(const std::string& name) { loads_.push_back(name); }
    static const std::string kShortcutMagic;

private:
    std::map<int, Folder> folders_;
    std::vector<std::pair<std::string, std::string>> variables_;
    std::vector<int> folderRequests_;
    Counts live_, made_;
    int strayUninits_ = 0;
    std::vector<std::uint32_t> expandSizes_;
    std::vector<std::string> loads_;
};

}  // namespace fake
