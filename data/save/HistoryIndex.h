#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The history of a card type lives in its hidden folder .history:
//   .history/index                 which versions are kept and which one the card list is; the
//                                  one truth, replaced atomically
//   .history/N/cardlist.*          version N's card list, compressed whole or as a delta
//                                  against the version after it (save/VersionStore.h)
//   .history/N/before/FILE         image folder files as they were before the change that made
//                                  version N, for those it replaced or removed
//   .history/N/after/FILE          the image folder files that change wrote
// A version folder is complete on disk before the index names it; after that, a file is only
// added to it beside what it holds (a delta against a new version after it) and the file it
// replaces removed once the index names that version. A folder the index does not name is a
// leftover of a killed save. Kept files are hard links, so
// keeping a picture copies no bytes (flushed copies on a file system without hard links).

inline constexpr const char* kHistoryFolderName = ".history";
// Undo reaches this many versions back.
inline constexpr std::size_t kKeptPreviousVersions = 50;

struct THistoryVersion {
    int Number = 0;
    std::string Time;    // local time it was recorded, "YYYY-MM-DD HH:MM:SS"
    std::string Status;  // its status line, e.g. "3/10[30%]"
    bool operator==(const THistoryVersion&) const = default;
};

struct THistoryIndex {
    std::vector<THistoryVersion> Versions;  // oldest first
    int Position = 0;                       // the number of the version the card list is
    int Next = 1;                           // the number the next version gets

    // Where Position is in Versions; nullopt for an empty history.
    std::optional<std::size_t> Current() const;
    std::optional<std::size_t> Find(int number) const;
    bool operator==(const THistoryIndex&) const = default;
};

std::filesystem::path HistoryFolder(const std::filesystem::path& cardTypeFolder);
std::filesystem::path HistoryIndexPath(const std::filesystem::path& cardTypeFolder);
std::filesystem::path VersionFolder(const std::filesystem::path& cardTypeFolder, int number);
// Version N's card list as earlier histories kept it: a plain copy.
std::filesystem::path VersionCardList(const std::filesystem::path& cardTypeFolder, int number);
// The kept files of the change that made the version: as they were, and as it wrote them.
std::filesystem::path BeforeFolder(const std::filesystem::path& cardTypeFolder, int number);
std::filesystem::path AfterFolder(const std::filesystem::path& cardTypeFolder, int number);

std::string HistoryIndexText(const THistoryIndex& index);
// nullopt for a text that is not a whole, consistent index.
std::optional<THistoryIndex> ParseHistoryIndex(std::string_view text);

// The card type's history: empty when it has none yet; nullopt when its index is there but is
// damaged (or written by a later version of the program), and then it is left alone. An index
// that cannot be read (an I/O error) throws VastrelleError.
std::optional<THistoryIndex> ReadHistoryIndex(const std::filesystem::path& cardTypeFolder);

// The local time as the history records it.
std::string HistoryTimeText(std::time_t time);
std::string HistoryTimeNow();

namespace history::testing {
// Pins the clock of the history (0: the real clock again), so that runs can be compared.
void SetNow(std::time_t time);
}  // namespace history::testing
