// The install locator over the in-memory shell, registry and file system: where it looks, in
// which order, what it reports, and that it gives back everything it obtains.
#include "lib/Tqmfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "TestSupport.h"
#include "rtl/Exceptions.h"
#include "rtl/fake/FakeFiles.h"
#include "rtl/fake/FakeRegistry.h"
#include "rtl/fake/FakeShell.h"

namespace {

const std::string kP1 = "C:\\Users\\Player\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kP2 = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kLink = "Vendor\\Game\\Game.lnk";
const std::string kTarget = "C:\\Games\\Game\\game.exe";
const std::string kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::string kUntouched = "untouched";
constexpr std::uint32_t kUnset = 0xDEADBEEF;

class TqmFileTest : public testing::Test {
protected:
    void SetUp() override {
        shell.Reset();
        files.Reset();
        reg.Reset();
    }
    void TearDown() override {
        const auto& live = shell.Live();
        EXPECT_EQ(live.allocators, 0);
        EXPECT_EQ(live.idLists, 0);
        EXPECT_EQ(live.links, 0);
        EXPECT_EQ(live.persistFiles, 0);
        EXPECT_EQ(live.comInits, 0);
        EXPECT_EQ(shell.StrayUninits(), 0);
        EXPECT_EQ(reg.OpenKeys(), 0);
    }

    void AddShortcut(const std::string& path, const std::string& target = kTarget) {
        files.AddFile(path, fake::Shell::ShortcutFile(target));
    }

    fake::Shell& shell = fake::Shell::Get();
    fake::FileSystem& files = fake::FileSystem::Get();
    fake::Registry& reg = fake::Registry::Get();
    TqmFile locator;
};

// Where one step of the search gets its folder from.
enum class Source { Shell, Virtual, Registry, Nowhere };  // Virtual: the shell names it, with no path

struct FindCase {
    const char* what;
    Source user, common;
    bool inUser, inCommon;
    bool result;
    std::string found;  // expected foundPath; kUntouched on failure
    std::uint32_t diagnostics;
};

TEST_F(TqmFileTest, FindProgramShortcutTable) {
    const std::string p1Link = kP1 + "\\" + kLink, p2Link = kP2 + "\\" + kLink;
    const FindCase cases[] = {
        {"in P1", Source::Shell, Source::Shell, true, false, true, p1Link, 0x000},
        {"only in P2", Source::Shell, Source::Shell, false, true, true, p2Link, 0x100},
        {"in both", Source::Shell, Source::Shell, true, true, true, p1Link, 0x000},
        {"in neither", Source::Shell, Source::Shell, false, false, false, kUntouched, 0x300},
        {"P1 from the registry", Source::Registry, Source::Shell, true, false, true, p1Link, 0x001},
        {"no P1 at all, in P2", Source::Nowhere, Source::Shell, false, true, true, p2Link, 0x003},
        {"P1 virtual, in P2", Source::Virtual, Source::Shell, false, true, true, p2Link, 0x003},
        {"P2 from the registry", Source::Nowhere, Source::Registry, false, true, true, p2Link, 0x007},
        {"both from the registry", Source::Registry, Source::Registry, false, true, true, p2Link, 0x105},
        {"no P2, not in P1", Source::Shell, Source::Nowhere, false, false, false, kUntouched, 0x10C},
        {"every source fails", Source::Nowhere, Source::Nowhere, false, false, false, kUntouched, 0x00F},
        {"both virtual", Source::Virtual, Source::Virtual, false, false, false, kUntouched, 0x00F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        auto place = [&](Source source, int csidl, const std::string& folder, TRootKey root,
                         const std::string& key, const std::string& value) {
            if (source == Source::Shell) shell.SetFolder(csidl, folder);
            if (source == Source::Virtual) shell.SetFolderWithoutPath(csidl);
            if (source == Source::Registry) reg.SetString(root, key, value, folder);
        };
        place(c.user, os::kCsidlPrograms, kP1, kHKeyCurrentUser, kShellFolders, "Programs");
        place(c.common, os::kCsidlCommonPrograms, kP2, kHKeyLocalMachine, kShellFolders, "Common Programs");
        files.AddDirectory(kP1);
        files.AddDirectory(kP2);
        if (c.inUser) AddShortcut(kP1 + "\\" + kLink);
        if (c.inCommon) AddShortcut(kP2 + "\\" + kLink);

        std::string found = kUntouched;
        std::uint32_t diagnostics = kUnset;
        EXPECT_EQ(locator.FindProgramShortcut(kLink, found, diagnostics), c.result);
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(diagnostics, c.diagnostics);
        if (c.user == Source::Shell && c.inUser) {
            EXPECT_EQ(shell.FolderRequests(), std::vector<int>{os::kCsidlPrograms});  // P2 is not asked for
        }
        TearDown();
    }
}

TEST_F(TqmFileTest, JoinsWithOneBackslashOfItsOwn) {
    ScopedLeadBytes cp932(Cp932LeadBytes());
    const struct {
        std::string folder;
        std::string expected;
    } cases[] = {
        {"C:\\Start\\Programs", "C:\\Start\\Programs\\" + kLink},
        {"C:\\Start\\Programs\\", "C:\\Start\\Programs\\" + kLink},  // none added
        {"C:\\Start\\" + kSo, "C:\\Start\\" + kSo + "\\" + kLink},    // the 0x5C of ソ is no delimiter
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        SetUp();
        shell.SetFolder(os::kCsidlPrograms, c.folder);
        AddShortcut(c.expected);
        std::string found;
        std::uint32_t diagnostics = kUnset;
        EXPECT_TRUE(locator.FindProgramShortcut(kLink, found, diagnostics));
        EXPECT_EQ(found, c.expected);
        EXPECT_EQ(diagnostics, 0u);
    }
}

TEST_F(TqmFileTest, ExpandsARegistryFolderBeforeTheJoin) {
    shell.SetVariable("USERPROFILE", "C:\\Users\\Player");
    reg.SetString(kHKeyCurrentUser, kShellFolders, "Programs", "%UserProfile%\\Start Menu\\Programs",
                  kRegExpandSz);
    AddShortcut("C:\\Users\\Player\\Start Menu\\Programs\\" + kLink);
    std::string found;
    std::uint32_t diagnostics = kUnset;
    EXPECT_TRUE(locator.FindProgramShortcut(kLink, found, diagnostics));
    EXPECT_EQ(found, "C:\\Users\\Player\\Start Menu\\Programs\\" + kLink);
    EXPECT_EQ(diagnostics, 0x001u);
}

TEST_F(TqmFileTest, AllUsersFallbackReadsTheAllUsersValue) {
    // The per-user value of the other key must not stand in for the all-users folder.
    reg.SetString(kHKeyCurrentUser, kUserShellFolders, "Programs", kP1, kRegExpandSz);
    reg.SetString(kHKeyLocalMachine, kShellFolders, "Common Programs", kP2);
    AddShortcut(kP1 + "\\" + kLink);
    AddShortcut(kP2 + "\\" + kLink);
    std::string found;
    std::uint32_t diagnostics = kUnset;
    EXPECT_TRUE(locator.FindProgramShortcut(kLink, found, diagnostics));
    EXPECT_EQ(found, kP2 + "\\" + kLink);
    EXPECT_EQ(diagnostics, 0x007u);
}

TEST_F(TqmFileTest, OddLinkPathsAreLookedForLikeAnyOther) {
    const struct {
        std::string link;
        bool result;
        std::string found;
        std::uint32_t diagnostics;
    } cases[] = {
        {"", false, kUntouched, 0x300},  // no range error, and the bare folder is no shortcut
        {"\\", false, kUntouched, 0x300},
        {"\\" + kLink, true, kP1 + "\\" + kLink, 0x000},
        {"Vendor", false, kUntouched, 0x300},  // a directory is not a file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        SetUp();
        shell.SetFolder(os::kCsidlPrograms, kP1);
        shell.SetFolder(os::kCsidlCommonPrograms, kP2);
        AddShortcut(kP1 + "\\" + kLink);
        files.AddDirectory(kP2 + "\\Vendor");
        std::string found = kUntouched;
        std::uint32_t diagnostics = kUnset;
        EXPECT_EQ(locator.FindProgramShortcut(c.link, found, diagnostics), c.result);
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(diagnostics, c.diagnostics);
    }
}

TEST_F(TqmFileTest, AnEmptyRegistryFolderDoesNotSearchTheDriveRoot) {
    // The keys exist but hold no value: the read succeeds with the empty text.
    reg.AddKey(kHKeyCurrentUser, kShellFolders);
    reg.AddKey(kHKeyLocalMachine, kShellFolders);
    AddShortcut("C:\\" + kLink);
    files.SetCurrentDirectory("C:\\");
    std::string found = kUntouched;
    std::uint32_t diagnostics = kUnset;
    EXPECT_FALSE(locator.FindProgramShortcut(kLink, found, diagnostics));
    EXPECT_EQ(found, kUntouched);
    EXPECT_EQ(diagnostics, 0x00Fu);
}

TEST_F(TqmFileTest, RegistryErrorsPassThroughWithTheBitsSetSoFar) {
    reg.SetDword(kHKeyCurrentUser, kShellFolders, "Programs", 1);
    shell.SetFolder(os::kCsidlCommonPrograms, kP2);
    AddShortcut(kP2 + "\\" + kLink);
    std::string found = kUntouched;
    std::uint32_t diagnostics = kUnset;
    EXPECT_THROW(locator.FindProgramShortcut(kLink, found, diagnostics), ERegistryException);
    EXPECT_EQ(found, kUntouched);
    EXPECT_EQ(diagnostics, 0x001u);
}

TEST_F(TqmFileTest, GetSpecialFolderFailsOnAnythingButSOk) {
    const struct {
        const char* what;
        os::HResult getMalloc, folderLocation;
        bool withPath;
    } cases[] = {
        {"allocator E_FAIL", os::kEFail, os::kSOk, true},
        {"allocator S_FALSE", os::kSFalse, os::kSOk, true},
        {"location E_FAIL", os::kSOk, os::kEFail, true},
        {"location S_FALSE", os::kSOk, os::kSFalse, true},
        {"no file-system path", os::kSOk, os::kSOk, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.withPath ? shell.SetFolder(os::kCsidlPrograms, kP1) : shell.SetFolderWithoutPath(os::kCsidlPrograms);
        shell.faults.getMalloc = c.getMalloc;
        shell.faults.folderLocation = c.folderLocation;
        std::string path = kUntouched;
        EXPECT_FALSE(locator.GetSpecialFolder(os::kCsidlPrograms, path));
        EXPECT_EQ(path, kUntouched);
        EXPECT_EQ(shell.Made().allocators, 1);
        TearDown();
    }
    SetUp();
    shell.SetFolder(os::kCsidlPrograms, kP1);
    std::string path;
    EXPECT_TRUE(locator.GetSpecialFolder(os::kCsidlPrograms, path));
    EXPECT_EQ(path, kP1);
    EXPECT_EQ(shell.Made().idLists, 1);
    std::string absent = kUntouched;
    EXPECT_FALSE(locator.GetSpecialFolder(os::kCsidlCommonPrograms, absent));
    EXPECT_EQ(absent, kUntouched);
}

TEST_F(TqmFileTest, ExpandEnvironmentEnlargesOnceOnDemand) {
    const std::string longValue(300, 'x');
    shell.SetVariable("LONG", longValue);
    shell.SetVariable("SHORT", "C:\\s");
    std::string path = "%SHORT%\\%LONG%\\end";
    ASSERT_TRUE(locator.ExpandEnvironment(path));
    EXPECT_EQ(path, "C:\\s\\" + longValue + "\\end");
    const std::uint32_t needed = static_cast<std::uint32_t>(path.size() + 1);
    EXPECT_EQ(shell.ExpandSizes(), (std::vector<std::uint32_t>{260, needed + 1}));

    std::string fits = "%SHORT%\\%UNKNOWN%";
    ASSERT_TRUE(locator.ExpandEnvironment(fits));
    EXPECT_EQ(fits, "C:\\s\\%UNKNOWN%");
    EXPECT_EQ(shell.ExpandSizes().size(), 3u);

    // Exactly 260 bytes with the terminator still fit the first buffer.
    std::string edge(259, 'e');
    ASSERT_TRUE(locator.ExpandEnvironment(edge));
    EXPECT_EQ(edge, std::string(259, 'e'));
    EXPECT_EQ(shell.ExpandSizes().size(), 4u);

    shell.faults.expandFails = true;
    std::string unchanged = "%SHORT%";
    EXPECT_FALSE(locator.ExpandEnvironment(unchanged));
    EXPECT_EQ(unchanged, "%SHORT%");
}

struct ResolveCase {
    const char* what;
    fake::Shell::Faults faults;
    std::string file;  // the shortcut file's bytes; empty: no file
};

TEST_F(TqmFileTest, ResolveShortcutFailuresLeaveTheOutputsUntouched) {
    const std::string shortcut = fake::Shell::ShortcutFile(kTarget);
    auto with = [](auto change) {
        fake::Shell::Faults f;
        change(f);
        return f;
    };
    const ResolveCase cases[] = {
        {"no such file", {}, ""},
        {"not a shortcut", {}, "plain text"},
        {"Load E_FAIL", with([](auto& f) { f.load = os::kEFail; }), shortcut},
        {"Load S_FALSE", with([](auto& f) { f.load = os::kSFalse; }), shortcut},
        {"CoCreateInstance E_FAIL", with([](auto& f) { f.createLink = os::kEFail; }), shortcut},
        {"CoCreateInstance S_FALSE", with([](auto& f) { f.createLink = os::kSFalse; }), shortcut},
        {"QueryInterface E_NOINTERFACE", with([](auto& f) { f.queryPersistFile = os::kENoInterface; }), shortcut},
        {"QueryInterface S_FALSE", with([](auto& f) { f.queryPersistFile = os::kSFalse; }), shortcut},
        {"GetPath E_FAIL", with([](auto& f) { f.getPath = os::kEFail; }), shortcut},
        {"GetPath S_FALSE", with([](auto& f) { f.getPath = os::kSFalse; }), shortcut},
        {"GetPath S_OK and no path", with([](auto& f) { f.getPath = os::kSOk; }), shortcut},
        {"no file-system target", {}, fake::Shell::ShortcutFile("")},
    };
    const std::string path = "C:\\Start\\Game.lnk";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        shell.faults = c.faults;
        if (!c.file.empty()) files.AddFile(path, c.file);
        char target[os::kMaxPath];
        std::memset(target, 'T', sizeof target);
        os::FindData data;
        std::memset(&data, 0x5A, sizeof data);
        EXPECT_FALSE(locator.ResolveShortcut(path.c_str(), target, data));
        EXPECT_EQ(std::string(target, sizeof target), std::string(sizeof target, 'T'));
        const auto* bytes = reinterpret_cast<const unsigned char*>(&data);
        EXPECT_EQ(std::count(bytes, bytes + sizeof data, 0x5A), static_cast<long>(sizeof data));
        EXPECT_EQ(shell.Made().comInits, 1);
        TearDown();
    }
}

TEST_F(TqmFileTest, ResolveShortcutGivesTheTargetAndItsFindData) {
    const std::string path = "C:\\Start\\" + kSo + "\\Game.lnk";
    AddShortcut(path);
    char target[os::kMaxPath];
    std::memset(target, 'T', sizeof target);
    os::FindData data{};
    ASSERT_TRUE(locator.ResolveShortcut(path.c_str(), target, data));
    EXPECT_EQ(std::string(target), kTarget);
    EXPECT_STREQ(data.fileName, "game.exe");
    EXPECT_EQ(shell.Loads(), std::vector<std::string>{path});
    EXPECT_EQ(shell.Made().links, 1);
    EXPECT_EQ(shell.Made().persistFiles, 1);
}

TEST_F(TqmFileTest, ResolveShortcutBalancesOnlyTheComInitThatSucceeded) {
    AddShortcut("C:\\Game.lnk");
    const os::HResult results[] = {os::kSFalse, static_cast<os::HResult>(0x80010106u) /* RPC_E_CHANGED_MODE */};
    for (os::HResult hr : results) {
        shell.faults.comInitialize = hr;
        char target[os::kMaxPath] = {};
        os::FindData data{};
        EXPECT_TRUE(locator.ResolveShortcut("C:\\Game.lnk", target, data));
        EXPECT_EQ(std::string(target), kTarget);
    }
    EXPECT_EQ(shell.Made().comInits, 1);  // the S_FALSE one, balanced; TearDown finds no stray uninit
}

TEST_F(TqmFileTest, ResolveShortcutDoesNotLoadAPathTooLongForTheWideBuffer) {
    const std::string path = "C:\\" + std::string(255, 'd') + "\\x.lnk";
    AddShortcut(path);
    char target[os::kMaxPath] = "untouched";
    os::FindData data{};
    EXPECT_FALSE(locator.ResolveShortcut(path.c_str(), target, data));
    EXPECT_STREQ(target, "untouched");
    EXPECT_TRUE(shell.Loads().empty());
}

}  // namespace
