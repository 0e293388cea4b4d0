#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "save/HistoryIndex.h"
#include "save/VersionSum.h"

// The history's part of one card save (CardStore.cpp): the versions the save adds, with the
// image folder files it keeps, and the index that names them. Until CommitIndex nothing the
// history had is changed; RollBack undoes every step; DropOld gives up, after the save, the
// versions that the new index no longer names.
class THistoryRecord {
public:
    // hasCardList: the card type folder has its card list file before the save. moveTo: for undo
    // and redo, the kept version the card list becomes; the save is then not recorded as a new
    // version. A card list that is not the current version (changed outside the history) is
    // recorded first either way, so that it can be brought back, labelled `oldStatus` when given
    // (else the file is counted). Throws when moveTo is not kept.
    // cardListSum: the identity sum of the card list file, when the caller read it under the
    // lock; the file is then not read again to place it among the versions.
    THistoryRecord(const std::filesystem::path& cardTypeFolder, bool hasCardList,
                   std::string newStatus, std::optional<std::string> oldStatus,
                   std::optional<int> moveTo,
                   std::optional<TVersionSumValue> cardListSum = std::nullopt);
    THistoryRecord(const THistoryRecord&) = delete;
    THistoryRecord& operator=(const THistoryRecord&) = delete;

    // Whether the save's own files are kept (a change that is recorded as a new version).
    bool Records() const { return m_recordsChange; }

    // Version folders that no index names: leftovers of killed saves. Failures are ignored.
    void RemoveLeftovers() noexcept;
    // The folders and card list files of the new versions, flushed, from the files that hold
    // the old card list (when it is recorded) and the new one: the newest whole, each other one
    // as a delta against the one after it, and the version before them given a delta against
    // the first. A new card list byte for byte the current one, in a save that changes no image
    // file, records nothing. Throws VastrelleError.
    // newSum: the identity sum of the new card list, when the save took it while writing.
    void WriteVersions(const std::filesystem::path& oldCardList,
                       const std::filesystem::path& newCardList, bool changesImages,
                       std::optional<TVersionSumValue> newSum = std::nullopt);
    // Keeps an image folder file as it was before the save, or under `fileName` as the save
    // writes it (`source` holding those bytes). Throw VastrelleError.
    void KeepBefore(const std::filesystem::path& file);
    void KeepAfter(const std::filesystem::path& fileName, const std::filesystem::path& source);
    void FlushKept();
    // Replaces the index. Throws VastrelleError.
    void CommitIndex();
    void RollBack() noexcept;
    void DropOld() noexcept;

private:
    struct TNewVersion {
        THistoryVersion Version;
        bool New = false;  // the save's own card list, else the one found before it
    };
    void Keep(const std::filesystem::path& folder, bool& made, const std::filesystem::path& from,
              const std::filesystem::path& fileName);

    std::filesystem::path m_cardTypeFolder;
    std::filesystem::path m_folder;
    bool m_enabled = false;  // false when the index does not read: the history is left alone
    THistoryIndex m_old;
    THistoryIndex m_new;
    std::optional<std::string> m_oldIndexText;
    std::vector<TNewVersion> m_versions;  // to be written, the recorded change last
    bool m_recordsChange = false;
    bool m_outside = false;  // the card list found is not the current version
    std::optional<int> m_moveTo;
    std::optional<TVersionSumValue> m_cardListSum;  // of the card list found, when known
    // The version before the new ones, given a delta against the first of them.
    std::optional<int> m_rebased;
    std::optional<std::filesystem::path> m_rebasedDelta;

    bool m_madeFolder = false;
    std::vector<int> m_written;  // version folders made by this save
    bool m_madeBefore = false, m_madeAfter = false;
    bool m_indexCommitted = false;
};

// Removes what killed or failed saves left in the history: temporary files older than a minute
// and version folders that the index does not name. Failures are ignored; nothing is done when
// the index does not read.
void RemoveHistoryLeftovers(const std::filesystem::path& cardTypeFolder) noexcept;

// Removes a folder with everything in it, through the file layer; false when anything stays.
bool RemoveTree(const std::filesystem::path& folder) noexcept;
