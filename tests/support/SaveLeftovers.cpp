#include "SaveLeftovers.h"

#include "files/FileOps.h"
#include "files/PendingFile.h"
#include "save/HistoryRecord.h"

void RemoveSaveLeftovers(const std::filesystem::path& cardTypeFolder) {
    const auto staleAge = fileops::testing::StaleAge();
    fileops::testing::SetStaleAge(std::chrono::seconds(0));
    RemoveStaleTemporaryFiles(cardTypeFolder / "image");
    RemoveStaleTemporaryFiles(cardTypeFolder);
    RemoveHistoryLeftovers(cardTypeFolder);
    fileops::testing::SetStaleAge(staleAge);
}
