#pragma once

#include <filesystem>
#include <string>

// Where the program keeps its card types and setting.ini.

struct TProgramFolderChoice {
    std::filesystem::path Folder;
    bool Writable = false;  // false: nothing can be saved there (a read-only medium)
};

// The executable's folder when the user may write it (an unpacked or portable program folder) and
// it is not the bin folder of an installed program; otherwise the user's data folder,
// $XDG_DATA_HOME/vastrelle (an absolute XDG_DATA_HOME only) or $HOME/.local/share/vastrelle, made
// with its parents when missing. When that cannot be made either, the executable's folder, not
// writable. xdgDataHome and home are the environment's values, empty when unset.
TProgramFolderChoice ChooseProgramFolder(const std::filesystem::path& executableFolder,
                                         const std::string& xdgDataHome, const std::string& home);

// The user may create and rename entries in the folder.
bool IsWritableFolder(const std::filesystem::path& folder);
