#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Thumbnails.h"
#include "cardlist/CardListIdentity.h"
#include "cardlist/Common.h"
#include "cardtypes/CardTypes.h"
#include "checklist/ChecklistColumns.h"
#include "files/VastrelleError.h"
#include "save/CardHistory.h"
#include "save/CardStore.h"

class QTimer;
class TBackgroundCardRead;
class TCardListPrefetch;
class TCardListModel;
class TFileWatch;

// The loaded card type: its paths, its cards (held by the list model it owns), whether they were
// read completely and what that read saw, and every change of them. A change is saved from the
// cards as read; the save applies it to the file as it is then, or refuses when another program
// changed the file so that the change no longer applies. Every save is followed by a reload, so
// the list always shows what is on disk, and so is every change other programs make to the
// card type's files while no dialog is open. The windows ask it and follow its signals; it shows
// nothing itself.
class TCardTypeDocument : public QObject {
    Q_OBJECT
public:
    TCardTypeDocument(const std::filesystem::path& programFolder, QObject* parent);
    ~TCardTypeDocument() override;

    const std::filesystem::path& ProgramFolder() const { return m_programFolder; }
    TCardListModel* Model() const { return m_model; }
    // The card array of the loaded card type, held by the list model. A large card list is shown
    // before all its cards are read (see CardsSettled); asking for the cards waits for them.
    const TCardInfos& Cards() const;
    // The number of cards and of owned cards, known before all the cards are read.
    std::size_t CardCount() const;
    std::size_t OwnedCount() const;
    const CurrentCardTypePaths& Paths() const { return m_paths; }
    // The CP932 name last loaded (also when it could not be), empty when none.
    const std::string& Name() const { return m_name; }
    // A card type's card list file was found by the last load.
    bool IsLoaded() const { return m_loaded; }
    // ... and read to the end, so writing the card array back loses nothing.
    bool IsWritable() const { return m_loaded && m_readComplete; }
    // File names (UTF-8) beside the card list that sync tools left as conflicting copies of it.
    const std::vector<std::string>& ConflictCopies() const { return m_conflictCopies; }
    // Whether the loaded card type's history has a change to take back or to make again; a
    // history that cannot be read offers nothing.
    // Both at once: telling them reads the card list whole, so the answer is kept until the
    // card list or the history index changes.
    THistorySteps HistorySteps() const;

    // The list columns of every load: the four every refresh sets, and any the user added.
    void SetColumnDatas(TColumnDatas columns) { m_columns = std::move(columns); }
    // Whether the list shown is filtered or sorted, asked at every load: such a list is read
    // whole before it is shown, since laying out its rows asks for every card.
    void SetListArranged(std::function<bool()> arranged) { m_listArranged = std::move(arranged); }

    // Loads the named card type from disk with thumbnails of that kind. False when the name is
    // empty or the card type has no card list file; a card list that fails to read throws,
    // leaving no cards and the card type marked unreadable. Signals CardsReset either way.
    bool Load(const std::string& cardTypeName, TThumbnailKind kind);
    // Loads the same card type again, as the file now is.
    bool Reload();

    // Changes of the loaded card type, each saved at once and then shown as the file now is. A
    // failed or refused save is signalled through Failed before the reload; a failed reload
    // throws. Nothing is done unless the card type is writable. SaveCardEdits changes many cards
    // in one save: each edit names a card of Cards() by index (none: a new card) and what it
    // becomes (none: removed), pictures named as After names them.
    void SaveCardEdits(std::vector<TCardEdit> edits);
    // A checklist's rows merged into the card list as it is on disk when saved, so that a change
    // made outside since the preview is kept.
    void MergeChecklist(const TChecklistRows& rows);
    void ToggleOwned(std::size_t index);  // dated today when it becomes owned
    // One copy more or fewer (delta) of each of those cards, as one save and one undo step;
    // nothing is saved when no card changes (no copies left, or the most there can be).
    void ChangeCopies(const std::vector<std::size_t>& indexes, int delta);
    void DeleteCard(std::size_t index);
    // Many cards at once, each one save: the owned mark of every listed card set, or the listed
    // cards deleted (their picture files stay).
    void SetOwned(const std::vector<std::size_t>& indexes, bool owned);
    void DeleteCards(const std::vector<std::size_t>& indexes);
    // Shows the cards a save made elsewhere (a folder of scans attached) just wrote.
    void ShowWritten(TCardsAsRead written);
    void Undo();
    void Redo();

    // The card dialog's save at OK: the card (index empty: a new one) with its pictures. Throws
    // on failure, so that the dialog stays open; returns the card as written. The list takes the
    // written cards at ShowSavedCard, after the dialog closed.
    TCardInfo SaveCard(std::optional<std::size_t> index, const TCardInfo& card,
                       const TSideChange& front, const TSideChange& back);
    void ShowSavedCard();

signals:
    // Before the model is refilled, and after (read: the card list was read). `outside`: the
    // reload follows a change another program made, so the window keeps what it shows.
    void CardsAboutToReset(bool outside);
    void CardsReset(bool read, bool outside);
    // The cards of a card list shown before they were all read are read now, in the rows shown;
    // what depends on the whole list (history, menus, counts) can be asked again. A read that
    // fails instead resets the cards as unreadable and reports the failure.
    void CardsSettled();
    // A save failed (every file is as before; the reload follows), or a changed card list could
    // not be read (said once until it reads again).
    void Failed(const VastrelleError& error);
    void ConflictCopiesChanged();

protected:
    // User input waits for the cards still being read, so that no command starts on rows that
    // are not all there yet.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Load(const std::string& cardTypeName, TCardsAsRead* written);
    // Reads the card list into `cards`, or for a large one only its first cards, starting the
    // whole read on a worker.
    void ReadOrStartReading(TCardInfos& cards);
    // Takes the worker's cards into the rows shown. `nested`: asked for from inside something
    // that must not see the rows reset (a proxy sorting, a command's first look at the cards);
    // a reset it needs then follows from the event loop, and the rows read as blank and cannot
    // be saved from until it does.
    void SettleRead(bool nested);
    void SaveAndReload(const std::function<TCardsAsRead()>& save);
    void ReloadWithSaved(std::optional<TCardsAsRead> saved);
    // A save on the given cards in place: the cards written when the change was re-applied onto
    // a card list changed outside, else nothing (the given cards are then the cards written).
    using TInModelSave =
        std::function<std::optional<TCardInfos>(TCardInfos& cards, TCardListIdentity* written)>;
    void SaveInModel(const TInModelSave& save,
                     std::optional<std::reference_wrapper<std::size_t>> savedAt);
    std::filesystem::path CardListFile() const;
    void FilesChanged();
    // Cards an undo or redo wrote, with the identity of the file they are in now.
    TCardsAsRead WithIdentity(TCardInfos written) const;
    // Throws the refusal of a save when the card list is not the one read.
    void RefuseIfChangedOutside() const;
    void FindConflictCopies();

    std::filesystem::path m_programFolder;
    TCardListModel* m_model;
    std::string m_name;
    CurrentCardTypePaths m_paths;
    TThumbnailKind m_kind;
    TColumnDatas m_columns = DefaultColumnDatas();
    std::function<bool()> m_listArranged;
    bool m_loaded = false;
    bool m_readComplete = false;
    // What the last read or save saw of the card list file; a change of the file that leaves it
    // as it was is this program's own.
    TCardListIdentity m_identity;
    struct TStepsCache {
        TCardListIdentity CardList;
        std::string Index;  // the index file's status, as text
        THistorySteps Steps;
    };
    mutable std::optional<TStepsCache> m_steps;
    bool m_outside = false;
    // A card list that failed to read was reported; it is not again until it has read.
    bool m_failureReported = false;
    std::vector<std::string> m_conflictCopies;
    TFileWatch* m_watch;
    // Asks again while a modal window is open.
    QTimer* m_deferred;
    // The cards the card dialog's save wrote, for the reload after it.
    std::optional<TCardsAsRead> m_savedCards;
    // The identity of a card list saved from the model's own cards, which are now the cards
    // written; shown at ShowSavedCard.
    std::optional<TCardListIdentity> m_savedInModel;
    bool m_takeModelCards = false;
    // Every card shown is known to read back from the file as it is: after a save of one card,
    // only that card need be checked.
    bool m_cardsReadBack = false;
    std::optional<std::size_t> m_savedIndex;  // the one card a save in the model changed
    // The whole read of a card list shown by its first cards, and what the look at it counted.
    std::unique_ptr<TBackgroundCardRead> m_pendingRead;
    std::size_t m_pendingCards = 0;
    std::size_t m_pendingOwned = 0;
    bool m_pendingPainted = false;  // a paint since the read began
    // The first read of the remembered card type, begun with the window.
    std::unique_ptr<TCardListPrefetch> m_prefetch;
    unsigned m_loads = 0;  // loads begun, so that a reset put off to the event loop is not late
};
