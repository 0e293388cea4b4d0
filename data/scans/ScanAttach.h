#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cardlist/Common.h"
#include "pictures/CardImages.h"
#include "save/CardStore.h"
#include "scans/ScanPlan.h"

// Attaching a folder of scans to a card type: the scans read and their thumbnails made on every
// core, then stored with the card list as one save (one undo step).

// A scan read and its thumbnails made, ready for the save.
struct TPreparedScan {
    std::string Bytes;
    std::shared_ptr<const TThumbnailFiles> Thumbnails;
};
using TPreparedScans = std::map<std::filesystem::path, TPreparedScan>;  // by the scan's path

// Shared between the threads that prepare and the one that watches.
struct TScanProgress {
    std::atomic<std::size_t> Done{0};
    std::atomic<bool> Cancel{false};
    std::atomic<bool> Saving{false};  // set by the caller once the save has begun
    // The reading threads run at a lower priority than the one that waits, so that a window
    // showing the progress keeps answering on a busy machine.
    bool Background = false;
};

// Reads the files and makes their thumbnails on `threads` threads (0: one per core), the calling
// thread among them unless the progress asks for background threads. nullopt
// when progress->Cancel was set before all were done. Throws, after every thread stopped, the
// failure of the first file in the given order that failed, its path in front of the message.
std::optional<TPreparedScans> PrepareScans(const std::vector<TScanFile>& files, unsigned threads,
                                           TScanProgress* progress = nullptr);

struct TAttachResult {
    TScanPlan Plan;  // as made from the card list at the time of the save
    // The cards as written with the identity of the written file (or as read, when nothing was
    // to be written).
    TCardsAsRead Cards;
    bool Written = false;
};

// Plans the folder against the card list as it is on disk, with the card type locked against
// other writers, and saves the plan's pictures and cards as one transaction. Scans found in
// `prepared` are taken from there (moved out); others are read and prepared here. Nothing is
// written when the plan takes no scan. Throws VastrelleError; every file is then as before.
TAttachResult AttachScans(const std::filesystem::path& cardTypeFolder,
                          const std::filesystem::path& scanFolder, TScanOptions options,
                          TPreparedScans prepared = {});
