#include "CardTypeDocument.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <algorithm>
#include <utility>

#include "CardListModel.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"
#include "cardlist/CardListReadBack.h"
#include "save/CardHistory.h"
#include "save/CardStore.h"

TCardTypeDocument::TCardTypeDocument(const std::filesystem::path& programFolder, QObject* parent)
    : QObject(parent), m_programFolder(programFolder), m_model(new TCardListModel(this)) {}

const TCardInfos& TCardTypeDocument::Cards() const { return m_model->Cards(); }

bool TCardTypeDocument::CanUndo() const {
    try {
        return IsWritable() && ::CanUndo(m_paths.CardTypeFolder());
    } catch (const VastrelleError&) {
        return false;
    }
}

bool TCardTypeDocument::CanRedo() const {
    try {
        return IsWritable() && ::CanRedo(m_paths.CardTypeFolder());
    } catch (const VastrelleError&) {
        return false;
    }
}

bool TCardTypeDocument::Load(const std::string& cardTypeName, TThumbnailKind kind) {
    m_kind = kind;
    return Load(cardTypeName, nullptr);
}

bool TCardTypeDocument::Reload() { return Load(m_name, nullptr); }

// `written` are cards just written into the card list of the loaded folder and known to read
// back as exactly them, so they are taken instead of reading the file again.
bool TCardTypeDocument::Load(const std::string& cardTypeName, TCardsAsRead* written) {
    emit CardsAboutToReset();
    std::filesystem::path previousFolder = m_paths.CardTypeFolder();
    m_name = cardTypeName;
    m_paths.Clear();
    m_loaded = false;
    m_readComplete = false;
    m_identity = {};

    // The model is reset once, with the cards read or with none: a failed read leaves the list
    // empty, never half-filled.
    TCardInfos cards;
    auto fill = [&](bool read) {
        m_model->Fill(m_columns, std::move(cards), m_paths.ImageFolder(), m_kind);
        emit CardsReset(read);
    };
    bool read = false;
    try {
        std::error_code ec;
        if (!cardTypeName.empty() && m_paths.Set(m_programFolder, cardTypeName) &&
            std::filesystem::is_regular_file(m_paths.CardTypeFolder() / kCardListFileName, ec)) {
            m_loaded = true;
            if (written && previousFolder == m_paths.CardTypeFolder()) {
                cards = std::move(written->Cards);
                m_identity = written->Identity;
            } else {
                ReadCardList(m_paths.CardTypeFolder() / kCardListFileName, cards, &m_identity);
            }
            m_readComplete = true;
            read = true;
        }
    } catch (...) {
        cards.clear();
        fill(false);
        throw;
    }
    fill(read);
    return read;
}

// The list shows the cards until the reload, also while a failure is being reported, so a save
// works on a copy; the reload then replaces the array by what the file holds.
void TCardTypeDocument::SaveAndReload(const std::function<TCardsAsRead()>& save) {
    std::optional<TCardsAsRead> saved;
    try {
        saved = save();
    } catch (const VastrelleError& error) {
        emit Failed(error);
    }
    ReloadWithSaved(std::move(saved));
}

// Cards the file gives back unchanged need not be read again.
void TCardTypeDocument::ReloadWithSaved(std::optional<TCardsAsRead> saved) {
    if (saved && ReadsBackAsWritten(saved->Cards)) {
        Load(m_name, &*saved);
    } else {
        saved.reset();  // not held beside the cards read again
        Load(m_name, nullptr);
    }
#if defined(__GLIBC__)
    // The array the list gave up stays in the heap as a hole that the next save's copy, one card
    // larger after a register, does not fit: memory would grow by a card list with every save.
    malloc_trim(0);
#endif
}

TCardsAsRead TCardTypeDocument::WithIdentity(TCardInfos written) const {
    return {std::move(written), CardListIdentityOf(m_paths.CardTypeFolder() / kCardListFileName)};
}

TCardsAsRead TCardTypeDocument::CardsAsRead(std::size_t room) const {
    TCardsAsRead read;
    read.Cards.reserve(Cards().size() + room);
    read.Cards.assign(Cards().begin(), Cards().end());
    read.Identity = m_identity;
    return read;
}

void TCardTypeDocument::SaveCardEdits(std::vector<TCardEdit> edits) {
    if (!IsWritable()) return;
    SaveAndReload(
        [&] { return ::SaveCardEdits(m_paths.CardTypeFolder(), CardsAsRead(), std::move(edits)); });
}

void TCardTypeDocument::ToggleOwned(std::size_t index) {
    if (!IsWritable() || index >= Cards().size()) return;
    TCardInfo card = Cards()[index];
    SetOwned(card, !card.Owned, TodayText());
    std::vector<TCardEdit> edits;
    edits.push_back(TCardEdit{index, std::move(card)});
    SaveCardEdits(std::move(edits));
}

void TCardTypeDocument::ChangeCopies(const std::vector<std::size_t>& indexes, int delta) {
    if (!IsWritable()) return;
    const std::string today = TodayText();
    std::vector<TCardEdit> edits;
    for (std::size_t index : indexes) {
        if (index >= Cards().size()) continue;
        TCardInfo card = Cards()[index];
        int copies = Copies(card);
        int wanted = std::clamp(copies + delta, 0, kMaxCopies);
        if (wanted == copies) continue;
        SetCopies(card, wanted, today);
        edits.push_back(TCardEdit{index, std::move(card)});
    }
    if (!edits.empty()) SaveCardEdits(std::move(edits));
}

void TCardTypeDocument::DeleteCard(std::size_t index) {
    if (!IsWritable() || index >= Cards().size()) return;
    // The card's picture files stay, as they always have: their names stay taken, and
    // `vastrelle-cli check` lists them as orphans.
    SaveAndReload([&] { return ::DeleteCard(m_paths.CardTypeFolder(), CardsAsRead(), index); });
}

void TCardTypeDocument::Undo() {
    if (!IsWritable()) return;
    SaveAndReload([this] { return WithIdentity(::Undo(m_paths.CardTypeFolder())); });
}

void TCardTypeDocument::Redo() {
    if (!IsWritable()) return;
    SaveAndReload([this] { return WithIdentity(::Redo(m_paths.CardTypeFolder())); });
}

TCardInfo TCardTypeDocument::SaveCard(std::optional<std::size_t> index, const TCardInfo& card,
                                      const TSideChange& front, const TSideChange& back) {
    // The save's own copy, with room for one more card: a register then never moves the whole
    // array to a buffer twice its size while both are held.
    std::size_t savedAt = 0;
    m_savedCards =
        ::SaveCard(m_paths.CardTypeFolder(), CardsAsRead(1), index, card, front, back, &savedAt);
    return m_savedCards->Cards.at(savedAt);
}

void TCardTypeDocument::ShowSavedCard() { ReloadWithSaved(std::exchange(m_savedCards, {})); }
