#include "CardTypeDocument.h"

#include <sys/stat.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <span>
#include <utility>

#include "BackgroundCardRead.h"
#include "CardListModel.h"
#include "CardListPrefetch.h"
#include "FileWatch.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"
#include "cardlist/CardListReadBack.h"
#include "cardtypes/ConflictCopies.h"
#include "checklist/ChecklistImport.h"
#include "files/Messages.h"
#include "save/CardHistory.h"
#include "save/CardTypeLock.h"
#include "save/HistoryIndex.h"

namespace {

// A save asked for while the card list shown turned out not to read to the end.
constexpr const char* kNotReadMessage =
    "カードリストを最後まで読み込めなかったため、保存しませんでした。ファイルを直してから読み込み直"
    "してください。";

}  // namespace

TCardTypeDocument::TCardTypeDocument(const std::filesystem::path& programFolder, QObject* parent)
    : QObject(parent),
      m_programFolder(programFolder),
      m_model(new TCardListModel(this)),
      m_watch(new TFileWatch(this)),
      m_deferred(new QTimer(this)),
      m_prefetch(std::make_unique<TCardListPrefetch>(programFolder)) {
    m_deferred->setSingleShot(true);
    m_deferred->setInterval(TFileWatch::kDelayMs);
    connect(m_watch, &TFileWatch::Changed, this, &TCardTypeDocument::FilesChanged);
    connect(m_deferred, &QTimer::timeout, this, &TCardTypeDocument::FilesChanged);
}

// A read still running is waited for: its worker holds the text it reads.
TCardTypeDocument::~TCardTypeDocument() {
    if (m_pendingRead) qApp->removeEventFilter(this);
}

const TCardInfos& TCardTypeDocument::Cards() const { return m_model->Cards(); }

TCardsAsRead TCardTypeDocument::WithIdentity(TCardInfos written) const {
    return {std::move(written), CardListIdentityOf(CardListFile())};
}

std::filesystem::path TCardTypeDocument::CardListFile() const {
    return m_paths.CardTypeFolder() / kCardListFileName;
}

THistorySteps TCardTypeDocument::HistorySteps() const {
    // Told again at CardsSettled, once the card list's identity is known.
    if (!IsWritable() || m_pendingRead) return {};
    struct stat status {};
    std::string index;
    if (::stat(HistoryIndexPath(m_paths.CardTypeFolder()).c_str(), &status) == 0)
        index = std::to_string(status.st_ino) + " " + std::to_string(status.st_size) + " " +
                std::to_string(status.st_mtim.tv_sec) + "." +
                std::to_string(status.st_mtim.tv_nsec);
    if (m_steps && m_steps->CardList == m_identity && m_steps->Index == index)
        return m_steps->Steps;
    m_steps = TStepsCache{m_identity, index, ::HistorySteps(m_paths.CardTypeFolder(), m_identity)};
    return m_steps->Steps;
}

bool TCardTypeDocument::Load(const std::string& cardTypeName, TThumbnailKind kind) {
    m_kind = kind;
    return Load(cardTypeName, nullptr);
}

bool TCardTypeDocument::Reload() { return Load(m_name, nullptr); }

// `written` are cards just written into the card list of the loaded folder and known to read
// back as exactly them, so they are taken instead of reading the file again.
bool TCardTypeDocument::Load(const std::string& cardTypeName, TCardsAsRead* written) {
    // A read still running ends in the rows shown; what it would tell later is for the load
    // that is ending, and is dropped.
    SettleRead(true);
    ++m_loads;
    emit CardsAboutToReset(m_outside);
    std::filesystem::path previousFolder = m_paths.CardTypeFolder();
    m_name = cardTypeName;
    m_paths.Clear();
    m_loaded = false;
    m_readComplete = false;
    m_cardsReadBack = false;
    m_identity = {};

    // The model is reset once, with the cards read or with none: a failed read leaves the list
    // empty, never half-filled.
    TCardInfos cards;
    auto fill = [&](bool read) {
        if (m_pendingRead)
            m_model->FillPreview(m_columns, std::move(cards), m_paths.ImageFolder(), m_kind,
                                 [this] { SettleRead(true); });
        else
            m_model->Fill(m_columns, std::move(cards), m_paths.ImageFolder(), m_kind);
        FindConflictCopies();
        emit CardsReset(read, m_outside);
    };
    bool read = false;
    try {
        std::error_code ec;
        bool named = !cardTypeName.empty() && m_paths.Set(m_programFolder, cardTypeName);
        if (named)
            m_watch->SetPaths({m_paths.CardTypeFolder(), CardListFile()});
        else
            m_watch->SetPaths({});
        if (named && std::filesystem::is_regular_file(CardListFile(), ec)) {
            m_loaded = true;
            m_cardsReadBack = written && previousFolder == m_paths.CardTypeFolder();
            if (m_cardsReadBack) {
                // Cards saved in the model are taken back out of it just before the reset.
                cards = written->Cards.empty() && m_takeModelCards ? m_model->TakeCards()
                                                                   : std::move(written->Cards);
                m_identity = written->Identity;
            } else {
                ReadOrStartReading(cards);
            }
            m_readComplete = true;
            read = true;
        }
    } catch (...) {
        // What could not be read is not read again until it changes.
        try {
            m_identity = CardListIdentityOf(CardListFile());
        } catch (...) {
            m_identity = {};
        }
        m_failureReported = true;
        cards.clear();
        fill(false);
        throw;
    }
    if (read) m_failureReported = false;
    fill(read);
    return read;
}

// A change of the files is another program's when the card list is no longer what this one
// last read or wrote. Nothing is reloaded under a modal window: a dialog or a question may be
// working on the cards shown.
void TCardTypeDocument::FilesChanged() {
    if (!m_paths.IsSet()) return;
    if (QApplication::activeModalWidget() != nullptr) {
        m_deferred->start();
        return;
    }
    SettleRead(false);
    TCardListIdentity now;
    try {
        now = CardListIdentityOf(CardListFile());
    } catch (const VastrelleError&) {
        now.Exists = true;  // there but unreadable: read it to say why
    }
    if (now == m_identity) {
        FindConflictCopies();
        return;
    }
    bool reported = m_failureReported;
    m_outside = true;
    try {
        Load(m_name, nullptr);
    } catch (const VastrelleError& error) {
        if (!reported) emit Failed(error);
    } catch (const std::exception& error) {
        if (!reported) emit Failed(VastrelleError(error.what()));
    }
    m_outside = false;
}

void TCardTypeDocument::FindConflictCopies() {
    std::vector<std::string> copies;
    if (m_paths.IsSet()) {
        try {
            copies = ::FindConflictCopies(m_paths.CardTypeFolder());
        } catch (const VastrelleError&) {
        }
    }
    if (copies == m_conflictCopies) return;
    m_conflictCopies = std::move(copies);
    emit ConflictCopiesChanged();
}

// Saves that build their own cards (undo, redo, a checklist merge): the list shows its cards
// until the reload, also while a failure is being reported; the reload then replaces the array
// by what the file holds.
void TCardTypeDocument::SaveAndReload(const std::function<TCardsAsRead()>& save) {
    SettleRead(false);
    if (!IsWritable()) return;
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
    // The array the list gave up stays in the heap as a hole that the next array, one card
    // larger after a register, does not fit: memory would grow by a card list with every reload.
    malloc_trim(0);
#endif
}

void TCardTypeDocument::SaveCardEdits(std::vector<TCardEdit> edits) {
    SettleRead(false);
    if (!IsWritable() || edits.empty()) return;
    try {
        SaveInModel(
            [&](TCardInfos& cards, TCardListIdentity* written) {
                return ::SaveCardEditsInPlace(m_paths.CardTypeFolder(), cards, m_identity,
                                              std::move(edits), written);
            },
            std::nullopt);
    } catch (const VastrelleError& error) {
        emit Failed(error);
        // A failed save left the cards and the files as they were; only a newer file is shown.
        if (error.ChangedOutside()) Load(m_name, nullptr);
        return;
    }
    ShowSavedCard();
}

void TCardTypeDocument::MergeChecklist(const TChecklistRows& rows) {
    if (!IsWritable()) return;
    SaveAndReload([&] {
        TCardsAsRead written;
        written.Cards = ::MergeChecklist(m_paths.CardTypeFolder(), rows, &written.Identity).Cards;
        return written;
    });
}

void TCardTypeDocument::ToggleOwned(std::size_t index) {
    if (index >= Cards().size()) return;
    TCardInfo card = Cards()[index];
    ::SetOwned(card, !card.Owned, TodayText());
    std::vector<TCardEdit> edits;
    edits.push_back({index, std::move(card)});
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
    std::vector<TCardEdit> edits;
    edits.push_back({index, std::nullopt});
    SaveCardEdits(std::move(edits));
}

void TCardTypeDocument::SetOwned(const std::vector<std::size_t>& indexes, bool owned) {
    if (!IsWritable()) return;
    std::vector<TCardEdit> edits;
    for (std::size_t index : indexes)
        if (index < Cards().size() && Cards()[index].Owned != owned) {
            TCardInfo card = Cards()[index];
            ::SetOwned(card, owned, TodayText());
            edits.push_back({index, std::move(card)});
        }
    if (!edits.empty()) SaveCardEdits(std::move(edits));
}

void TCardTypeDocument::DeleteCards(const std::vector<std::size_t>& indexes) {
    if (!IsWritable()) return;
    std::vector<TCardEdit> edits;
    for (std::size_t index : indexes)
        if (index < Cards().size()) edits.push_back({index, std::nullopt});
    if (!edits.empty()) SaveCardEdits(std::move(edits));
}

void TCardTypeDocument::ShowWritten(TCardsAsRead written) { ReloadWithSaved(std::move(written)); }

// Undo and redo bring back versions of the history, which knows nothing of what the list
// shows: over another program's change they would take back a change the user never saw.
void TCardTypeDocument::Undo() {
    if (!IsWritable()) return;
    SaveAndReload([this] {
        TCardTypeLock lock(m_paths.CardTypeFolder());
        RefuseIfChangedOutside();
        return WithIdentity(::Undo(m_paths.CardTypeFolder()));
    });
}

void TCardTypeDocument::Redo() {
    if (!IsWritable()) return;
    SaveAndReload([this] {
        TCardTypeLock lock(m_paths.CardTypeFolder());
        RefuseIfChangedOutside();
        return WithIdentity(::Redo(m_paths.CardTypeFolder()));
    });
}

void TCardTypeDocument::RefuseIfChangedOutside() const {
    if (CardListIdentityOf(CardListFile()) == m_identity) return;
    VastrelleError error(msg::kChangedOutside);
    error.SetChangedOutside();
    throw error;
}

TCardInfo TCardTypeDocument::SaveCard(std::optional<std::size_t> index, const TCardInfo& card,
                                      const TSideChange& front, const TSideChange& back) {
    std::size_t savedAt = 0;
    try {
        SaveInModel(
            [&](TCardInfos& cards, TCardListIdentity* written) {
                return ::SaveCardInPlace(m_paths.CardTypeFolder(), cards, m_identity, index, card,
                                         front, back, &savedAt, written);
            },
            std::ref(savedAt));
    } catch (const VastrelleError& error) {
        // The dialog stays open over the cards it was opened on; the newer file is shown when
        // it closes.
        if (error.ChangedOutside()) m_deferred->start();
        throw;
    }
    return m_savedCards ? m_savedCards->Cards.at(savedAt) : m_model->Cards().at(savedAt);
}

// Saved on the model's own cards, never a copy of them: a failed save leaves them as they were
// and throws; the rows are shown again at ShowSavedCard, from the model's cards, or from the
// cards written when the change was re-applied onto a card list changed outside.
void TCardTypeDocument::SaveInModel(const TInModelSave& save,
                                    std::optional<std::reference_wrapper<std::size_t>> savedAt) {
    SettleRead(false);
    if (!IsWritable()) throw VastrelleError(kNotReadMessage);
    TCardListIdentity written;
    std::optional<TCardInfos> reread = save(m_model->CardsForSave(), &written);
    m_savedCards.reset();
    m_savedInModel.reset();
    m_savedIndex.reset();
    if (reread) {
        m_savedCards = TCardsAsRead{std::move(*reread), written};
        return;
    }
    m_savedInModel = written;
    if (savedAt) m_savedIndex = savedAt->get();
}

void TCardTypeDocument::ShowSavedCard() {
    const std::optional<TCardListIdentity> inModel = std::exchange(m_savedInModel, {});
    if (!inModel) {
        ReloadWithSaved(std::exchange(m_savedCards, {}));
        return;
    }
    const std::optional<std::size_t> savedAt = std::exchange(m_savedIndex, {});
    const TCardInfos& cards = m_model->Cards();
    const bool readsBack = m_cardsReadBack && savedAt && *savedAt < cards.size()
                               ? ReadsBackAsWritten(std::span(cards).subspan(*savedAt, 1))
                               : ReadsBackAsWritten(cards);
    if (!readsBack) {
        Load(m_name, nullptr);
        return;
    }
    TCardsAsRead saved{{}, *inModel};
    m_takeModelCards = true;
    try {
        Load(m_name, &saved);
    } catch (...) {
        m_takeModelCards = false;
        throw;
    }
    m_takeModelCards = false;
}
