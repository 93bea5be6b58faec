// Building, inspecting and extracting the patch package.
#include "Package.h"

#include <algorithm>

#include "Cp932.h"
#include "Errors.h"
#include "PeChecksum.h"
#include "PeWriter.h"
#include "Platform.h"
#include "Sha256.h"
#include "rtl/Exceptions.h"
#include "rtl/Graphics.h"
#include "rtl/SysUtils.h"

namespace package {
namespace {

const char kPayloadPrefix[] = "RESOURCE_FILE";

// Joins with the separator the folder already uses (a Windows path keeps its backslashes).
std::string JoinPath(const std::string& folder, const std::string& relative) {
    if (folder.empty()) return relative;
    const char last = folder.back();
    if (last == '/' || last == '\\') return folder + relative;
    const bool backslashes = folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
    if (!backslashes) return folder + "/" + relative;
    std::string joined = folder + "\\" + relative;
    std::replace(joined.begin() + static_cast<std::ptrdiff_t>(folder.size()), joined.end(), '/', '\\');
    return joined;
}

std::string Bytes(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<std::size_t>(i), ",");
    return digits + (n == 1 ? " byte" : " bytes");
}

std::string Mib(std::uint64_t n) { return std::to_string((n + (1 << 19)) >> 20) + " MiB"; }

// A file that the caller has found to be small enough to hold in memory.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    const auto file = platform::OpenInput(path);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->Size()));
    if (!bytes.empty()) file->ReadAt(0, bytes.data(), bytes.size());
    return bytes;
}

// False, with an error, when the file is missing or larger than `limit`.
bool CheckSmallFile(const std::string& path, std::uint64_t limit, const std::string& what, const std::string& fix,
                    Problems& problems) {
    const platform::FileInfo info = platform::Stat(path);
    if (!info.exists) {
        problems.Error(path + ": no such file; " + fix);
        return false;
    }
    if (info.size > limit) {
        problems.Error(path + ": is " + Bytes(info.size) + " long; " + what + " may be at most " + Bytes(limit));
        return false;
    }
    return true;
}

// Judges a picture as the installer loads it; returns true when it will load.
bool CheckPicture(const std::vector<std::uint8_t>& bytes, const std::string& label, Problems& problems, int& width,
                  int& height) {
    if (bytes.empty()) {
        problems.Warning(label + " is empty; the installer window will show no picture");
        return true;
    }
    try {
        const BitmapLayout layout = ParseBitmapImage(bytes.data(), bytes.size());
        width = layout.width;
        height = layout.height;
    } catch (const EInvalidGraphic&) {
        problems.Error(label + " is not a BMP picture the installer can load (an uncompressed Windows bitmap, "
                               "1 to 32 bits per pixel, beginning with \"BM\"); save it as a 24-bit BMP");
        return false;
    }
    if (width != kWindowWidth || height != kWindowHeight) {
        problems.Warning(label + " is " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels; the installer window shows 600 x 300 from its top-left corner");
    }
    return true;
}

std::string MakeEscape(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

void WriteDepfile(const std::string& depfile, const std::string& output, const std::vector<std::string>& inputs) {
    std::string text = MakeEscape(output) + ":";
    for (const std::string& input : inputs) text += " \\\n  " + MakeEscape(input);
    text += "\n";
    auto file = platform::OutputFile::Create(depfile);
    file->Write(text.data(), text.size());
    file->Commit();
}

std::string Describe(const ResourceEntry& e) { return e.type.Display(true) + " " + e.name.Display(); }

std::string DigestOf(const DataRef& data) {
    Sha256 sha;
    ReadRange(*data.source, data.offset, data.size, [&](const std::uint8_t* bytes, std::size_t n) { sha.Add(bytes, n); });
    return sha.HexDigest();
}

// The one entry of a package resource, with a warning when it is not stored as the packer does.
std::optional<ResourceEntry> FindPackageEntry(const ResourceTree& tree, const ResourceKey& type, const ResourceKey& name,
                                              const std::string& file, Problems& problems) {
    const auto found = tree.FindAll(type, name);
    if (found.empty()) return std::nullopt;
    const std::string what = file + ": " + Describe(*found.front());
    if (found.size() > 1) {
        problems.Warning(what + " is stored under " + std::to_string(found.size()) +
                         " languages; which one the installer gets depends on the user's language");
    } else if (found.front()->language != ResourceKey::Id(0)) {
        problems.Warning(what + " is stored under language " + found.front()->language.Display() +
                         ", not the neutral language");
    }
    return *found.front();
}

}  // namespace

ResourceKey BackgroundType() { return ResourceKey::Name("BMP"); }
ResourceKey BackgroundName() { return ResourceKey::Name("RESOURCE_BACKGROUND"); }
ResourceKey ScriptType() { return ResourceKey::Name("TEXT"); }
ResourceKey ScriptName() { return ResourceKey::Name("RESOURCE_SCRIPT"); }
ResourceKey PayloadType() { return ResourceKey::Name("BIN"); }
ResourceKey PayloadName(int number) { return ResourceKey::Name(kPayloadPrefix + IntToStr(number)); }

std::optional<long long> PayloadNumber(const ResourceKey& name, bool* canonical) {
    if (!name.named) return std::nullopt;
    const std::u16string prefix(std::begin(kPayloadPrefix), std::end(kPayloadPrefix) - 1);
    if (name.name.size() <= prefix.size() || name.name.size() > prefix.size() + 18) return std::nullopt;
    if (!ResourceKey{true, 0, name.name.substr(0, prefix.size())}.Matches(ResourceKey{true, 0, prefix})) return std::nullopt;
    long long number = 0;
    for (std::size_t i = prefix.size(); i < name.name.size(); ++i) {
        const char16_t c = name.name[i];
        if (c < u'0' || c > u'9') return std::nullopt;
        number = number * 10 + (c - u'0');
    }
    if (canonical != nullptr) {
        *canonical = number <= 0x7FFFFFFF && (name.name[prefix.size()] != u'0' || name.name.size() == prefix.size() + 1);
    }
    return number;
}

bool IsPackageResource(const ResourceEntry& e) {
    return (e.type.Matches(BackgroundType()) && e.name.Matches(BackgroundName())) ||
           (e.type.Matches(ScriptType()) && e.name.Matches(ScriptName())) ||
           (e.type.Matches(PayloadType()) && PayloadNumber(e.name).has_value());
}

namespace {

// A payload file as the build found it.
struct PayloadFile {
    int number;
    std::string path;
    std::uint64_t size;
};

// The stub that --stub names, or the default one beside the packer.
std::optional<std::string> FindStub(const BuildOptions& options, Problems& problems) {
    if (options.stub.empty()) {
        const std::string beside = platform::ExecutableDirectory();
        const std::string path = JoinPath(beside, kStubFileName);
        if (!beside.empty() && platform::Stat(path).exists) return path;
        problems.Error(std::string("no stub given, and no ") + kStubFileName + " beside the packer" +
                       (beside.empty() ? "" : " (in " + beside + ")") + "; name the installer stub with --stub FILE");
        return std::nullopt;
    }
    if (platform::Stat(options.stub).exists) return options.stub;
    problems.Error(options.stub + ": no such file; name the installer stub with --stub FILE");
    return std::nullopt;
}

// The script in the package's form, with what the installer reads of it.
std::optional<std::pair<std::string, ScriptModel>> LoadScript(const std::string& path, ScriptEncoding encoding,
                                                              Problems& problems, std::vector<std::string>& log) {
    if (!CheckSmallFile(path, kMaxScriptBytes, "a script", "write the script there or name it with --script FILE", problems)) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    const auto prepared =
        PrepareScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), encoding, path, problems);
    if (!prepared) return std::nullopt;
    ScriptModel model = ReadScriptModel(prepared->text);
    log.push_back("script     " + path + " (" + prepared->readAs + "), " + std::to_string(model.lineCount) + " lines");
    return std::make_pair(prepared->text, std::move(model));
}

std::vector<std::uint8_t> LoadPicture(const std::string& path, Problems& problems, std::vector<std::string>& log) {
    if (!CheckSmallFile(path, kMaxPictureBytes, "a background picture",
                        "put the background picture there or name it with --background FILE", problems)) {
        return {};
    }
    std::vector<std::uint8_t> picture = ReadWholeFile(path);
    int width = 0, height = 0;
    if (CheckPicture(picture, path, problems, width, height)) {
        log.push_back("picture    " + path + ", " + std::to_string(width) + " x " + std::to_string(height) + ", " + Bytes(picture.size()));
    }
    return picture;
}

// The file of every item that writes one: SRC/<item>, or what --payload names.
std::vector<PayloadFile> FindPayloads(const BuildOptions& options, const ScriptModel& model, const std::string& scriptPath,
                                      Problems& problems, std::vector<std::string>& log) {
    const std::vector<std::optional<ItemPath>> paths = CheckScriptModel(model, scriptPath, problems);
    const std::vector<std::string> items = model.outFiles.value_or(std::vector<std::string>{});
    for (const auto& [number, file] : options.payloads) {
        if (number < 0 || static_cast<std::size_t>(number) >= items.size() || items[static_cast<std::size_t>(number)].empty()) {
            problems.Error("--payload " + std::to_string(number) + "=" + file + ": %OutFiles has no file name at item " +
                           std::to_string(number) + " (the items count from 0; empty items take no payload)");
        }
    }
    std::vector<PayloadFile> payloads;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!paths[i]) continue;
        const auto given = options.payloads.find(static_cast<long long>(i));
        const bool named = given != options.payloads.end();
        const std::string path = named ? given->second : JoinPath(options.source, paths[i]->Relative());
        const platform::FileInfo info = platform::Stat(path);
        const std::string label = "payload " + std::to_string(i) + " (" + ShowCp932(items[i]) + "): " + path;
        if (!info.exists) {
            problems.Error(label + " does not exist; put the file there" + (named ? "" : " or name it with --payload " + std::to_string(i) + "=FILE"));
        } else if (info.directory) {
            problems.Error(label + " is a folder; the installer writes a file under this name");
        } else {
            payloads.push_back({static_cast<int>(i), path, info.size});
            total += info.size;
            log.push_back("payload " + std::to_string(i) + "  " + Cp932ToUtf8(items[i]) + "  " + Bytes(info.size) + (named ? "  from " + path : ""));
        }
    }
    if (total > kMaxImageBytes) {
        problems.Error("the payloads add up to " + Mib(total) + "; the 32-bit installer maps its whole image, "
                       "and the packer accepts at most " + Mib(kMaxImageBytes) + ". Split the patch into several installers");
    }
    return payloads;
}

}  // namespace

bool BuildPatch(const BuildOptions& options, Problems& problems, std::vector<std::string>& log) {
    const std::string scriptPath = options.script.empty() ? JoinPath(options.source, "script.txt") : options.script;
    const std::string picturePath = options.background.empty() ? JoinPath(options.source, "background.bmp") : options.background;
    const std::optional<std::string> stubPath = FindStub(options, problems);
    if (!stubPath) return false;
    if (!options.source.empty() && !platform::Stat(options.source).directory) {
        problems.Error(options.source + ": no such folder; give the folder that holds script.txt, background.bmp and the payload files");
        return false;
    }
    const auto script = LoadScript(scriptPath, options.encoding, problems, log);
    std::vector<std::uint8_t> picture = LoadPicture(picturePath, problems, log);
    const std::vector<PayloadFile> payloads = script ? FindPayloads(options, script->second, scriptPath, problems, log)
                                                     : std::vector<PayloadFile>{};
    std::vector<std::string> inputs = {scriptPath, picturePath};
    for (const PayloadFile& p : payloads) inputs.push_back(p.path);
    for (const std::string& input : inputs) {
        if (platform::SameFile(options.output, input)) {
            problems.Error(options.output + " is " + input + ", which the patch is made from; write the patch elsewhere");
            break;
        }
    }
    if (problems.HasErrors()) return false;

    // The stub's own resources stay; a package it already holds goes.
    const auto stubFile = platform::OpenInput(*stubPath);
    PeImage stub;
    ResourceTree tree;
    try {
        stub = PeImage::Read(*stubFile);
        tree = ReadResourceTree(stub, stubFile);
    } catch (const PeFormatError& e) {
        problems.Error(*stubPath + ": " + e.what());
        return false;
    }
    log.insert(log.begin(), "stub       " + *stubPath + " (" + stub.FormatName() + ", " + stub.MachineName() + ")");
    const std::size_t replaced = tree.RemoveIf(IsPackageResource);
    if (replaced != 0) log.push_back("replaced   the package of a built patch (" + std::to_string(replaced) + " resources)");

    const ResourceKey neutral = ResourceKey::Id(0);
    const std::string& scriptText = script->first;
    tree.Add({BackgroundType(), BackgroundName(), neutral, 0, DataRef::Bytes(std::move(picture), picturePath)});
    tree.Add({ScriptType(), ScriptName(), neutral, 0, DataRef::Bytes({scriptText.begin(), scriptText.end()}, scriptPath)});
    for (const PayloadFile& p : payloads) {
        tree.Add({PayloadType(), PayloadName(p.number), neutral, 0, DataRef::Whole(platform::OpenInputLater(p.path, p.size))});
    }

    RewritePlan plan;
    try {
        plan = PlanRewrite(stub, tree);
    } catch (const PeFormatError& e) {
        problems.Error(*stubPath + ": " + e.what());
        return false;
    }
    if (plan.sizeOfImage > kMaxImageBytes) {
        problems.Error("the patch would take " + Mib(plan.sizeOfImage) + " of address space when loaded; the 32-bit installer "
                       "maps its whole image, and the packer accepts at most " + Mib(kMaxImageBytes) +
                       ". Split the patch into several installers");
        return false;
    }
    if (plan.sizeOfImage > kWarnImageBytes) {
        problems.Warning("the patch takes " + Mib(plan.sizeOfImage) + " of address space when loaded; a 32-bit installer may "
                         "fail to start on a busy system well before the packer's limit of " + Mib(kMaxImageBytes));
    }
    if (plan.removedSignature) {
        problems.Warning(*stubPath + ": its signature was removed, since the patch changes the file; sign the finished patch");
    }

    auto out = platform::OutputFile::Create(options.output, true);
    WriteRewrite(plan, *stubFile, *out);
    out->Commit();
    log.push_back("wrote      " + options.output + ", " + Bytes(plan.outputSize) +
                  (plan.replacedLastSection ? " (resource section replaced)" : " (resource section appended)"));
    if (!options.depfile.empty()) {
        inputs.insert(inputs.begin(), *stubPath);
        WriteDepfile(options.depfile, options.output, inputs);
    }
    return true;
}

PackageView InspectPatch(const std::string& path, bool digests) {
    PackageView view;
    view.file = path;
    Problems& problems = view.problems;
    const std::string at = path + ": ";
    try {
        view.source = platform::OpenInput(path);
        view.image = PeImage::Read(*view.source);
        view.tree = ReadResourceTree(view.image, view.source);
    } catch (const PackError& e) {
        problems.Error(at + e.what());
        return view;
    }
    view.readable = true;
    view.signature = view.image.Directory(kDirSecurity).size != 0;
    view.computedChecksum = ComputePeChecksum(*view.source, view.image.ChecksumOffset());
    if (view.image.checkSum != 0 && view.image.checkSum != view.computedChecksum) {
        problems.Warning(at + "the PE checksum says " + Hex(view.image.checkSum) + " but the file sums to " +
                         Hex(view.computedChecksum) + "; the file was changed after it was written");
    }

    view.script = FindPackageEntry(view.tree, ScriptType(), ScriptName(), path, problems);
    view.picture = FindPackageEntry(view.tree, BackgroundType(), BackgroundName(), path, problems);
    std::vector<std::optional<ItemPath>> paths;
    if (!view.script) {
        problems.Error(at + "has no RESOURCE_SCRIPT (type TEXT); the installer stops at start-up. Build the patch with velkinpack build");
    } else if (view.script->data.size > kMaxScriptBytes) {
        problems.Error(at + "its script is " + Bytes(view.script->data.size) + " long, which is no script");
    } else {
        const std::vector<std::uint8_t> bytes = view.script->data.ReadAll();
        view.scriptText.assign(bytes.begin(), bytes.end());
        const std::string_view text = view.scriptText;
        if (text.find('\0') != std::string_view::npos) {
            problems.Warning(at + "the script holds a NUL byte; the installer reads nothing after it");
        }
        if (!IsValidCp932(text.substr(0, text.find('\0')))) {
            problems.Warning(at + "the script is not valid code page 932 text; the installer will show some of it garbled");
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool lone = (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
            if (lone) {
                problems.Warning(at + "the script's line ends are not all CR LF");
                break;
            }
        }
        view.model = ReadScriptModel(view.scriptText);
        paths = CheckScriptModel(*view.model, path + " (script)", problems);
    }

    if (!view.picture) {
        problems.Error(at + "has no RESOURCE_BACKGROUND (type BMP); the installer stops at start-up");
    } else if (view.picture->data.size > kMaxPictureBytes) {
        problems.Error(at + "its picture is " + Bytes(view.picture->data.size) + ", more than a picture may be");
    } else {
        view.pictureValid = CheckPicture(view.picture->data.ReadAll(), path + " (picture)", problems, view.pictureWidth, view.pictureHeight);
    }

    // Every item's payload by its number, then the payloads that no item names.
    std::map<long long, PayloadView> byNumber;
    const auto& items = view.model && view.model->outFiles ? *view.model->outFiles : std::vector<std::string>{};
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].empty()) continue;
        PayloadView& p = byNumber[static_cast<long long>(i)];
        p.number = static_cast<long long>(i);
        p.resourceName = kPayloadPrefix + IntToStr(static_cast<long long>(i));
        p.item = items[i];
        p.path = paths[i];
    }
    for (const ResourceEntry* e : view.tree.Sorted()) {
        bool canonical = false;
        if (!e->type.Matches(PayloadType())) continue;
        const std::optional<long long> number = PayloadNumber(e->name, &canonical);
        if (!number) continue;
        const std::string name = e->name.Display();
        if (!canonical) {
            problems.Warning(at + "BIN " + name + " is never read: the installer spells payload names without leading zeros");
            continue;
        }
        auto it = byNumber.find(*number);
        if (it == byNumber.end()) {
            problems.Warning(at + "BIN " + name + " belongs to no %OutFiles item; the installer never writes it");
            it = byNumber.emplace(*number, PayloadView{*number, name, {}, {}, {}, {}}).first;
        }
        if (it->second.entry) {
            if (e->language != ResourceKey::Id(0)) continue;
        }
        it->second.entry = *e;
        it->second.resourceName = name;
    }
    for (auto& [number, p] : byNumber) {
        if (!p.entry) {
            problems.Error(at + "payload " + std::to_string(number) + " (" + ShowCp932(*p.item) +
                           ") is missing; the installer will stop with \"修正に失敗しました\" at that file");
        } else if (digests) {
            p.sha256 = DigestOf(p.entry->data);
        }
        view.payloads.push_back(std::move(p));
    }
    return view;
}

bool ExtractPatch(const std::string& path, const std::string& directory, bool force, Problems& problems,
                  std::vector<std::string>& log) {
    PackageView view = InspectPatch(path, false);
    for (const Problem& p : view.problems.All()) {
        if (p.severity == Problem::kError) problems.Error(p.message); else problems.Warning(p.message);
    }
    if (!view.readable || !view.script || !view.picture || !view.model) return false;

    struct Planned {
        std::string relative;
        DataRef data;
        std::string what;
    };
    std::vector<Planned> files = {{"script.txt", view.script->data, "script"}, {"background.bmp", view.picture->data, "picture"}};
    std::map<std::string, std::size_t> taken = {{"script.txt", 0}, {"background.bmp", 1}};
    bool refused = false;
    for (const PayloadView& p : view.payloads) {
        if (!p.item) {
            problems.Warning(path + ": " + p.resourceName + " was not extracted: no %OutFiles item names it, so build would not pack it");
            continue;
        }
        if (!p.path) {
            refused = true;  // CheckScriptModel has said why
            continue;
        }
        if (!p.entry) continue;
        std::string key = p.path->Relative();
        for (char& c : key) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        const auto [it, fresh] = taken.emplace(key, files.size());
        if (!fresh) {
            const Planned& other = files[it->second];
            if (other.data.size == p.entry->data.size && DigestOf(other.data) == DigestOf(p.entry->data)) continue;
            problems.Error(path + ": payload " + std::to_string(p.number) + " (" + ShowCp932(*p.item) + ") would be written to " +
                           p.path->Relative() + ", which the " + other.what + " already takes with other bytes; build could not make this package again");
            refused = true;
            continue;
        }
        files.push_back({p.path->Relative(), p.entry->data, "payload " + std::to_string(p.number)});
    }
    if (refused) {
        problems.Error(path + ": nothing was extracted");
        return false;
    }
    if (!force && !platform::IsEmptyDirectory(directory)) {
        problems.Error(directory + ": the folder is not empty; extract into a new folder, or give --force to write over it");
        return false;
    }

    for (const Planned& f : files) {
        const std::string target = JoinPath(directory, f.relative);
        const std::size_t slash = target.rfind('/');
        platform::CreateDirectories(slash == std::string::npos ? directory : target.substr(0, slash));
        auto out = platform::OutputFile::Create(target);
        CopyRange(*f.data.source, f.data.offset, f.data.size, *out);
        out->Commit();
        log.push_back("wrote " + target + ", " + Bytes(f.data.size));
    }
    if (ReadsAsUtf8(view.scriptText)) {
        problems.Warning(JoinPath(directory, "script.txt") + " is Shift-JIS text that also reads as UTF-8; "
                         "build it with --script-encoding cp932");
    }
    return true;
}

}  // namespace package
