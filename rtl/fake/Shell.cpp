// The in-memory shell of the native build, behind the runtime's shell and COM calls.
#include "rtl/fake/FakeShell.h"

#include <cstring>
#include <memory>

#include "rtl/SysUtils.h"
#include "rtl/fake/FakeFiles.h"

namespace fake {

const std::string Shell::kShortcutMagic = "[fake shortcut]\n";

Shell& Shell::Get() {
    static Shell shell;
    return shell;
}

void Shell::Reset() { *this = Shell(); }

void Shell::SetFolder(int csidl, std::string path) { folders_[csidl] = Folder{true, std::move(path)}; }
void Shell::SetFolderWithoutPath(int csidl) { folders_[csidl] = Folder{false, std::string()}; }
void Shell::RemoveFolder(int csidl) { folders_.erase(csidl); }

const Shell::Folder* Shell::FindFolder(int csidl) {
    folderRequests_.push_back(csidl);
    auto it = folders_.find(csidl);
    return it == folders_.end() ? nullptr : &it->second;
}

void Shell::SetVariable(const std::string& name, std::string value) {
    for (auto& [known, text] : variables_) {
        if (FoldCompareText(known, name) != 0) continue;
        text = std::move(value);
        return;
    }
    variables_.emplace_back(name, std::move(value));
}

std::string Shell::ShortcutFile(const std::string& target) { return kShortcutMagic + target; }

// %NAME% of a known variable is replaced; anything else, a lone % included, stays as it is.
std::string Shell::Expand(const std::string& text) const {
    std::string out;
    std::size_t p = 0;
    while (p < text.size()) {
        std::size_t open = text.find('%', p);
        std::size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) break;
        out.append(text, p, open - p);
        const std::string name = text.substr(open + 1, close - open - 1);
        const std::string* value = nullptr;
        for (const auto& [known, v] : variables_) {
            if (!name.empty() && FoldCompareText(known, name) == 0) value = &v;
        }
        if (value) {
            out += *value;
            p = close + 1;
        } else {
            out += '%';
            p = open + 1;
        }
    }
    out.append(text, p, std::string::npos);
    return out;
}

void Shell::Count(int Counts::*which, int delta) {
    live_.*which += delta;
    if (delta > 0) made_.*which += delta;
}

void Shell::Uninit() {
    if (live_.comInits == 0) {
        ++strayUninits_;
        return;
    }
    --live_.comInits;
}

namespace {

// Keeps one count of the shell raised for the life of the object.
class Counted {
public:
    explicit Counted(int Shell::Counts::*which) : which_(which) { Shell::Get().Count(which_, 1); }
    ~Counted() { Shell::Get().Count(which_, -1); }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

private:
    int Shell::Counts::*which_;
};

class FakeAllocator final : public os::ShellAllocator {
    Counted counted_{&Shell::Counts::allocators};
};

class FakeIdList final : public os::ItemIdList {
public:
    explicit FakeIdList(Shell::Folder folder) : folder(std::move(folder)) {}
    Shell::Folder folder;

private:
    Counted counted_{&Shell::Counts::idLists};
};

// What a shortcut object has loaded; shared with its persist-file interface.
struct LinkState {
    bool loaded = false;
    std::string target;
};

class FakePersist final : public os::PersistFile {
public:
    explicit FakePersist(std::shared_ptr<LinkState> state) : state_(std::move(state)) {}
    os::HResult Load(const os::WideChar* fileName, std::uint32_t) override {
        std::string name;
        for (const os::WideChar* c = fileName; *c; ++c) name += static_cast<char>(*c);
        Shell& shell = Shell::Get();
        shell.RecordLoad(name);
        auto bytes = FileSystem::Get().Read(name);
        bool isShortcut = bytes && bytes->rfind(Shell::kShortcutMagic, 0) == 0;
        if (isShortcut) {
            state_->loaded = true;
            state_->target = bytes->substr(Shell::kShortcutMagic.size());
        }
        if (shell.faults.load) return *shell.faults.load;
        return isShortcut ? os::kSOk : os::kEFail;
    }

private:
    std::shared_ptr<LinkState> state_;
    Counted counted_{&Shell::Counts::persistFiles};
};

class FakeLink final : public os::ShellLink {
public:
    os::HResult QueryPersistFile(std::unique_ptr<os::PersistFile>& persist) override {
        persist = std::make_unique<FakePersist>(state_);
        return Shell::Get().faults.queryPersistFile;
    }
    os::HResult GetPath(char* file, int size, os::FindData& data, std::uint32_t) override {
        const auto& fault = Shell::Get().faults.getPath;
        if (fault && *fault != os::kSFalse && *fault != os::kSOk) return *fault;
        if (size <= 0) return os::kEFail;
        const std::string target = fault || !state_->loaded ? std::string() : state_->target;
        const std::size_t n = std::min(target.size(), static_cast<std::size_t>(size) - 1);
        std::memcpy(file, target.data(), n);
        file[n] = '\0';
        data = os::FindData{};
        if (target.empty()) return fault ? *fault : os::kSFalse;
        data.fileAttributes = 0x20;
        const std::string name = target.substr(ExtractFilePath(target).size());
        std::strncpy(data.fileName, name.c_str(), sizeof data.fileName - 1);
        return os::kSOk;
    }

private:
    std::shared_ptr<LinkState> state_ = std::make_shared<LinkState>();
    Counted counted_{&Shell::Counts::links};
};

}  // namespace

}  // namespace fake

namespace os {

HResult ShGetMalloc(std::unique_ptr<ShellAllocator>& allocator) {
    allocator = std::make_unique<fake::FakeAllocator>();
    return fake::Shell::Get().faults.getMalloc;
}

HResult ShGetSpecialFolderLocation(ShellAllocator&, int csidl, std::unique_ptr<ItemIdList>& list) {
    fake::Shell& shell = fake::Shell::Get();
    const fake::Shell::Folder* folder = shell.FindFolder(csidl);
    if (!folder) return kEFail;
    list = std::make_unique<fake::FakeIdList>(*folder);
    return shell.faults.folderLocation;
}

bool ShGetPathFromIdList(const ItemIdList& list, char (&path)[kMaxPath]) {
    const auto& folder = static_cast<const fake::FakeIdList&>(list).folder;
    if (!folder.hasPath || folder.path.size() >= kMaxPath) return false;
    std::memcpy(path, folder.path.c_str(), folder.path.size() + 1);
    return true;
}

std::uint32_t ExpandEnvironmentText(const char* source, char* buffer, std::uint32_t size) {
    fake::Shell& shell = fake::Shell::Get();
    shell.RecordExpand(size);
    if (shell.faults.expandFails) return 0;
    const std::string expanded = shell.Expand(source);
    const auto needed = static_cast<std::uint32_t>(expanded.size() + 1);
    if (needed <= size) std::memcpy(buffer, expanded.c_str(), needed);
    return needed;
}

// Each byte becomes one wide character, so names of any code page go through unchanged.
bool AnsiToWide(const char* text, WideChar (&wide)[kMaxPath]) {
    const std::size_t n = std::strlen(text);
    if (n + 1 > kMaxPath) return false;
    for (std::size_t i = 0; i <= n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
    return true;
}

HResult ComInitialize() {
    fake::Shell& shell = fake::Shell::Get();
    if (shell.faults.comInitialize >= 0) shell.Count(&fake::Shell::Counts::comInits, 1);
    return shell.faults.comInitialize;
}

void ComUninitialize() { fake::Shell::Get().Uninit(); }

HResult CoCreateShellLink(std::unique_ptr<ShellLink>& link) {
    link = std::make_unique<fake::FakeLink>();
    return fake::Shell::Get().faults.createLink;
}

}  // namespace os
