// Preparing and checking the script: encodings, line ends, the keys the installer reads and
// the %OutFiles names it writes.
#include "Script.h"

#include <algorithm>
#include <map>

#include "Cp932.h"
#include "Utf8.h"
#include "package/Ttinycnf.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

namespace {

int LineOf(std::string_view text, std::size_t offset) {
    int line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    }
    return line;
}

bool HasHighBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string Normalise(const std::string& cp932) {
    TStringList lines;
    lines.SetText(cp932);
    std::string out;
    for (const std::string& line : lines.Items()) out += line + "\r\n";
    return out;
}

bool IsDeviceName(std::string part) {
    part = part.substr(0, part.find('.'));
    while (!part.empty() && part.back() == ' ') part.pop_back();
    for (char& c : part) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices) {
        if (part == d) return true;
    }
    return part.size() == 4 && (part.compare(0, 3, "COM") == 0 || part.compare(0, 3, "LPT") == 0) &&
           part[3] >= '1' && part[3] <= '9';
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

}  // namespace

bool ReadsAsUtf8(std::string_view bytes) {
    return bytes.substr(0, 3) == "\xEF\xBB\xBF" || (HasHighBytes(bytes) && DecodeUtf8(bytes));
}

std::string ShowCp932(std::string_view cp932) { return "\"" + Cp932ToUtf8(cp932) + "\""; }

std::optional<PreparedScript> PrepareScript(std::string_view bytes, ScriptEncoding encoding, const std::string& fileName,
                                            Problems& problems) {
    auto fail = [&](const std::string& why) -> std::optional<PreparedScript> {
        problems.Error(fileName + ": " + why);
        return std::nullopt;
    };
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        return fail("is UTF-16 text; save it as UTF-8 or as Shift-JIS (code page 932)");
    }
    const bool bom = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    if (bom && encoding == ScriptEncoding::kCp932) {
        return fail("starts with a UTF-8 byte-order mark but was named code page 932; drop --script-encoding or the mark");
    }
    const std::string_view body = bom ? bytes.substr(3) : bytes;
    if (const auto nul = body.find('\0'); nul != std::string_view::npos) {
        return fail("line " + std::to_string(LineOf(body, nul)) +
                    " holds a NUL byte, where the installer would stop reading; remove it");
    }

    const bool asUtf8 = encoding == ScriptEncoding::kUtf8 || (encoding == ScriptEncoding::kAuto && ReadsAsUtf8(bytes));
    PreparedScript prepared;
    std::string cp932;
    if (asUtf8) {
        std::size_t bad = 0;
        const auto text = DecodeUtf8(body, &bad);
        if (!text) {
            return fail("is not valid UTF-8 (line " + std::to_string(LineOf(body, bad)) +
                        "); save it as UTF-8, or give --script-encoding cp932 for Shift-JIS");
        }
        std::size_t badIndex = 0;
        if (!EncodeCp932(*text, cp932, badIndex)) {
            const std::u32string_view before = std::u32string_view(*text).substr(0, badIndex);
            const int line = 1 + static_cast<int>(std::count(before.begin(), before.end(), U'\n'));
            const bool maybeShiftJis = encoding == ScriptEncoding::kAuto && !bom && IsValidCp932(body);
            return fail("line " + std::to_string(line) + ": the character " + DescribeCodePoint((*text)[badIndex]) +
                        " has no code page 932 (Shift-JIS) form, which the installer reads; replace it" +
                        (maybeShiftJis ? ". If the file is Shift-JIS already, give --script-encoding cp932" : ""));
        }
        prepared.readAs = bom ? "UTF-8 with byte-order mark, converted to code page 932" : "UTF-8, converted to code page 932";
    } else {
        std::size_t bad = 0;
        if (!IsValidCp932(body, &bad)) {
            return fail("is neither UTF-8 nor Shift-JIS (code page 932) text: line " + std::to_string(LineOf(body, bad)) +
                        " holds a byte that does not decode; save the file as UTF-8");
        }
        cp932.assign(body);
        prepared.readAs = HasHighBytes(body) ? "code page 932" : "ASCII";
    }
    prepared.text = Normalise(cp932);
    return prepared;
}

int ScriptModel::PatchTypeNumber() const { return patchType ? StrToIntDef(*patchType, 1) : 0; }

ScriptModel ReadScriptModel(const std::string& cp932Text) {
    TStringList lines;
    lines.SetText(cp932Text);
    const TTinyCnf reader(lines);
    ScriptModel model;
    model.lineCount = lines.Count();
    auto value = [&](const char* key, std::optional<std::string>& out) {
        std::string text;
        if (!reader.GetValue(key, text)) return;
        out = text;
        const int line = reader.FindLine(key);
        if (line + 1 < lines.Count()) model.valueLines.emplace_back(key, lines[line + 1]);
    };
    value("*Caption", model.caption);
    value("*GameTitle", model.gameTitle);
    value("*PatchType", model.patchType);
    value("*LinkPath", model.linkPath);
    value("*Version", model.version);
    TStringList items;
    if (reader.GetList("%OutFiles", items)) {
        model.outFiles = items.Items();
        const int first = reader.FindLine("%OutFiles") + 1;
        for (int i = 0; i < items.Count(); ++i) model.rawItems.push_back(Trim(lines[first + i]));
    }
    return model;
}

std::string ItemPath::Relative() const {
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : "/") + part;
    return joined;
}

std::optional<ItemPath> ParseItemPath(std::string_view cp932Item, std::string& why, std::vector<std::string>& warnings) {
    if (!IsValidCp932(cp932Item)) {
        why = "is not valid code page 932 text";
        return std::nullopt;
    }
    const std::u32string text = *DecodeUtf8(Cp932ToUtf8(cp932Item));
    if (text.front() == U'\\' || text.front() == U'/') {
        why = "is an absolute path; name the file relative to the target folder";
        return std::nullopt;
    }
    if (text.size() >= 2 && text[1] == U':') {
        why = "is drive-qualified; name the file relative to the target folder";
        return std::nullopt;
    }
    for (char32_t c : text) {
        if (c < 0x20 || std::u32string_view(U"<>:\"|?*").find(c) != std::u32string_view::npos) {
            why = "contains the character " + DescribeCodePoint(c) + ", which Windows does not allow in a file name";
            return std::nullopt;
        }
    }
    ItemPath path;
    std::u32string part;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != U'\\' && text[i] != U'/') {
            part += text[i];
            continue;
        }
        if (part.empty()) {
            why = "has an empty folder name (two separators in a row, or one at the end)";
            return std::nullopt;
        }
        if (part == U"..") {
            why = "climbs out of the target folder with \"..\"";
            return std::nullopt;
        }
        if (part == U".") {
            why = "has a \".\" folder name; leave it out";
            return std::nullopt;
        }
        const std::string name = EncodeUtf8(part);
        if (IsDeviceName(name)) {
            why = "names the Windows device \"" + name + "\", not a file";
            return std::nullopt;
        }
        if (part.back() == U'.' || part.back() == U' ') {
            warnings.push_back("\"" + name + "\" ends with a dot or a space, which Windows drops from the name");
        }
        path.parts.push_back(name);
        part.clear();
    }
    return path;
}

std::vector<std::optional<ItemPath>> CheckScriptModel(const ScriptModel& script, const std::string& fileName,
                                                      Problems& problems) {
    const std::string at = fileName + ": ";
    if (!script.caption) problems.Warning(at + "has no *Caption; the installer window will be titled \"FormMain\"");
    const int type = script.PatchTypeNumber();
    if (!script.patchType) {
        problems.Warning(at + "has no *PatchType; the installer will write nothing (add *PatchType with the value 1)");
    } else if (type != 1) {
        problems.Warning(at + "*PatchType is " + std::to_string(type) + "; the installer writes files only with patch type 1");
    }
    for (const auto& [key, line] : script.valueLines) {
        if (!line.empty() && (line[0] == '*' || line[0] == '%')) {
            problems.Warning(at + "the line after " + key + " is " + ShowCp932(line) + ", which the installer takes as " +
                             key + "'s value; put the value on the line below the key");
        }
    }
    std::vector<std::optional<ItemPath>> paths;
    if (!script.outFiles) {
        if (type == 1) {
            problems.Error(at + "has no %OutFiles list, which patch type 1 needs; the installer would stop at start-up. "
                                "Add %OutFiles, one file name per line, and a %% line");
        }
        return paths;
    }
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < script.outFiles->size(); ++i) {
        const std::string& item = (*script.outFiles)[i];
        const std::string& raw = script.rawItems[i];
        const std::string label = at + "%OutFiles item " + std::to_string(i) + " " + ShowCp932(item);
        if (!raw.empty() && (raw[0] == '*' || raw[0] == '%')) {
            problems.Warning(label + " looks like a key line; is the %% line that ends the list missing?");
        }
        if (item.empty()) {
            paths.emplace_back();
            continue;
        }
        std::string why;
        std::vector<std::string> warnings;
        auto path = ParseItemPath(item, why, warnings);
        for (const std::string& w : warnings) problems.Warning(label + ": " + w);
        if (!path) {
            problems.Error(label + " " + why);
            paths.emplace_back();
            continue;
        }
        const auto [it, fresh] = seen.emplace(Lower(path->Relative()), i);
        if (!fresh) {
            problems.Warning(label + " names the same file as item " + std::to_string(it->second) +
                             "; the installer writes both and the later one stays");
        }
        paths.push_back(std::move(path));
    }
    if (type == 1 && std::none_of(paths.begin(), paths.end(), [](const auto& p) { return p.has_value(); }) &&
        !problems.HasErrors()) {
        problems.Warning(at + "%OutFiles names no file; the installer will write nothing");
    }
    return paths;
}
