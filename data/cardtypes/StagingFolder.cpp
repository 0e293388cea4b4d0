#include "cardtypes/StagingFolder.h"

#include <stdlib.h>

#include "cardtypes/FolderRename.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

TStagingFolder::TStagingFolder(const fs::path& programFolder) {
    std::string pattern = (programFolder / ".import-XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw VastrelleError(msg::kCardTypeFolderFailed, MessageKind::ErrorAbort);
    m_path = pattern;
}

TStagingFolder::~TStagingFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void PublishCardTypeFolder(const fs::path& built, const fs::path& programFolder) {
    if (!FlushFolder(built))
        throw VastrelleError(msg::kCardListCreateFailed, MessageKind::ErrorAbort);
    const fs::path target = programFolder / built.filename();
    if (!RenameNoReplace(built, target)) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec)))
            throw VastrelleError(msg::kCardTypeExists, MessageKind::Warning);
        throw VastrelleError(msg::kCardTypeFolderFailed, MessageKind::ErrorAbort);
    }
    FlushFolder(programFolder);
}
