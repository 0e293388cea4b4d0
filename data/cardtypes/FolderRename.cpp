#include "cardtypes/FolderRename.h"

#include "files/FileOps.h"

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return fileops::RenameNoReplace(from, to) == 0;
}
