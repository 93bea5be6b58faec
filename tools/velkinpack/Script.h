// The patch script as the packer prepares and judges it, read by the installer's own reader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Problems.h"

enum class ScriptEncoding { kAuto, kCp932, kUtf8 };

// Bytes beyond which a file is not taken for a script.
constexpr std::size_t kMaxScriptBytes = 1u << 20;

struct PreparedScript {
    std::string text;    // code page 932, CR LF after every line
    std::string readAs;  // how the author's file was read, for the summary
};

// True when the automatic choice takes the bytes for UTF-8: they are valid UTF-8 and not plain
// ASCII (or they start with a byte-order mark).
bool ReadsAsUtf8(std::string_view bytes);

// Turns the author's script file into the package's script: UTF-8 (with or without a
// byte-order mark) is converted, line ends become CR LF. Adds an error naming `fileName` and
// returns nothing when the file cannot serve as a script.
std::optional<PreparedScript> PrepareScript(std::string_view bytes, ScriptEncoding encoding,
                                            const std::string& fileName, Problems& problems);

// What the installer reads from a script. Texts are code page 932 bytes.
struct ScriptModel {
    std::optional<std::string> caption, gameTitle, patchType, linkPath, version;
    std::optional<std::vector<std::string>> outFiles;
    int lineCount = 0;
    // Lines (0-based) right after value keys and the raw item lines, for the checks.
    std::vector<std::pair<std::string, std::string>> valueLines;  // key, raw line after it
    std::vector<std::string> rawItems;

    // What the installer makes of *PatchType: 0 when absent, else the number (1 if none).
    int PatchTypeNumber() const;
};
ScriptModel ReadScriptModel(const std::string& cp932Text);

// An %OutFiles item as a path below the target folder, folder by folder, in UTF-8.
struct ItemPath {
    std::vector<std::string> parts;
    std::string Relative() const;  // joined with "/"
};
// Nothing, with the reason in `why`, when the installer must not or cannot write the item;
// `warnings` receives what is allowed but surprising.
std::optional<ItemPath> ParseItemPath(std::string_view cp932Item, std::string& why, std::vector<std::string>& warnings);

// The checks of what the installer will do with the script; messages name `fileName`.
// Returns, per %OutFiles item, its path (nothing for an empty or refused item).
std::vector<std::optional<ItemPath>> CheckScriptModel(const ScriptModel& script, const std::string& fileName,
                                                      Problems& problems);

// The item's text for messages, in UTF-8.
std::string ShowCp932(std::string_view cp932);
