#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cardlist/CardListIdentity.h"
#include "cardlist/Common.h"
#include "pictures/CardImages.h"

// One change of a card type's cards saved as a whole: the card list file and the pictures it
// names change together or not at all.

// A picture that a save puts into the image folder: the chosen file's bytes, stored unchanged.
struct TNewPicture {
    std::string Name;   // bare CP932 file name
    std::string Bytes;  // the JPEG file's bytes
    // The picture decoded already (for the dialog's frame), so that it is decoded once; the save
    // decodes the bytes when it is empty.
    std::shared_ptr<const TBitmap> Decoded;
    // The thumbnails made already (a folder of scans makes them on every core); the save makes
    // them when empty.
    std::shared_ptr<const TThumbnailFiles> Thumbnails = nullptr;
};

enum class TSideEdit { Keep, Replace, Remove };

// What happens to one side of the saved card.
struct TSideChange {
    TSideEdit Edit = TSideEdit::Keep;
    TNewPicture Picture;  // for Replace
};

// A file of the image folder put back as the history kept it.
struct TKeptFile {
    std::filesystem::path FileName;  // its file-system name in the image folder
    std::filesystem::path Source;    // the kept file
};

// The card list after a change and what the change does in the image folder.
struct TCardChange {
    TCardInfos Cards;                   // the whole card list as it is to be written
    std::vector<TNewPicture> Pictures;  // stored under their names; of two with one name the last
    // Picture names the change gave up: each is removed with its thumbnails unless a card of
    // Cards still names the file.
    std::vector<std::string> Released;
    // Undo, redo, restore and the clean-up of orphans: files put back as they were kept, and
    // single files (file-system names) removed unless a card of Cards names them.
    std::vector<TKeptFile> KeptFiles;
    std::vector<std::filesystem::path> RemovedFiles;
    // The card list file as it is to be written, when it is a kept version to be brought back
    // byte for byte rather than the writer's text of Cards.
    std::optional<std::string> CardListBytes;
    // The status line of the cards the change was made on, as the caller read them: the label of
    // the card list when the history records it as found, which spares reading it once more.
    std::optional<std::string> ReplacedStatus;
    // Undo and redo: the kept version the card list becomes. Without it the change is recorded
    // in the history as a new version, the files it replaces or removes kept with it.
    std::optional<int> HistoryPosition;
    // The identity of the card list file as the caller found it under the lock, which spares the
    // history reading it once more.
    std::optional<TCardListIdentity> CardListAsFound;
};

// Saves the change as one transaction: the new pictures and thumbnails are written and flushed
// under temporary names; a new name is put in place at once (it replaces nothing); the card list
// is replaced; only then do files of the same name get their new bytes and released files go,
// the old bytes being kept under temporary names until the end. The history (HistoryIndex.h)
// changes in the same transaction: the files that are replaced or removed are kept in it rather
// than deleted. Any failure puts every file back as it was and throws VastrelleError with the
// message of the step that failed; a kill at any point leaves a card list that names only files
// that exist and a history index that names only versions that are complete. A read-only file
// that would be replaced or removed refuses the save before anything is written.
// `written`, when given, receives the identity of the card list file as written. The caller holds
// the card type's lock (CardTypeLock.h) where the change was computed from a read.
void SaveCardChange(const std::filesystem::path& cardTypeFolder, const TCardChange& change,
                    TCardListIdentity* written = nullptr);

// The cards of one read with what that read saw.
struct TCardsAsRead {
    TCardInfos Cards;
    TCardListIdentity Identity;
};

// Reads the card type's card list with its identity, for a change to be saved from it. Throws
// VastrelleError with the reader's message; a read that throws is never saved back.
TCardsAsRead ReadCardsAsRead(const std::filesystem::path& cardTypeFolder);

// One card's part of a change of many cards: card `Index` of the cards as read (empty: a new card,
// appended) becomes `After` (empty: the card is removed). Picture names are taken from After.
struct TCardEdit {
    std::optional<std::size_t> Index;
    std::optional<TCardInfo> After;
};

// The save rule. Each function below takes the card type's lock and compares read.Identity with
// the card list file. Unchanged: the change is made on read.Cards. Changed: the file is read
// again and the change re-applied when that is unambiguous: a new card is appended; an edited or
// removed card is found at the same position with the same number and title, or else as the only
// card with that number and title, and only the fields the change changed are set, so that an
// outside change of another field survives. Otherwise nothing is written and VastrelleError is
// thrown with msg::kChangedOutside and ChangedOutside() true: when the card is not found or is
// found twice, when a field was changed both outside and here to different values, when a
// removed card was changed outside, when the card list no longer reads, and when a new picture's
// name has meanwhile been taken by another card or file. Returns the cards as written and the
// identity of the written file. A failure of the save itself leaves every file as before.

// Registers (index empty: appended) or edits (card `*index` of read.Cards) one card. `card` holds
// the texts and the owned mark; its picture names are taken from the card before the change and
// the side changes. read is taken by value so that a caller that gives it up (std::move) saves
// without a copy of the array. `savedAt`, when given, receives the saved card's position in the
// cards as written.
TCardsAsRead SaveCard(const std::filesystem::path& cardTypeFolder, TCardsAsRead read,
                      std::optional<std::size_t> index, const TCardInfo& card,
                      const TSideChange& front, const TSideChange& back,
                      std::size_t* savedAt = nullptr);

// The same save made on the caller's cards in place, so that a large card list is never copied
// for a one-card change: on success they are the cards as written (their identity in `written`);
// on failure they are as they were. When the card list had changed outside, the change is
// re-applied onto it as above, the caller's cards are left as they were, and the cards written
// are returned.
std::optional<TCardInfos> SaveCardInPlace(const std::filesystem::path& cardTypeFolder,
                                          TCardInfos& cards, const TCardListIdentity& identity,
                                          std::optional<std::size_t> index, const TCardInfo& card,
                                          const TSideChange& front, const TSideChange& back,
                                          std::size_t* savedAt, TCardListIdentity* written);

// Deletes card `index` of read.Cards; its picture files stay.
TCardsAsRead DeleteCard(const std::filesystem::path& cardTypeFolder, TCardsAsRead read,
                        std::size_t index);

// Many cards changed as one save and one history version: owned marks and texts of many cards,
// removals and appends. An index named twice is refused as a failed save.
TCardsAsRead SaveCardEdits(const std::filesystem::path& cardTypeFolder, TCardsAsRead read,
                           std::vector<TCardEdit> edits);

// The same on the caller's cards in place, as SaveCardInPlace.
std::optional<TCardInfos> SaveCardEditsInPlace(const std::filesystem::path& cardTypeFolder,
                                               TCardInfos& cards, const TCardListIdentity& identity,
                                               std::vector<TCardEdit> edits,
                                               TCardListIdentity* written);

// Writes the cards as they are, over whatever the file holds (a whole write, as `vastrelle-cli
// write` asks), under the lock. Returns them.
TCardInfos SaveCards(const std::filesystem::path& cardTypeFolder, TCardInfos cards);
