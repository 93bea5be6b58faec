// The velkinpack command line: build, inspect and extract.
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Cp932.h"
#include "Errors.h"
#include "Json.h"
#include "Package.h"
#include "Platform.h"
#include "rtl/SysUtils.h"

namespace {

constexpr int kOk = 0, kProblems = 1, kUsage = 2;

const char kUsageText[] =
    "usage:\n"
    "  velkinpack build SRC -o OUT.exe [--stub STUB.exe] [--script FILE] [--background FILE]\n"
    "                   [--payload N=FILE]... [--script-encoding auto|cp932|utf-8] [--depfile FILE] [--quiet]\n"
    "      Makes a patch: SRC holds script.txt, background.bmp and the files that %OutFiles names.\n"
    "      The default stub is " "velkinPatch-stub.exe" " beside velkinpack.\n"
    "  velkinpack inspect PATCH.exe [--json]\n"
    "      Shows the package of a patch and every problem found; exit status 1 when there is one.\n"
    "  velkinpack extract PATCH.exe DIR [--force]\n"
    "      Writes the package back as a folder that build takes again.\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Options of one command: "--name value", "--name=value" and flags; the rest are operands.
struct Arguments {
    std::vector<std::string> operands;
    std::multimap<std::string, std::string> values;
    std::map<std::string, bool> flags;

    Arguments(const std::vector<std::string>& args, std::size_t from, const std::vector<std::string>& valueOptions,
              const std::vector<std::string>& flagOptions) {
        for (std::size_t i = from; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a.size() < 2 || a[0] != '-' || a == "--") {
                operands.push_back(a);
                continue;
            }
            std::string name = a, value;
            const std::size_t eq = a.find('=');
            const bool inlineValue = eq != std::string::npos;
            if (inlineValue) name = a.substr(0, eq), value = a.substr(eq + 1);
            if (std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end()) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
                    value = args[++i];
                }
                values.emplace(name, value);
            } else if (!inlineValue && std::find(flagOptions.begin(), flagOptions.end(), name) != flagOptions.end()) {
                flags[name] = true;
            } else {
                throw UsageError("unknown option " + a);
            }
        }
    }
    std::string Value(const std::string& name) const {
        const auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
    bool Flag(const std::string& name) const { return flags.count(name) != 0; }
};

void Report(const Problems& problems) {
    for (const Problem& p : problems.All()) {
        platform::WriteErr(std::string("velkinpack: ") + (p.severity == Problem::kError ? "error: " : "warning: ") + p.message + "\n");
    }
}

void PrintLog(const std::vector<std::string>& log) {
    for (const std::string& line : log) platform::WriteOut(line + "\n");
}

int Build(const std::vector<std::string>& args) {
    const Arguments a(args, 1, {"-o", "--output", "--stub", "--script", "--background", "--payload", "--script-encoding", "--depfile"},
                      {"-q", "--quiet"});
    package::BuildOptions options;
    if (a.operands.size() != 1) throw UsageError("build takes one SRC folder");
    options.source = a.operands[0];
    options.output = a.Value("-o").empty() ? a.Value("--output") : a.Value("-o");
    if (options.output.empty()) throw UsageError("build needs -o OUT.exe");
    options.stub = a.Value("--stub");
    options.script = a.Value("--script");
    options.background = a.Value("--background");
    options.depfile = a.Value("--depfile");
    const std::string encoding = a.Value("--script-encoding");
    if (encoding == "cp932" || encoding == "shift-jis" || encoding == "sjis") {
        options.encoding = ScriptEncoding::kCp932;
    } else if (encoding == "utf-8" || encoding == "utf8") {
        options.encoding = ScriptEncoding::kUtf8;
    } else if (!encoding.empty() && encoding != "auto") {
        throw UsageError("--script-encoding takes auto, cp932 or utf-8");
    }
    auto [from, to] = a.values.equal_range("--payload");
    for (auto it = from; it != to; ++it) {
        const std::string& given = it->second;
        const std::size_t eq = given.find('=');
        const int number = eq == std::string::npos ? -1 : StrToIntDef(given.substr(0, eq), -1);
        if (number < 0 || given.substr(0, eq).find_first_not_of("0123456789") != std::string::npos || eq + 1 >= given.size()) {
            throw UsageError("--payload takes N=FILE, with N the %OutFiles item number counted from 0");
        }
        if (!options.payloads.emplace(number, given.substr(eq + 1)).second) throw UsageError("--payload " + std::to_string(number) + " is given twice");
    }

    Problems problems;
    std::vector<std::string> log;
    bool built = false;
    try {
        built = package::BuildPatch(options, problems, log);
    } catch (const std::exception& e) {
        problems.Error(e.what());
    }
    if (!a.Flag("-q") && !a.Flag("--quiet")) PrintLog(log);
    Report(problems);
    if (!built) platform::WriteErr("velkinpack: nothing was written\n");
    return built ? kOk : kProblems;
}

std::string Shown(const std::optional<std::string>& cp932) { return cp932 ? Cp932ToUtf8(*cp932) : "(absent)"; }

void PrintView(const package::PackageView& v) {
    std::string out = v.file + ": ";
    if (!v.readable) {
        platform::WriteOut(out + "cannot be read as a patch\n");
        return;
    }
    std::string checksum = "checksum " + Hex(v.image.checkSum) + " (correct)";
    if (v.image.checkSum == 0) checksum = "no checksum (the file sums to " + Hex(v.computedChecksum) + ")";
    else if (v.image.checkSum != v.computedChecksum) checksum = "checksum " + Hex(v.image.checkSum) + " (the file sums to " + Hex(v.computedChecksum) + ")";
    out += v.image.FormatName() + " " + v.image.MachineName() + ", " + std::to_string(v.image.fileSize) + " bytes, " + checksum +
           (v.signature ? ", signed" : ", not signed") + "\n";
    if (v.script && v.model) {
        const ScriptModel& m = *v.model;
        out += "script     " + std::to_string(v.script->data.size) + " bytes, " + std::to_string(m.lineCount) + " lines\n";
        out += "  *Caption     " + Shown(m.caption) + "\n";
        out += "  *GameTitle   " + Shown(m.gameTitle) + "\n";
        out += "  *PatchType   " + Shown(m.patchType) + (m.patchType ? " (patch type " + std::to_string(m.PatchTypeNumber()) + ")" : "") + "\n";
        out += "  *LinkPath    " + Shown(m.linkPath) + "\n";
        out += "  *Version     " + Shown(m.version) + "\n";
        if (!m.outFiles) {
            out += "  %OutFiles    (absent)\n";
        } else {
            out += "  %OutFiles    " + std::to_string(m.outFiles->size()) + (m.outFiles->size() == 1 ? " item\n" : " items\n");
            for (std::size_t i = 0; i < m.outFiles->size(); ++i) {
                const std::string& item = (*m.outFiles)[i];
                out += "    " + std::to_string(i) + "  " + (item.empty() ? "(empty: no file)" : Cp932ToUtf8(item)) + "\n";
            }
        }
    } else {
        out += "script     (absent)\n";
    }
    if (v.picture) {
        out += "picture    " + std::to_string(v.picture->data.size) + " bytes";
        if (v.pictureValid && v.pictureWidth != 0) out += ", " + std::to_string(v.pictureWidth) + " x " + std::to_string(v.pictureHeight);
        out += v.pictureValid ? "\n" : ", not a picture the installer loads\n";
    } else {
        out += "picture    (absent)\n";
    }
    out += "payloads   " + std::to_string(v.payloads.size()) + "\n";
    for (const package::PayloadView& p : v.payloads) {
        out += "  " + std::to_string(p.number) + "  " + p.resourceName + "  " + (p.item ? Cp932ToUtf8(*p.item) : "(no item)") + "  ";
        out += p.entry ? std::to_string(p.entry->data.size) + " bytes  sha256 " + p.sha256 : "MISSING";
        out += "\n";
    }
    out += v.problems.Empty() ? "problems   none\n" : "problems   " + std::to_string(v.problems.All().size()) + "\n";
    platform::WriteOut(out);
}

void PrintJson(const package::PackageView& v) {
    JsonWriter j;
    auto text = [&](const std::optional<std::string>& cp932) {
        if (cp932) j.String(Cp932ToUtf8(*cp932)); else j.Null();
    };
    j.BeginObject().Key("file").String(v.file).Key("readable").Bool(v.readable);
    if (v.readable) {
        j.Key("format").String(v.image.FormatName()).Key("machine").String(v.image.MachineName());
        j.Key("size").Number(static_cast<std::int64_t>(v.image.fileSize));
        j.Key("checksum").BeginObject().Key("stored").Number(v.image.checkSum).Key("computed").Number(v.computedChecksum).EndObject();
        j.Key("signed").Bool(v.signature);
    }
    j.Key("script");
    if (v.script && v.model) {
        const ScriptModel& m = *v.model;
        j.BeginObject().Key("size").Number(static_cast<std::int64_t>(v.script->data.size)).Key("lines").Number(m.lineCount);
        j.Key("values").BeginObject();
        j.Key("Caption"); text(m.caption);
        j.Key("GameTitle"); text(m.gameTitle);
        j.Key("PatchType"); text(m.patchType);
        j.Key("LinkPath"); text(m.linkPath);
        j.Key("Version"); text(m.version);
        j.EndObject().Key("patchType").Number(m.PatchTypeNumber()).Key("outFiles");
        if (m.outFiles) {
            j.BeginArray();
            for (const std::string& item : *m.outFiles) j.String(Cp932ToUtf8(item));
            j.EndArray();
        } else {
            j.Null();
        }
        j.EndObject();
    } else {
        j.Null();
    }
    j.Key("picture");
    if (v.picture) {
        j.BeginObject().Key("size").Number(static_cast<std::int64_t>(v.picture->data.size)).Key("valid").Bool(v.pictureValid);
        j.Key("width").Number(v.pictureWidth).Key("height").Number(v.pictureHeight).EndObject();
    } else {
        j.Null();
    }
    j.Key("payloads").BeginArray();
    for (const package::PayloadView& p : v.payloads) {
        j.BeginObject().Key("number").Number(p.number).Key("resource").String(p.resourceName).Key("item");
        text(p.item);
        j.Key("path");
        if (p.path) j.String(p.path->Relative()); else j.Null();
        j.Key("size");
        if (p.entry) j.Number(static_cast<std::int64_t>(p.entry->data.size)); else j.Null();
        j.Key("sha256");
        if (p.entry) j.String(p.sha256); else j.Null();
        j.EndObject();
    }
    j.EndArray().Key("problems").BeginArray();
    for (const Problem& p : v.problems.All()) {
        j.BeginObject().Key("severity").String(p.severity == Problem::kError ? "error" : "warning").Key("message").String(p.message).EndObject();
    }
    j.EndArray().EndObject();
    platform::WriteOut(j.Text() + "\n", true);
}

int Inspect(const std::vector<std::string>& args) {
    const Arguments a(args, 1, {}, {"--json"});
    if (a.operands.size() != 1) throw UsageError("inspect takes one PATCH.exe");
    const package::PackageView view = package::InspectPatch(a.operands[0], true);
    if (a.Flag("--json")) {
        PrintJson(view);
    } else {
        PrintView(view);
        Report(view.problems);
    }
    return view.problems.Empty() ? kOk : kProblems;
}

int Extract(const std::vector<std::string>& args) {
    const Arguments a(args, 1, {}, {"--force", "-q", "--quiet"});
    if (a.operands.size() != 2) throw UsageError("extract takes PATCH.exe and DIR");
    Problems problems;
    std::vector<std::string> log;
    const bool extracted = package::ExtractPatch(a.operands[0], a.operands[1], a.Flag("--force"), problems, log);
    if (!a.Flag("-q") && !a.Flag("--quiet")) PrintLog(log);
    Report(problems);
    return extracted && !problems.HasErrors() ? kOk : kProblems;
}

}  // namespace

int RunPacker(const std::vector<std::string>& args) {
    // Scripts are code page 932 whatever the system's own code page is.
    SetLeadBytes(Cp932LeadBytes());
    try {
        if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
            platform::WriteOut(kUsageText);
            return args.empty() ? kUsage : kOk;
        }
        if (args[0] == "--version") {
            platform::WriteOut("velkinpack " VELKINPACK_VERSION "\n");
            return kOk;
        }
        if (args[0] == "build") return Build(args);
        if (args[0] == "inspect") return Inspect(args);
        if (args[0] == "extract") return Extract(args);
        throw UsageError("unknown command " + args[0]);
    } catch (const UsageError& e) {
        platform::WriteErr(std::string("velkinpack: ") + e.what() + "\n" + kUsageText);
        return kUsage;
    } catch (const std::exception& e) {
        platform::WriteErr(std::string("velkinpack: error: ") + e.what() + "\n");
        return kProblems;
    }
}
