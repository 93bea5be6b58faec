// Finding where a Windows program is installed by way of its Start-menu shortcut.
#pragma once

#include <cstdint>

#include "rtl/Shell.h"
#include "rtl/SysUtils.h"

// A stateless toolbox: every operation works only on its arguments and the system. Failures
// are false results with the outputs left as they were; nothing is shown and nothing caught.
class TqmFile {
public:
    // Bits of the diagnostics word of FindProgramShortcut.
    static constexpr std::uint32_t kUserFromRegistry = 0x001;    // the shell named no per-user folder
    static constexpr std::uint32_t kUserRegistryFailed = 0x002;  // and the registry gave none either
    static constexpr std::uint32_t kCommonFromRegistry = 0x004;  // the same for the all-users folder
    static constexpr std::uint32_t kCommonRegistryFailed = 0x008;
    static constexpr std::uint32_t kUserMissing = 0x100;    // the per-user folder holds no such file
    static constexpr std::uint32_t kCommonMissing = 0x200;  // the all-users folder holds no such file

    // Registry values read when the shell names no Programs folder.
    static constexpr const char* kUserProgramsValue =
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Programs";
    static constexpr const char* kCommonProgramsValue =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
        "\\Common Programs";

    // The file-system path of a shell special folder (a CSIDL value).
    bool GetSpecialFolder(int csidl, AnsiString& path);

    // Replaces the path by its expansion of %NAME% references.
    bool ExpandEnvironment(AnsiString& path);

    // Loads a file into a shell object through its persist-file interface; true only when the
    // load reports S_OK.
    bool LoadPersistFile(os::ShellObject& object, const os::WideChar* fileName, std::uint32_t mode);

    // Looks for `linkPath`, relative to the Programs folder of the Start menu, first in the
    // current user's folder and then in the all-users one, and gives the full path of the file
    // found. A folder that the shell cannot name is read from the registry and expanded.
    // `diagnostics` is written in every case; `foundPath` only on success.
    bool FindProgramShortcut(AnsiString linkPath, AnsiString& foundPath, std::uint32_t& diagnostics);

    // Reads the shortcut file and gives the file-system path of its target and the target's
    // find data. False when the file cannot be loaded as a shortcut or names no file-system
    // target; `targetPath` and `findData` are then untouched.
    bool ResolveShortcut(const char* shortcutPath, char (&targetPath)[os::kMaxPath], os::FindData& findData);

private:
    struct Step;
    bool FindInPrograms(const Step& step, const AnsiString& linkPath, AnsiString& path,
                        std::uint32_t& diagnostics);
};
