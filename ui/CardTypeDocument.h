#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Thumbnails.h"
#include "cardlist/CardListIdentity.h"
#include "cardlist/Common.h"
#include "cardtypes/CardTypes.h"
#include "files/VastrelleError.h"
#include "save/CardStore.h"

class TCardListModel;

// The loaded card type: its paths, its cards (held by the list model it owns), whether they were
// read completely, and every change of them: a save is followed by a reload, so the list always
// shows what is on disk. The windows ask it and follow its signals; it shows nothing itself.
class TCardTypeDocument : public QObject {
    Q_OBJECT
public:
    TCardTypeDocument(const std::filesystem::path& programFolder, QObject* parent);

    const std::filesystem::path& ProgramFolder() const { return m_programFolder; }
    TCardListModel* Model() const { return m_model; }
    // The card array of the loaded card type, held by the list model.
    const TCardInfos& Cards() const;
    const CurrentCardTypePaths& Paths() const { return m_paths; }
    // The CP932 name last loaded (also when it could not be), empty when none.
    const std::string& Name() const { return m_name; }
    // A card type's card list file was found by the last load.
    bool IsLoaded() const { return m_loaded; }
    // ... and read to the end, so writing the card array back loses nothing.
    bool IsWritable() const { return m_loaded && m_readComplete; }
    // Whether the loaded card type's history has a change to take back or to make again; a
    // history that cannot be read offers nothing.
    bool CanUndo() const;
    bool CanRedo() const;

    // The list columns of every load: the four every refresh sets, and any the user added.
    void SetColumnDatas(TColumnDatas columns) { m_columns = std::move(columns); }

    // Loads the named card type from disk with thumbnails of that kind. False when the name is
    // empty or the card type has no card list file; a card list that fails to read throws,
    // leaving no cards and the card type marked unreadable. Signals CardsReset either way.
    bool Load(const std::string& cardTypeName, TThumbnailKind kind);
    // Loads the same card type again, as the file now is.
    bool Reload();

    // Changes of the loaded card type, each saved at once and then shown as the file now is. A
    // failed save is signalled through Failed before the reload; a failed reload throws. Nothing
    // is done unless the card type is writable.
    void SaveCardEdits(std::vector<TCardEdit> edits);  // texts or owned marks; pictures stay
    void ToggleOwned(std::size_t index);               // dated today when it becomes owned
    // One copy more or fewer (delta) of each of those cards, as one save and one undo step;
    // nothing is saved when no card changes (no copies left, or the most there can be).
    void ChangeCopies(const std::vector<std::size_t>& indexes, int delta);
    void DeleteCard(std::size_t index);
    void Undo();
    void Redo();

    // The card dialog's save at OK: the card (index empty: a new one) with its pictures. Throws
    // on failure, so that the dialog stays open; returns the card as written. The list takes the
    // written cards at ShowSavedCard, after the dialog closed.
    TCardInfo SaveCard(std::optional<std::size_t> index, const TCardInfo& card,
                       const TSideChange& front, const TSideChange& back);
    void ShowSavedCard();

signals:
    // Before the model is refilled, and after (read: the card list was read).
    void CardsAboutToReset();
    void CardsReset(bool read);
    // A save failed; every file is as before. The reload follows.
    void Failed(const VastrelleError& error);

private:
    bool Load(const std::string& cardTypeName, TCardsAsRead* written);
    void SaveAndReload(const std::function<TCardsAsRead()>& save);
    void ReloadWithSaved(std::optional<TCardsAsRead> saved);
    // The cards as the list shows them with what their read saw, for a save computed from them.
    TCardsAsRead CardsAsRead(std::size_t room = 0) const;
    // Cards an undo or redo wrote, with the identity of the file they are in now.
    TCardsAsRead WithIdentity(TCardInfos written) const;

    std::filesystem::path m_programFolder;
    TCardListModel* m_model;
    std::string m_name;
    CurrentCardTypePaths m_paths;
    TThumbnailKind m_kind;
    TColumnDatas m_columns = DefaultColumnDatas();
    bool m_loaded = false;
    bool m_readComplete = false;
    // What the read of the shown cards saw, so that a save can tell whether the file changed.
    TCardListIdentity m_identity;
    // The cards the card dialog's save wrote, for the reload after it.
    std::optional<TCardsAsRead> m_savedCards;
};
