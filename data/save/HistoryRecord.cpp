#include "save/HistoryRecord.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <set>

#include "cardlist/CardCount.h"
#include "cardlist/CardList.h"
#include "cardlist/CardListIdentity.h"
#include "cardlist/Common.h"
#include "files/AtomicFile.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/PendingFile.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/VersionDelta.h"
#include "save/VersionStore.h"
#include "save/ZstdFrames.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowCannotCreate(const fs::path& path) {
    throw VastrelleError(FormatMessage(msg::kCannotCreate, path.string()));
}

// The status line of a card list file that is recorded as it was found; one that does not read
// is kept all the same, so that it can be brought back.
std::string StatusOfFile(const fs::path& file) {
    try {
        const TCardCount count = CountCardList(file);
        return StatusLineText(count.Owned, count.Total);
    } catch (const VastrelleError&) {
        return "?";
    }
}

std::optional<int> FolderNumber(const std::string& name) {
    int value = 0;
    auto [ptr, error] = std::from_chars(name.data(), name.data() + name.size(), value);
    if (error != std::errc() || ptr != name.data() + name.size() || value <= 0) return std::nullopt;
    return value;
}

bool Exists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void RemoveUnnamedVersions(const fs::path& folder, const THistoryIndex& index) noexcept {
    RemoveStaleTemporaryFiles(folder);
    std::error_code ec;
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::optional<int> number = FolderNumber(it->path().filename().native());
        if (number && !index.Find(*number) && it->is_directory(ec)) leftovers.push_back(it->path());
    }
    for (const fs::path& leftover : leftovers) RemoveTree(leftover);
    // A kill after the index named a new version may have left the copies it replaced, in the
    // version before the newest: only it may lose its whole copy here, as for it the choice is
    // the one the save made. Only the newest two are looked at, so that a save does not list
    // every kept version's folder; anything older goes with its folder when it is pruned.
    const std::size_t count = index.Versions.size();
    for (std::size_t i = count >= 2 ? count - 2 : 0; i < count; ++i)
        DropReplacedCopies(folder.parent_path(), index, index.Versions[i].Number, i + 2 == count);
}

}  // namespace

void RemoveHistoryLeftovers(const fs::path& cardTypeFolder) noexcept {
    try {
        if (std::optional<THistoryIndex> index = ReadHistoryIndex(cardTypeFolder))
            RemoveUnnamedVersions(HistoryFolder(cardTypeFolder), *index);
    } catch (...) {
    }
}

bool RemoveTree(const fs::path& folder) noexcept {
    bool ok = true;
    try {
        std::error_code ec;
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(*it);
        if (ec) return false;
        for (const fs::directory_entry& entry : entries) {
            if (entry.is_directory(ec) && !entry.is_symlink(ec))
                ok = RemoveTree(entry.path()) && ok;
            else
                ok = fileops::Unlink(entry.path()) == 0 && ok;
        }
    } catch (...) {
        return false;
    }
    return fileops::RemoveFolder(folder) == 0 && ok;
}

THistoryRecord::THistoryRecord(const fs::path& cardTypeFolder, bool hasCardList,
                               std::string newStatus, std::optional<std::string> oldStatus,
                               std::optional<int> moveTo,
                               std::optional<TVersionSumValue> cardListSum)
    : m_cardTypeFolder(cardTypeFolder),
      m_folder(HistoryFolder(cardTypeFolder)),
      m_moveTo(moveTo),
      m_cardListSum(cardListSum) {
    std::optional<THistoryIndex> index = ReadHistoryIndex(cardTypeFolder);
    m_enabled = index.has_value();
    if (!m_enabled) {
        if (moveTo)
            throw VastrelleError(
                FormatMessage(msg::kCannotOpen, HistoryIndexPath(cardTypeFolder).string()));
        return;
    }
    m_old = *index;
    m_oldIndexText = ReadWholeFile(HistoryIndexPath(cardTypeFolder));
    // Without its text a failure after the commit could not put the old index back.
    if (!m_oldIndexText && IsFileThere(HistoryIndexPath(cardTypeFolder)))
        throw VastrelleError(
            FormatMessage(msg::kCannotOpen, HistoryIndexPath(cardTypeFolder).string()));
    m_new = m_old;

    const std::optional<std::size_t> cardList =
        hasCardList ? CardListVersion(cardTypeFolder, m_old, cardTypeFolder / kCardListFileName,
                                      m_cardListSum)
                    : std::nullopt;
    const bool outside = hasCardList && !cardList;
    if (cardList) m_new.Position = m_new.Versions[*cardList].Number;
    m_outside = outside;
    m_recordsChange = !moveTo;
    // A new version ends what could be redone.
    if (outside || m_recordsChange) {
        if (auto current = m_new.Current())
            m_new.Versions.resize(*current + 1);
        else
            m_new.Versions.clear();
    }
    if (outside)
        m_versions.push_back(
            {{0, HistoryTimeNow(),
              oldStatus ? std::move(*oldStatus) : StatusOfFile(cardTypeFolder / kCardListFileName)},
             false});
    if (m_recordsChange) m_versions.push_back({{0, HistoryTimeNow(), std::move(newStatus)}, true});
    if (moveTo && !m_new.Find(*moveTo))
        throw VastrelleError(
            FormatMessage(msg::kCannotOpen, VersionCardList(cardTypeFolder, *moveTo).string()));
}

void THistoryRecord::RemoveLeftovers() noexcept {
    if (m_enabled) RemoveUnnamedVersions(m_folder, m_old);
}

void THistoryRecord::WriteVersions(const fs::path& oldCardList, const fs::path& newCardList,
                                   bool changesImages, std::optional<TVersionSumValue> newSum) {
    if (!m_enabled) return;
    // Both card lists are read a block at a time, and only where they differ is anything held.
    const std::optional<TVersionBytes> newBytes = TVersionBytes::OfFile(newCardList);
    if (!newBytes) ThrowCannotCreate(m_folder);
    std::optional<TVersionBytes> oldBytes;
    if (!oldCardList.empty()) oldBytes = TVersionBytes::OfFile(oldCardList);
    std::optional<TSharedEnds> oldEnds;  // what the old and new card list share, compared once
    auto oldAgainstNew = [&] {
        if (!oldEnds) oldEnds = SharedEnds(*oldBytes, *newBytes);
        if (!oldEnds) ThrowCannotCreate(m_folder);
        return *oldEnds;
    };
    // The same card list again (a title written over with itself) is no new version.
    if (m_recordsChange && !m_outside && !changesImages && oldBytes &&
        SameBytes(*oldBytes, *newBytes, oldAgainstNew())) {
        m_versions.pop_back();
        m_recordsChange = false;
        if (m_versions.empty()) {
            m_new = m_old;
            return;
        }
    }
    if (m_versions.empty() && !m_moveTo) return;
    if (!Exists(m_folder)) {
        if (fileops::MakeFolder(m_folder) != 0) ThrowCannotCreate(m_folder);
        m_madeFolder = true;
        if (!FlushFolder(m_cardTypeFolder)) ThrowCannotCreate(m_folder);
    }
    const std::size_t firstNew = m_new.Versions.size();
    for (TNewVersion& version : m_versions) {
        // A folder that a killed save left and that could not be removed keeps its number.
        int number = std::max(m_new.Next, 1);
        while (Exists(VersionFolder(m_cardTypeFolder, number))) ++number;
        m_new.Next = number + 1;
        version.Version.Number = number;
        const fs::path folder = VersionFolder(m_cardTypeFolder, number);
        if (fileops::MakeFolder(folder) != 0) ThrowCannotCreate(folder);
        m_written.push_back(number);
        m_new.Versions.push_back(version.Version);
        m_new.Position = number;
    }
    // Copies, never links to the card list: an editor that rewrites the file in place would
    // change them. Each folder is flushed once, after all its files.
    auto store = [&](const fs::path& path, std::string_view bytes) {
        TPendingFile file(path.parent_path(), bytes);
        if (!file.CommitAs(path)) ThrowCannotCreate(path);
    };
    auto fileOf = [&](std::size_t i) -> const fs::path& {
        return m_versions[i].New ? newCardList : oldCardList;
    };
    auto bytesOf = [&](std::size_t i) -> const TVersionBytes& {
        if (m_versions[i].New) return *newBytes;
        if (!oldBytes)
            ThrowCannotCreate(VersionFolder(m_cardTypeFolder, m_versions[i].Version.Number));
        return *oldBytes;
    };
    auto storeDelta = [&](const fs::path& path, const TVersionBytes& bytes,
                          const TVersionSumValue& sum, const TVersionBytes& after,
                          const TVersionSumValue& afterSum, const TSharedEnds& ends) {
        const std::optional<std::string> delta = MakeDelta(bytes, sum, after, afterSum, ends);
        if (!delta) ThrowCannotCreate(path);
        store(path, *delta);
    };
    std::vector<TVersionSumValue> sums(m_versions.size());
    if (!m_versions.empty()) {
        // The newest whole, compressed while it is read; its sum is the one the save took while
        // writing it, else it is taken on the way.
        const std::size_t last = m_versions.size() - 1;
        const int number = m_versions[last].Version.Number;
        const std::optional<TVersionSumValue> given =
            m_versions[last].New ? newSum : std::optional<TVersionSumValue>();
        TCardListHasher hasher;
        std::uint64_t size = 0;
        bool read = false;
        TPendingFile whole(VersionFolder(m_cardTypeFolder, number), [&](const TByteSink& sink) {
            read = CompressFileInPieces(fileOf(last), sink, [&](std::string_view piece) {
                if (given) return;
                hasher.Add(piece);
                size += piece.size();
            });
        });
        if (!read || !whole.Ok() || !whole.CommitAs(WholeVersionFile(m_cardTypeFolder, number)))
            ThrowCannotCreate(WholeVersionFile(m_cardTypeFolder, number));
        sums[last] = given.value_or(TVersionSumValue{size, hasher.Value(), true});
        store(VersionSumFile(m_cardTypeFolder, number), VersionSumText(sums[last]));
        // The one before it: the card list found, changed outside the history.
        for (std::size_t i = last; i-- > 0;) {
            const int older = m_versions[i].Version.Number;
            // The card list as found was summed under the lock when the save read it.
            const std::optional<TVersionSumValue> sum =
                !m_versions[i].New && m_cardListSum ? m_cardListSum : SumOfFile(fileOf(i));
            const std::optional<TSharedEnds> ends = SharedEnds(bytesOf(i), bytesOf(i + 1));
            if (!sum || !ends) ThrowCannotCreate(WholeVersionFile(m_cardTypeFolder, older));
            sums[i] = *sum;
            store(VersionSumFile(m_cardTypeFolder, older), VersionSumText(sums[i]));
            storeDelta(DeltaVersionFile(m_cardTypeFolder, older, m_versions[i + 1].Version.Number),
                       bytesOf(i), sums[i], bytesOf(i + 1), sums[i + 1], *ends);
        }
        for (int written : m_written)
            if (!FlushFolder(VersionFolder(m_cardTypeFolder, written)))
                ThrowCannotCreate(VersionFolder(m_cardTypeFolder, written));
    }
    // The version before the new ones gets a delta against the first of them. It keeps what it
    // has until the new index is in place; one that cannot be read is left as it is.
    if (!m_versions.empty() && firstNew > 0) {
        const int previous = m_new.Versions[firstNew - 1].Number;
        const fs::path delta =
            DeltaVersionFile(m_cardTypeFolder, previous, m_new.Versions[firstNew].Number);
        std::string held;  // the version's bytes, where the card list file is not it
        std::optional<TVersionBytes> bytes;
        std::optional<TVersionSumValue> sum;
        const bool isOld = !m_outside && oldBytes && previous == m_old.Position;
        if (isOld) {
            // The card list was found to be this version: its sum is the version's.
            bytes = oldBytes;
            if (const std::optional<std::string> text =
                    ReadWholeFile(VersionSumFile(m_cardTypeFolder, previous)))
                sum = ParseVersionSum(*text);
            if (!sum || !sum->Identity) sum = m_cardListSum;
            if (!sum) sum = SumOfFile(oldCardList);
        } else {
            try {
                held = ReadVersionBytes(m_cardTypeFolder, m_old, previous);
                bytes.emplace(held);
                sum = IdentitySum(held);
            } catch (const VastrelleError&) {
            }
        }
        if (bytes) {
            if (!sum) ThrowCannotCreate(delta);
            const std::optional<TSharedEnds> ends =
                isOld && m_versions[0].New ? oldAgainstNew() : SharedEnds(*bytes, bytesOf(0));
            if (!ends) ThrowCannotCreate(delta);
            m_rebasedDelta = delta;
            storeDelta(delta, *bytes, *sum, bytesOf(0), sums[0], *ends);
            if (!FlushFolder(delta.parent_path())) ThrowCannotCreate(delta);
            m_rebased = previous;
        }
    }
    if (m_moveTo) m_new.Position = *m_moveTo;
    // The oldest go first; the version the card list becomes always stays.
    while (m_new.Versions.size() > kKeptPreviousVersions + 1 &&
           m_new.Versions.front().Number != m_new.Position)
        m_new.Versions.erase(m_new.Versions.begin());
    if (!m_written.empty() && !FlushFolder(m_folder)) ThrowCannotCreate(m_folder);
}

void THistoryRecord::Keep(const fs::path& folder, bool& made, const fs::path& from,
                          const fs::path& fileName) {
    if (!m_recordsChange || !m_enabled) return;
    if (!made) {
        if (fileops::MakeFolder(folder) != 0) ThrowCannotCreate(folder);
        made = true;
    }
    if (!LinkOrCopy(from, folder / fileName)) ThrowCannotCreate(folder / fileName);
}

void THistoryRecord::KeepBefore(const fs::path& file) {
    if (m_written.empty()) return;
    Keep(BeforeFolder(m_cardTypeFolder, m_written.back()), m_madeBefore, file, file.filename());
}

void THistoryRecord::KeepAfter(const fs::path& fileName, const fs::path& source) {
    if (m_written.empty()) return;
    Keep(AfterFolder(m_cardTypeFolder, m_written.back()), m_madeAfter, source, fileName);
}

void THistoryRecord::FlushKept() {
    if (m_written.empty() || !m_recordsChange) return;
    const int number = m_written.back();
    for (auto [made, folder] : {std::pair{m_madeBefore, BeforeFolder(m_cardTypeFolder, number)},
                                std::pair{m_madeAfter, AfterFolder(m_cardTypeFolder, number)}})
        if (made && !FlushFolder(folder)) ThrowCannotCreate(folder);
    if ((m_madeBefore || m_madeAfter) && !FlushFolder(VersionFolder(m_cardTypeFolder, number)))
        ThrowCannotCreate(VersionFolder(m_cardTypeFolder, number));
}

void THistoryRecord::CommitIndex() {
    if (!m_enabled || m_new == m_old) return;
    const fs::path path = HistoryIndexPath(m_cardTypeFolder);
    TPendingFile index(m_folder, HistoryIndexText(m_new));
    m_indexCommitted = index.CommitAs(path);
    if (!m_indexCommitted || !FlushFolder(m_folder))
        throw VastrelleError(FormatMessage(msg::kCannotWrite, path.string()));
}

void THistoryRecord::RollBack() noexcept {
    if (!m_enabled) return;
    try {
        if (m_indexCommitted) {
            const fs::path path = HistoryIndexPath(m_cardTypeFolder);
            bool restored = false;
            if (m_oldIndexText) {
                TPendingFile old(m_folder, *m_oldIndexText);
                restored = old.CommitAs(path);
            } else {
                restored = fileops::Unlink(path) == 0;
            }
            if (restored) FlushFolder(m_folder);
        }
        for (int number : m_written) RemoveTree(VersionFolder(m_cardTypeFolder, number));
        if (m_rebasedDelta && fileops::Unlink(*m_rebasedDelta) == 0)
            FlushFolder(m_rebasedDelta->parent_path());
        if (m_madeFolder) {
            fileops::RemoveFolder(m_folder);
            FlushFolder(m_cardTypeFolder);
        } else if (!m_written.empty()) {
            FlushFolder(m_folder);
        }
    } catch (...) {
    }
}

void THistoryRecord::DropOld() noexcept {
    if (!m_enabled) return;
    std::set<int> kept;
    for (const THistoryVersion& version : m_new.Versions) kept.insert(version.Number);
    // Not flushed: a folder that a power cut brings back is named by no index, and the next
    // save removes it as a leftover.
    for (const THistoryVersion& version : m_old.Versions)
        if (!kept.count(version.Number))
            RemoveTree(VersionFolder(m_cardTypeFolder, version.Number));
    if (m_rebased && kept.count(*m_rebased))
        DropReplacedCopies(m_cardTypeFolder, m_new, *m_rebased, true);
}
