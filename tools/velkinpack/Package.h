// The patch package inside an installer: building it, looking into it, taking it out again.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PeImage.h"
#include "Problems.h"
#include "ResourceTree.h"
#include "Script.h"

namespace package {

// Names and types as the installer looks them up.
ResourceKey BackgroundType();  // "BMP"
ResourceKey BackgroundName();  // "RESOURCE_BACKGROUND"
ResourceKey ScriptType();      // "TEXT"
ResourceKey ScriptName();      // "RESOURCE_SCRIPT"
ResourceKey PayloadType();     // "BIN"
ResourceKey PayloadName(int number);
// The number of a "RESOURCE_FILE<digits>" name; `canonical` tells whether the installer's
// "%d" would spell it that way (no leading zeros, within 32 bits).
std::optional<long long> PayloadNumber(const ResourceKey& name, bool* canonical = nullptr);
bool IsPackageResource(const ResourceEntry& entry);

// The installer is a 32-bit program that maps its whole image: the packer refuses an image
// beyond this size and warns well before it.
constexpr std::uint64_t kMaxImageBytes = 1024ull << 20;
constexpr std::uint64_t kWarnImageBytes = 256ull << 20;
// A background picture is held in memory by the installer.
constexpr std::uint64_t kMaxPictureBytes = 64ull << 20;
constexpr int kWindowWidth = 600, kWindowHeight = 300;

// The file name of the default stub, looked for beside the packer.
constexpr const char* kStubFileName = "velkinPatch-stub.exe";

struct BuildOptions {
    std::string source;      // the SRC folder
    std::string output;
    std::string stub;        // empty: kStubFileName beside the packer
    std::string script;      // empty: SRC/script.txt
    std::string background;  // empty: SRC/background.bmp
    std::map<long long, std::string> payloads;  // item number -> file, instead of SRC/<item>
    ScriptEncoding encoding = ScriptEncoding::kAuto;
    std::string depfile;     // a make rule listing what the output was built from
};

// Builds the patch; writes the output only when no error was found. `log` receives the
// summary lines for the author.
bool BuildPatch(const BuildOptions& options, Problems& problems, std::vector<std::string>& log);

struct PayloadView {
    long long number = 0;
    std::string resourceName;              // as stored
    std::optional<std::string> item;       // the %OutFiles item (code page 932), if any
    std::optional<ItemPath> path;          // where the installer writes it, if it may
    std::optional<ResourceEntry> entry;    // nothing: missing from the package
    std::string sha256;
};

struct PackageView {
    std::string file;
    bool readable = false;  // the PE file and its resource tree could be read
    std::shared_ptr<const ByteSource> source;
    PeImage image;
    ResourceTree tree;
    bool signature = false;
    std::uint32_t computedChecksum = 0;
    std::optional<ResourceEntry> script, picture;
    std::string scriptText;
    std::optional<ScriptModel> model;
    int pictureWidth = 0, pictureHeight = 0;
    bool pictureValid = false;
    std::vector<PayloadView> payloads;  // by number: the items' payloads, then any others
    Problems problems;
};

// Reads the package of a built patch and judges it as the installer would use it.
PackageView InspectPatch(const std::string& path, bool digests);

// Writes the package back as a folder that BuildPatch takes again. Refuses a folder that is
// not empty unless `force`. Returns false when nothing could be extracted.
bool ExtractPatch(const std::string& path, const std::string& directory, bool force, Problems& problems,
                  std::vector<std::string>& log);

}  // namespace package
