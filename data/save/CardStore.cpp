#include "save/CardStore.h"

#include <sys/stat.h>

#include <map>
#include <set>

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/AtomicFile.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/PendingFile.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/HistoryRecord.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowCardListFailed() {
    throw VastrelleError(msg::kCardListSaveFailed, MessageKind::ErrorAbort);
}

[[noreturn]] void ThrowCannotWrite(const fs::path& path) {
    throw VastrelleError(FormatMessage(msg::kCannotWrite, path.string()));
}

fs::path FilePath(const fs::path& imageFolder, std::string_view name) {
    auto path = ImageFilePath(imageFolder, name);
    if (!path)
        throw VastrelleError(
            FormatMessage(msg::kCannotCreate, (imageFolder / cp932::ToUtf8Lossy(name)).string()));
    return *path;
}

std::string StatusOf(const TCardInfos& cards) {
    std::size_t owned = 0;
    for (const TCardInfo& card : cards) owned += card.Owned ? 1 : 0;
    return StatusLineText(owned, cards.size());
}

// A bare file name of the image folder, as the history keeps them.
bool IsPlainFileName(const fs::path& name) {
    return !name.empty() && name == name.filename() && name != "." && name != "..";
}

std::optional<mode_t> ModeOf(const fs::path& path, bool* exists = nullptr) {
    struct stat st {};
    const bool found = ::lstat(path.c_str(), &st) == 0;
    if (exists) *exists = found;
    if (found && S_ISDIR(st.st_mode))
        throw VastrelleError(FormatMessage(msg::kCannotCreate, path.string()));
    return found ? std::optional<mode_t>(st.st_mode & 07777) : std::nullopt;
}

// One file of the image folder that the save gives new bytes (New set) or removes.
struct TTarget {
    fs::path Path;
    std::string NewBytes;
    std::optional<fs::path> Source;  // a kept file put back instead of NewBytes
    bool Removed = false;
    bool Existed = false;
    std::optional<mode_t> Mode;
    std::unique_ptr<TPendingFile> New;
    std::optional<fs::path> Backup;  // the old bytes under a temporary name
    bool Published = false;          // a new name, put in place before the commit
    bool Done = false;               // given its new bytes or removed after the commit
};

// The steps of one save and, until Commit, their undoing: whatever happens, the destructor of an
// unfinished save puts every file back, in an order that never leaves the card list naming a
// file that is not there.
class TSave {
public:
    TSave(const fs::path& cardTypeFolder, const TCardChange& change, TCardListIdentity* written)
        : m_cardTypeFolder(cardTypeFolder),
          m_imageFolder(cardTypeFolder / kImageFolderName),
          m_cardList(cardTypeFolder / kCardListFileName),
          m_change(change),
          m_written(written) {
        Prepare(change);
    }
    TSave(const TSave&) = delete;
    TSave& operator=(const TSave&) = delete;

    ~TSave() {
        if (!m_finished) RollBack();
        // Backups and the temporary names of published files go; TPendingFile removes the rest.
        for (TTarget& target : m_targets)
            if (target.Backup) fileops::Unlink(*target.Backup);
        if (m_oldCardList) fileops::Unlink(*m_oldCardList);
        if (m_finished || !m_madeImageFolder) return;
        for (TTarget& target : m_targets) target.New.reset();  // its pending files
        if (fileops::RemoveFolder(m_imageFolder) == 0) FlushFolder(m_cardTypeFolder);
    }

    void Run() {
        RemoveStaleTemporaryFiles(m_imageFolder);
        RemoveStaleTemporaryFiles(m_cardTypeFolder);
        m_history->RemoveLeftovers();
        KeepOldCardList();
        MakeImageFolder();
        WritePending();
        m_history->WriteVersions(m_oldCardList.value_or(fs::path()),
                                 m_pendingCardList->TemporaryPath(), !m_targets.empty(),
                                 TVersionSumValue{m_writtenSize, m_writtenHash.Value(), true});
        KeepOldBytes();
        PublishNewNames();
        CommitCardList();
        // After the card list: a kill in between leaves a card list that the next save takes for
        // one changed outside the history and records as it is.
        m_history->CommitIndex();
        ReplaceAndRemove();
        m_finished = true;
        m_history->DropOld();
    }

private:
    void Prepare(const TCardChange& change) {
        if (m_cardTypeFolder.empty() || !IsReplaceable(m_cardList)) ThrowCardListFailed();
        try {
            m_cardListMode = ModeOf(m_cardList, &m_cardListExisted);
        } catch (const VastrelleError&) {
            ThrowCardListFailed();  // a folder in its place
        }

        // The last picture of a name wins, as the side stored last did.
        std::map<std::string, const TNewPicture*> pictures;
        for (const TNewPicture& picture : change.Pictures) pictures[picture.Name] = &picture;
        std::map<fs::path, std::size_t> byPath;
        auto add = [&](const fs::path& path, std::string bytes, bool removed,
                       std::optional<fs::path> source = std::nullopt) {
            auto [it, added] = byPath.emplace(path, m_targets.size());
            if (!added) {
                m_targets[it->second].NewBytes = std::move(bytes);
                m_targets[it->second].Source = std::move(source);
                return;
            }
            TTarget& target = m_targets.emplace_back();
            target.Path = path;
            target.NewBytes = std::move(bytes);
            target.Source = std::move(source);
            target.Removed = removed;
            target.Mode = ModeOf(path, &target.Existed);
        };
        for (const auto& [name, picture] : pictures) {
            const fs::path path = FilePath(m_imageFolder, name);
            const fs::path large =
                FilePath(m_imageFolder, ReplaceExtension(name, kLargeThumbnailExtension));
            const fs::path small =
                FilePath(m_imageFolder, ReplaceExtension(name, kSmallThumbnailExtension));
            // Decoded before anything is written: a picture that does not decode fails here.
            TThumbnailFiles thumbnails =
                picture->Thumbnails ? *picture->Thumbnails
                                    : MakeThumbnailFiles(picture->Bytes, picture->Decoded.get(),
                                                         m_imageFolder, name);
            add(path, picture->Bytes, false);
            add(large, std::move(thumbnails.Large), false);
            add(small, std::move(thumbnails.Small), false);
        }
        for (const TKeptFile& kept : change.KeptFiles) {
            if (!IsPlainFileName(kept.FileName)) continue;
            add(m_imageFolder / kept.FileName, {}, false, kept.Source);
        }

        // Files the change may remove stay while any card of the saved list names them, a card
        // whose two sides share one file included. Only those few paths are looked up: a set of
        // every card's files would cost far more than the save at 100,000 cards.
        std::set<fs::path> candidates;
        auto addCandidate = [&](const fs::path& path) {
            std::error_code ec;
            if (!byPath.count(path) && fs::is_regular_file(fs::symlink_status(path, ec)))
                candidates.insert(path);
        };
        for (const std::string& name : change.Released) {
            if (!ImageFilePath(m_imageFolder, name)) continue;
            for (const std::string& file : {name, ReplaceExtension(name, kLargeThumbnailExtension),
                                            ReplaceExtension(name, kSmallThumbnailExtension)})
                if (auto path = ImageFilePath(m_imageFolder, file)) addCandidate(*path);
        }
        for (const fs::path& fileName : change.RemovedFiles)
            if (IsPlainFileName(fileName)) addCandidate(m_imageFolder / fileName);
        if (!candidates.empty())
            for (const TCardInfo& card : change.Cards)
                for (const std::string* name :
                     {&card.FrontImageFileName, &card.BackImageFileName}) {
                    if (name->empty()) continue;
                    for (const std::string& file :
                         {*name, ReplaceExtension(*name, kLargeThumbnailExtension),
                          ReplaceExtension(*name, kSmallThumbnailExtension)})
                        if (auto path = ImageFilePath(m_imageFolder, file)) candidates.erase(*path);
                }
        for (const fs::path& path : candidates) add(path, {}, true);

        std::optional<TVersionSumValue> found;
        if (change.CardListAsFound && change.CardListAsFound->Exists)
            found =
                TVersionSumValue{change.CardListAsFound->Size, change.CardListAsFound->Hash, true};
        m_history = std::make_unique<THistoryRecord>(m_cardTypeFolder, m_cardListExisted,
                                                     StatusOf(change.Cards), change.ReplacedStatus,
                                                     change.HistoryPosition, found);

        // A read-only file is never replaced or removed: the save is refused while nothing has
        // changed.
        for (const TTarget& target : m_targets)
            if (target.Existed && !IsReplaceable(target.Path)) Fail(target);
    }

    [[noreturn]] void Fail(const TTarget& target) const {
        if (target.Removed) ThrowCannotWrite(target.Path);
        throw VastrelleError(FormatMessage(msg::kCannotCreate, target.Path.string()));
    }

    // The old card list stays under a second name until the end, so that a failure after the
    // commit can put it back without holding its bytes.
    void KeepOldCardList() {
        if (!m_cardListExisted) return;
        m_oldCardList = LinkTemporaryName(m_cardList);
        if (!m_oldCardList) ThrowCardListFailed();
    }

    // A card type made by hand or by `write` may have no image folder yet.
    void MakeImageFolder() {
        bool stores = false;
        for (const TTarget& target : m_targets) stores = stores || !target.Removed;
        std::error_code ec;
        if (!stores || fs::exists(fs::symlink_status(m_imageFolder, ec))) return;
        if (fileops::MakeFolder(m_imageFolder) != 0) ThrowCannotWrite(m_imageFolder);
        m_madeImageFolder = true;
        if (!FlushFolder(m_cardTypeFolder)) ThrowCannotWrite(m_imageFolder);
    }

    void WritePending() {
        for (TTarget& target : m_targets) {
            if (target.Removed) continue;
            if (target.Source)
                target.New =
                    std::make_unique<TPendingFile>(m_imageFolder, TLinkedFile{*target.Source});
            else
                target.New =
                    std::make_unique<TPendingFile>(m_imageFolder, target.NewBytes, target.Mode);
            target.NewBytes.clear();
            if (!target.New->Ok()) Fail(target);
        }
        // Streamed: the text of 100,000 cards is never held whole beside the cards. Hashed on
        // the way, for the identity of the written file.
        m_pendingCardList = std::make_unique<TPendingFile>(
            m_cardTypeFolder,
            [this](const TByteSink& sink) {
                auto hashed = [this, &sink](std::string_view piece) {
                    m_writtenHash.Add(piece);
                    m_writtenSize += piece.size();
                    return sink(piece);
                };
                if (m_change.CardListBytes)
                    hashed(*m_change.CardListBytes);
                else
                    WriteCardListText(m_change.Cards, hashed);
            },
            m_cardListMode);
        if (!m_pendingCardList->Ok()) ThrowCardListFailed();
    }

    // A hard link keeps the old bytes of every file that is replaced or removed, so that a
    // failure after the commit can put them back.
    // The history keeps them too, and the bytes the save writes, for undo and redo.
    void KeepOldBytes() {
        for (TTarget& target : m_targets) {
            if (target.Existed) {
                target.Backup = LinkTemporaryName(target.Path);
                if (!target.Backup) Fail(target);
                m_history->KeepBefore(target.Path);
            }
            if (!target.Removed)
                m_history->KeepAfter(target.Path.filename(), target.New->TemporaryPath());
        }
        m_history->FlushKept();
    }

    // A free name replaces nothing, so the new file can be there before the card list names it.
    void PublishNewNames() {
        bool published = false;
        for (TTarget& target : m_targets) {
            if (target.Existed || target.Removed) continue;
            if (!target.New->PublishAs(target.Path)) Fail(target);
            target.Published = published = true;
        }
        if (published && !FlushFolder(m_imageFolder)) ThrowCannotWrite(m_imageFolder);
    }

    void CommitCardList() {
        if (!m_pendingCardList->CommitAs(m_cardList)) ThrowCardListFailed();
        m_cardListCommitted = true;
        if (!FlushFolder(m_cardTypeFolder)) ThrowCardListFailed();
        if (!m_written) return;
        // Under the lock the file is still the one just written: its status is the written one.
        struct stat status {};
        *m_written = ::stat(m_cardList.c_str(), &status) == 0
                         ? CardListIdentityFrom(status, m_writtenHash.Value())
                         : TCardListIdentity{};
    }

    void ReplaceAndRemove() {
        bool changed = false;
        for (TTarget& target : m_targets) {
            if (!target.Existed) continue;
            const bool ok = target.Removed ? fileops::Unlink(target.Path) == 0
                                           : target.New->CommitAs(target.Path);
            if (!ok) Fail(target);
            target.Done = changed = true;
        }
        if (changed && !FlushFolder(m_imageFolder)) ThrowCannotWrite(m_imageFolder);
    }

    void RollBack() noexcept {
        bool imageFolderChanged = false;
        for (TTarget& target : m_targets) {
            if (!target.Done || !target.Backup) continue;
            if (fileops::Rename(*target.Backup, target.Path) == 0) target.Backup.reset();
            imageFolderChanged = true;
        }
        if (m_cardListCommitted) {
            try {
                bool restored = false;
                if (m_oldCardList) {
                    restored = fileops::Rename(*m_oldCardList, m_cardList) == 0;
                    if (restored) m_oldCardList.reset();
                } else {
                    restored = fileops::Unlink(m_cardList) == 0;
                }
                if (restored) FlushFolder(m_cardTypeFolder);
            } catch (...) {
            }
        }
        for (TTarget& target : m_targets) {
            if (!target.Published) continue;
            fileops::Unlink(target.Path);
            imageFolderChanged = true;
        }
        if (imageFolderChanged) FlushFolder(m_imageFolder);
        if (m_history) m_history->RollBack();
    }

    fs::path m_cardTypeFolder;
    fs::path m_imageFolder;
    fs::path m_cardList;
    const TCardChange& m_change;
    TCardListIdentity* m_written;
    TCardListHasher m_writtenHash;
    std::uint64_t m_writtenSize = 0;
    bool m_cardListExisted = false;
    std::optional<fs::path> m_oldCardList;  // the old card list's second name
    std::optional<mode_t> m_cardListMode;
    std::vector<TTarget> m_targets;
    std::unique_ptr<TPendingFile> m_pendingCardList;
    std::unique_ptr<THistoryRecord> m_history;
    bool m_cardListCommitted = false;
    bool m_madeImageFolder = false;
    bool m_finished = false;
};

}  // namespace

void SaveCardChange(const fs::path& cardTypeFolder, const TCardChange& change,
                    TCardListIdentity* written) {
    TSave save(cardTypeFolder, change, written);
    save.Run();
}
