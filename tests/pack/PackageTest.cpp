// Building, inspecting and extracting patches with a mingw-built stub, on real files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "MiniPe.h"
#include "Package.h"
#include "PeWriter.h"
#include "Errors.h"
#include "Platform.h"

namespace fs = std::filesystem;

namespace {

std::string Messages(const Problems& problems) {
    std::string all;
    for (const Problem& p : problems.All()) all += (p.severity == Problem::kError ? "error: " : "warning: ") + p.message + "\n";
    return all;
}

std::string FileText(const fs::path& path) {
    const auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

const std::string kScript =
    "*Caption\r\n\tTest patch\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n\ta.dat\r\n\r\n\tdata\\b.dat\r\n\tempty.dat\r\n%%\r\n";

class PackageTest : public ::testing::Test {
public:
    void SetUp() override {
        if (!fs::exists(StubPath("probe64.exe"))) GTEST_SKIP() << "no mingw-built test stubs";
        options.source = src;
        options.output = out;
        options.stub = StubPath("probe64.exe").string();
        WriteFileBytes(src + "/script.txt", kScript);
        WriteFileBytes(src + "/background.bmp", MakeBmp(600, 300));
        WriteFileBytes(src + "/a.dat", std::string(3000, 'a'));
        WriteFileBytes(src + "/data/b.dat", "bee");
        WriteFileBytes(src + "/empty.dat", "");
    }

    bool Build() {
        problems = Problems();
        log.clear();
        return package::BuildPatch(options, problems, log);
    }

    // A patch whose package is made of the given entries, bypassing the build's checks.
    void WritePatch(const std::string& path, const std::vector<ResourceEntry>& entries) {
        auto stub = platform::OpenInput(options.stub);
        const PeImage pe = PeImage::Read(*stub);
        ResourceTree tree = ReadResourceTree(pe, stub);
        for (const ResourceEntry& e : entries) tree.Add(e);
        auto file = platform::OutputFile::Create(path);
        WriteRewrite(PlanRewrite(pe, tree), *stub, *file);
        file->Commit();
    }

    TempDir temp;
    std::string src = temp / "src", out = temp / "out.exe";
    package::BuildOptions options;
    Problems problems;
    std::vector<std::string> log;
};

TEST_F(PackageTest, BuildsAPackageThatInspectReadsBack) {
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_TRUE(problems.Empty()) << Messages(problems);
    const package::PackageView view = package::InspectPatch(out, true);
    EXPECT_TRUE(view.problems.Empty()) << Messages(view.problems);
    EXPECT_EQ(Read(view.script->data), kScript);
    EXPECT_EQ(Read(view.picture->data), MakeBmp(600, 300));
    EXPECT_EQ(view.pictureWidth, 600);
    // Payload numbers follow the item positions; the empty item 1 takes none.
    ASSERT_EQ(view.payloads.size(), 3u);
    const std::pair<long long, std::string> expected[] = {{0, "a.dat"}, {2, "data/b.dat"}, {3, "empty.dat"}};
    for (std::size_t i = 0; i < 3; ++i) {
        const package::PayloadView& p = view.payloads[i];
        EXPECT_EQ(p.number, expected[i].first);
        EXPECT_EQ(p.resourceName, "RESOURCE_FILE" + std::to_string(p.number));
        EXPECT_EQ(Read(p.entry->data), FileText(src + "/" + expected[i].second));
        EXPECT_EQ(p.entry->language, ResourceKey::Id(0));
        EXPECT_EQ(p.sha256.size(), 64u);
    }
    EXPECT_EQ(view.payloads[2].sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST_F(PackageTest, TheEleventhItemTakesResourceFile10) {
    std::string script = "*Caption\r\n\tx\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n";
    for (int i = 0; i <= 10; ++i) {
        script += "\tf" + std::to_string(i) + ".dat\r\n";
        WriteFileBytes(src + "/f" + std::to_string(i) + ".dat", "file " + std::to_string(i));
    }
    WriteFileBytes(src + "/script.txt", script + "%%\r\n");
    ASSERT_TRUE(Build()) << Messages(problems);
    const package::PackageView view = package::InspectPatch(out, false);
    const auto found = view.tree.FindAll(package::PayloadType(), ResourceKey::Name("RESOURCE_FILE10"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(Read(found[0]->data), "file 10");
}

TEST_F(PackageTest, RefusesWithAMessageAndLeavesTheOutputAlone) {
    struct Case {
        const char* what;
        std::function<void(PackageTest&)> setup;
        std::vector<std::string> message;
    };
    const Case cases[] = {
        {"no script", [](PackageTest& t) { fs::remove(t.src + "/script.txt"); }, {"script.txt: no such file", "--script FILE"}},
        {"no picture", [](PackageTest& t) { fs::remove(t.src + "/background.bmp"); }, {"background.bmp: no such file", "--background FILE"}},
        {"a picture too large to be one", [](PackageTest& t) {
             ASSERT_EQ(::truncate((t.src + "/background.bmp").c_str(), static_cast<off_t>(package::kMaxPictureBytes + 1)), 0);
         }, {"background.bmp: is 67,108,865 bytes long; a background picture may be at most 67,108,864 bytes"}},
        {"a script too large to be one", [](PackageTest& t) { WriteFileBytes(t.src + "/script.txt", std::string(kMaxScriptBytes + 1, '\t')); },
         {"script.txt: is 1,048,577 bytes long; a script may be at most 1,048,576 bytes"}},
        {"a picture that is no BMP", [](PackageTest& t) { WriteFileBytes(t.src + "/background.bmp", "GIF89a..."); }, {"background.bmp is not a BMP picture"}},
        {"a missing payload", [](PackageTest& t) { fs::remove(t.src + "/data/b.dat"); },
         {"payload 2 (\"data\\b.dat\"): ", "/data/b.dat does not exist", "--payload 2=FILE"}},
        {"a folder where a payload belongs", [](PackageTest& t) { fs::remove(t.src + "/a.dat"); fs::create_directory(t.src + "/a.dat"); }, {"is a folder"}},
        {"--payload for an empty item", [](PackageTest& t) { t.options.payloads[1] = t.src + "/a.dat"; }, {"--payload 1=", "no file name at item 1"}},
        {"--payload past the list", [](PackageTest& t) { t.options.payloads[9] = t.src + "/a.dat"; }, {"no file name at item 9"}},
        {"an absolute item", [](PackageTest& t) { WriteFileBytes(t.src + "/script.txt", "*PatchType\r\n\t1\r\n%OutFiles\r\n\t\\Windows\\x.dll\r\n%%\r\n"); }, {"is an absolute path"}},
        {"patch type 1 without %OutFiles", [](PackageTest& t) { WriteFileBytes(t.src + "/script.txt", "*Caption\r\n\tx\r\n*PatchType\r\n\t1\r\n"); }, {"has no %OutFiles list"}},
        {"no such stub", [](PackageTest& t) { t.options.stub = t.temp / "none.exe"; }, {"none.exe: no such file", "--stub FILE"}},
        {"a stub that is no program", [](PackageTest& t) { t.options.stub = t.src + "/a.dat"; }, {"a.dat: not a Windows executable"}},
        {"no such SRC folder", [](PackageTest& t) { t.options.source = t.temp / "nowhere"; }, {"nowhere: no such folder"}},
        {"an output that is a payload", [](PackageTest& t) {
             t.out = t.options.output = t.src + "/a.dat";
             WriteFileBytes(t.out, "the old output");
         },
         {"/a.dat is " , "/a.dat, which the patch is made from; write the patch elsewhere"}},
        {"payloads beyond the limit", [](PackageTest& t) {
             WriteFileBytes(t.src + "/a.dat", "");
             ASSERT_EQ(::truncate((t.src + "/a.dat").c_str(), static_cast<off_t>(package::kMaxImageBytes + 1)), 0);
         }, {"accepts at most 1024 MiB", "Split the patch"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(src);
        options = package::BuildOptions();
        SetUp();
        out = temp / "out.exe";
        WriteFileBytes(out, "the old output");
        c.setup(*this);
        EXPECT_FALSE(Build()) << c.what;
        const std::string all = Messages(problems);
        for (const std::string& part : c.message) EXPECT_NE(all.find(part), std::string::npos) << c.what << ": \"" << part << "\" not in\n" << all;
        EXPECT_EQ(FileText(out), "the old output") << c.what;
        for (const auto& entry : fs::directory_iterator(temp.Path())) {
            EXPECT_EQ(entry.path().string().find(".velkinpack-"), std::string::npos) << c.what << ": left " << entry.path();
        }
    }
}

TEST_F(PackageTest, BuildsWithAWarningForAPictureOfAnotherSize) {
    WriteFileBytes(src + "/background.bmp", MakeBmp(640, 480));
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_NE(Messages(problems).find("warning: " + src + "/background.bmp is 640 x 480 pixels"), std::string::npos) << Messages(problems);
}

TEST_F(PackageTest, TakesExplicitFilesForScriptPictureAndPayloads) {
    WriteFileBytes(temp / "elsewhere/my script.txt", kScript);
    WriteFileBytes(temp / "elsewhere/pic.bmp", MakeBmp(600, 300));
    WriteFileBytes(temp / "elsewhere/other b", "other bee");
    fs::remove(src + "/script.txt");
    fs::remove(src + "/data/b.dat");
    options.script = temp / "elsewhere/my script.txt";
    options.background = temp / "elsewhere/pic.bmp";
    options.payloads[2] = temp / "elsewhere/other b";
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_EQ(Read(package::InspectPatch(out, false).payloads[1].entry->data), "other bee");
}

TEST_F(PackageTest, RebuildingABuiltPatchReplacesItsWholePackage) {
    ASSERT_TRUE(Build()) << Messages(problems);
    const std::string first = temp / "first.exe";
    fs::copy_file(out, first);
    WriteFileBytes(src + "/script.txt", "*Caption\r\n\tv2\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n\ta.dat\r\n%%\r\n");
    WriteFileBytes(src + "/a.dat", "version two");
    options.stub = first;
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_NE(std::find(log.begin(), log.end(), "replaced   the package of a built patch (5 resources)"), log.end());
    const package::PackageView view = package::InspectPatch(out, false);
    EXPECT_TRUE(view.problems.Empty()) << Messages(view.problems);  // no stale RESOURCE_FILE2 or 3
    ASSERT_EQ(view.payloads.size(), 1u);
    EXPECT_EQ(Read(view.payloads[0].entry->data), "version two");
    EXPECT_FALSE(view.tree.FindAll(ResourceKey::Id(10), ResourceKey::Name("KEEPME")).empty());
}

TEST_F(PackageTest, BuildingAgainOverTheSameOutputGivesTheSameFile) {
    ASSERT_TRUE(Build());
    const std::string first = FileText(out);
    ASSERT_TRUE(Build());
    EXPECT_EQ(FileText(out), first);
    options.stub = out;  // in place: the output is its own stub
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_EQ(FileText(out), first);
}

TEST_F(PackageTest, ExtractGivesAFolderThatBuildsTheSamePatch) {
    ASSERT_TRUE(Build());
    Problems extractProblems;
    std::vector<std::string> extractLog;
    ASSERT_TRUE(package::ExtractPatch(out, temp / "back", false, extractProblems, extractLog)) << Messages(extractProblems);
    EXPECT_TRUE(extractProblems.Empty()) << Messages(extractProblems);
    EXPECT_EQ(FileText(temp / "back/data/b.dat"), "bee");
    EXPECT_TRUE(fs::exists(temp / "back/empty.dat"));

    const std::string original = FileText(out);
    options.source = temp / "back";
    options.output = temp / "again.exe";
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_EQ(FileText(temp / "again.exe"), original);
    options.stub = out;
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_EQ(FileText(temp / "again.exe"), original);

    Problems again;
    EXPECT_FALSE(package::ExtractPatch(out, temp / "back", false, again, extractLog));
    EXPECT_NE(Messages(again).find("the folder is not empty"), std::string::npos);
    Problems forced;
    EXPECT_TRUE(package::ExtractPatch(out, temp / "back", true, forced, extractLog)) << Messages(forced);
}

TEST_F(PackageTest, ExtractWritesNothingForAPatchWhoseNamesLeaveTheFolder) {
    const std::string script = "*PatchType\r\n\t1\r\n%OutFiles\r\n\tok.dat\r\n\t..\\evil.dat\r\n%%\r\n";
    const ResourceKey neutral = ResourceKey::Id(0);
    WritePatch(out, {{package::ScriptType(), package::ScriptName(), neutral, 0, DataRef::Bytes({script.begin(), script.end()}, "s")},
                     {package::BackgroundType(), package::BackgroundName(), neutral, 0, DataRef::Bytes({}, "p")},
                     Entry(package::PayloadType(), package::PayloadName(0), 0, "ok"),
                     Entry(package::PayloadType(), package::PayloadName(1), 0, "evil")});
    Problems extractProblems;
    std::vector<std::string> extractLog;
    EXPECT_FALSE(package::ExtractPatch(out, temp / "x/back", false, extractProblems, extractLog));
    EXPECT_NE(Messages(extractProblems).find("climbs out of the target folder"), std::string::npos) << Messages(extractProblems);
    EXPECT_FALSE(fs::exists(temp / "x"));
}

TEST_F(PackageTest, ExtractRefusesAPatchThatBuildCouldNotMakeAgain) {
    // An item named like the script, with other bytes: one folder cannot hold both.
    const std::string script = "*PatchType\r\n\t1\r\n%OutFiles\r\n\tSCRIPT.TXT\r\n%%\r\n";
    const ResourceKey neutral = ResourceKey::Id(0);
    WritePatch(out, {{package::ScriptType(), package::ScriptName(), neutral, 0, DataRef::Bytes({script.begin(), script.end()}, "s")},
                     {package::BackgroundType(), package::BackgroundName(), neutral, 0, DataRef::Bytes({}, "p")},
                     Entry(package::PayloadType(), package::PayloadName(0), 0, "a game file")});
    Problems extractProblems;
    std::vector<std::string> extractLog;
    EXPECT_FALSE(package::ExtractPatch(out, temp / "back", false, extractProblems, extractLog));
    EXPECT_NE(Messages(extractProblems).find("payload 0 (\"SCRIPT.TXT\") would be written to SCRIPT.TXT, which the script already takes"),
              std::string::npos) << Messages(extractProblems);
    EXPECT_FALSE(fs::exists(temp / "back"));
}

TEST_F(PackageTest, ExtractTellsWhenTheScriptNeedsItsEncodingNamedToBuildAgain) {
    // Half-width katakana "ﾃｽﾄ" that happen to form valid UTF-8 ("ý" and more).
    const std::string script = "*Caption\r\n\t\xC3\xBD\r\n*PatchType\r\n\t0\r\n";
    const ResourceKey neutral = ResourceKey::Id(0);
    const std::string bmp = MakeBmp(600, 300);
    WritePatch(out, {{package::ScriptType(), package::ScriptName(), neutral, 0, DataRef::Bytes({script.begin(), script.end()}, "s")},
                     {package::BackgroundType(), package::BackgroundName(), neutral, 0, DataRef::Bytes({bmp.begin(), bmp.end()}, "p")}});
    Problems extractProblems;
    std::vector<std::string> extractLog;
    ASSERT_TRUE(package::ExtractPatch(out, temp / "back", false, extractProblems, extractLog)) << Messages(extractProblems);
    EXPECT_NE(Messages(extractProblems).find("build it with --script-encoding cp932"), std::string::npos) << Messages(extractProblems);
    options.source = temp / "back";
    options.output = temp / "again.exe";
    options.encoding = ScriptEncoding::kCp932;
    ASSERT_TRUE(Build()) << Messages(problems);
    EXPECT_EQ(FileText(temp / "again.exe"), FileText(out));
}

TEST_F(PackageTest, InspectTellsWhatAPatchLacksOrCarriesInVain) {
    const package::PackageView stub = package::InspectPatch(options.stub, false);
    const std::string stubMessages = Messages(stub.problems);
    EXPECT_NE(stubMessages.find("error: " + options.stub + ": has no RESOURCE_SCRIPT"), std::string::npos) << stubMessages;
    EXPECT_NE(stubMessages.find("has no RESOURCE_BACKGROUND"), std::string::npos) << stubMessages;

    const std::string script = "*Caption\r\n\tx\r\n*PatchType\r\n\t1\r\n%OutFiles\r\n\ta.dat\r\n\tb.dat\r\n%%\r\n";
    const std::string bmp = MakeBmp(600, 300);
    const ResourceKey neutral = ResourceKey::Id(0);
    WritePatch(out, {{package::ScriptType(), package::ScriptName(), neutral, 0, DataRef::Bytes({script.begin(), script.end()}, "s")},
                     {package::BackgroundType(), package::BackgroundName(), ResourceKey::Id(1041), 0, DataRef::Bytes({bmp.begin(), bmp.end()}, "p")},
                     Entry(package::PayloadType(), package::PayloadName(0), 0, "a"),
                     Entry(package::PayloadType(), package::PayloadName(5), 0, "stray"),
                     Entry(package::PayloadType(), ResourceKey::Name("RESOURCE_FILE01"), 0, "zero-padded")});
    const std::string all = Messages(package::InspectPatch(out, false).problems);
    EXPECT_NE(all.find("warning: " + out + ": BMP RESOURCE_BACKGROUND is stored under language #1041"), std::string::npos) << all;
    EXPECT_NE(all.find("error: " + out + ": payload 1 (\"b.dat\") is missing"), std::string::npos) << all;
    EXPECT_NE(all.find("RESOURCE_FILE5 belongs to no %OutFiles item"), std::string::npos) << all;
    EXPECT_NE(all.find("RESOURCE_FILE01 is never read"), std::string::npos) << all;
}

TEST_F(PackageTest, WritesADepfileOfEverythingTheOutputWasBuiltFrom) {
    options.depfile = temp / "out.d";
    ASSERT_TRUE(Build());
    const std::string depfile = FileText(options.depfile);
    EXPECT_EQ(depfile.rfind(out + ":", 0), 0u) << depfile;
    for (const std::string& input : {options.stub, src + "/script.txt", src + "/background.bmp", src + "/a.dat", src + "/data/b.dat", src + "/empty.dat"}) {
        EXPECT_NE(depfile.find(input), std::string::npos) << input << " in\n" << depfile;
    }
}

}  // namespace

namespace {

// Past the size that the kernel copies on a second thread; from the same file system, and from
// another one (where the kernel refuses and the copy goes through a buffer).
TEST_F(PackageTest, PacksALargePayloadThroughTheKernelCopy) {
    std::string big(5 * 1024 * 1024 + 3, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 2654435761u >> 13);
    std::vector<std::string> places = {src + "/a.dat"};
    if (fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0) places.push_back("/dev/shm/velkinpack-test-" + std::to_string(::getpid()));
    for (const std::string& place : places) {
        SCOPED_TRACE(place);
        WriteFileBytes(place, big);
        options.payloads[0] = place;
        ASSERT_TRUE(Build()) << Messages(problems);
        const package::PackageView view = package::InspectPatch(out, false);
        EXPECT_TRUE(view.problems.Empty()) << Messages(view.problems);  // the checksum among them
        EXPECT_EQ(Read(view.payloads[0].entry->data), big);
        EXPECT_EQ(view.payloads[0].entry->data.offset % kLargeLeafAlignment, 0u) << "where the kernel copies it fastest";
        EXPECT_EQ(Read(view.payloads[1].entry->data), "bee");
    }
    if (places.size() > 1) fs::remove(places[1]);
}

TEST(PlatformFileTest, AFileThatChangesWhilePackedIsAnErrorNotACorruptPatch) {
    TempDir temp;
    const std::string path = temp / "payload.bin";
    WriteFileBytes(path, std::string(8 << 20, 'p'));

    // Sized when the build looked at it, different when its bytes are read.
    const auto later = platform::OpenInputLater(path, 9 << 20);
    std::uint8_t byte = 0;
    EXPECT_THROW(later->ReadAt(0, &byte, 1), PackError);

    // Shortened in the middle of the copy.
    const auto source = platform::OpenInput(path);
    ASSERT_EQ(::truncate(path.c_str(), 1 << 20), 0);
    {
        auto sink = platform::OutputFile::Create(temp / "out.exe");
        try {
            sink->Copy(*source, 0, source->Size(), nullptr);
            ADD_FAILURE() << "copied a file that shrank";
        } catch (const PackError& e) {
            EXPECT_NE(std::string(e.what()).find("became shorter"), std::string::npos) << e.what();
        }
    }
    EXPECT_FALSE(fs::exists(temp / "out.exe"));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1) << "a temporary file was left";
}

}  // namespace
