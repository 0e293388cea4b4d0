#include "cardtypes/DataFolder.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataFolderName = "vastrelle";
// Installed beside the programs by `cmake --install` and the package, never in a portable folder.
constexpr const char* kInstalledMarker =
    "share/metainfo/io.github.vastrelle.Vastrelle.metainfo.xml";

// prefix/bin of an installed program: its data never go there, even when the user may write it
// (root, or an install into ~/.local).
bool IsInstalledBinFolder(const fs::path& folder) {
    std::error_code ec;
    return folder.filename() == "bin" &&
           fs::is_regular_file(folder.parent_path() / kInstalledMarker, ec);
}

// Empty when neither variable gives an absolute folder: a relative XDG_DATA_HOME is to be
// ignored, and without a home there is no user data folder.
fs::path UserDataFolder(const std::string& xdgDataHome, const std::string& home) {
    if (fs::path xdg(xdgDataHome); xdg.is_absolute()) return xdg / kDataFolderName;
    if (fs::path homeFolder(home); homeFolder.is_absolute())
        return homeFolder / ".local" / "share" / kDataFolderName;
    return {};
}

}  // namespace

bool IsWritableFolder(const fs::path& folder) {
    std::error_code ec;
    // access() also answers EROFS for a read-only file system, where root may not write either.
    return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

TProgramFolderChoice ChooseProgramFolder(const fs::path& executableFolder,
                                         const std::string& xdgDataHome, const std::string& home) {
    if (IsWritableFolder(executableFolder) && !IsInstalledBinFolder(executableFolder))
        return {executableFolder, true};
    const fs::path dataFolder = UserDataFolder(xdgDataHome, home);
    if (!dataFolder.empty()) {
        std::error_code ec;
        fs::create_directories(dataFolder, ec);
        if (fs::is_directory(dataFolder, ec)) return {dataFolder, IsWritableFolder(dataFolder)};
    }
    return {executableFolder, false};
}
