// The save rule: a change is computed from the card list as it is on disk when it is saved, with
// the card type locked against other writers.
#include <functional>
#include <string_view>
#include <unordered_map>

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "pictures/ImageNames.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowChangedOutside() {
    VastrelleError error(msg::kChangedOutside, MessageKind::Warning);
    error.SetChangedOutside();
    throw error;
}

[[noreturn]] void ThrowCardListFailed() {
    throw VastrelleError(msg::kCardListSaveFailed, MessageKind::ErrorAbort);
}

std::string StatusOf(const TCardInfos& cards) {
    std::size_t owned = 0;
    for (const TCardInfo& card : cards) owned += card.Owned ? 1 : 0;
    return StatusLineText(owned, cards.size());
}

// One card's part of the change. Sides are given by a single-card save, whose new pictures
// come with it; without them the picture names are those of After.
struct TPlannedEdit {
    std::optional<std::size_t> Index;
    std::optional<TCardInfo> Before;  // the card as read, for an Index
    std::optional<TCardInfo> After;
    const TSideChange* Front = nullptr;
    const TSideChange* Back = nullptr;
};

// Sets one field the change changed onto the card as it is now; false when another program
// changed the same field to something else (neither change may silently win).
template <class T>
bool MergeField(T& now, const T& before, const T& after) {
    if (after == before) return true;
    if (now != before && now != after) return false;
    now = after;
    return true;
}

// Where the card edited in the cards as read is in the card list as it is now: at the same
// position with the same number and title, or else as the only card with them.
class TCardFinder {
public:
    explicit TCardFinder(const TCardInfos& cards) : m_cards(cards) {}

    std::optional<std::size_t> Find(std::size_t position, const TCardInfo& before) {
        if (position < m_cards.size() && SameCard(m_cards[position], before)) return position;
        if (!m_built) Build();
        auto it = m_byKey.find(Key(before));
        if (it == m_byKey.end() || it->second.size() != 1) return std::nullopt;
        return it->second.front();
    }

private:
    static bool SameCard(const TCardInfo& a, const TCardInfo& b) {
        return a.Number == b.Number && a.Title == b.Title;
    }
    static std::string Key(const TCardInfo& card) {
        std::string key = card.Number;
        key += '\0';
        key += card.Title;
        return key;
    }
    // Built only when a card moved: an unchanged file never pays for it.
    void Build() {
        for (std::size_t i = 0; i < m_cards.size(); ++i) m_byKey[Key(m_cards[i])].push_back(i);
        m_built = true;
    }

    const TCardInfos& m_cards;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byKey;
    bool m_built = false;
};

// A new picture's name must still be free when the change is re-applied: another program may
// have given it to a card or put a file of that name in the image folder since.
void CheckNameStillFree(const fs::path& imageFolder, const TCardInfos& cards,
                        std::optional<std::size_t> own, const std::string& name,
                        const std::string& sideBefore) {
    if (CheckImageName(imageFolder, name, sideBefore) == TNameCheck::Taken) ThrowChangedOutside();
    const std::string upper = AsciiUpper(name);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (own && i == *own) continue;
        for (const std::string* other : {&cards[i].FrontImageFileName, &cards[i].BackImageFileName})
            if (!other->empty() && AsciiUpper(*other) == upper) ThrowChangedOutside();
    }
}

// Applies one side's picture name (and new picture) onto the card as it is now.
void ApplySide(std::string& now, const std::string& before, const std::string& after,
               const TSideChange* side, bool reapplied, TCardChange& change,
               const std::function<void(const std::string&)>& checkFree) {
    const bool touched = side ? side->Edit != TSideEdit::Keep : after != before;
    if (!touched) return;
    if (now != before) ThrowChangedOutside();  // only when re-applied: as read, now == before
    if (side && side->Edit == TSideEdit::Replace) {
        if (reapplied) checkFree(after);
        change.Pictures.push_back(side->Picture);
    }
    if (!now.empty() && now != after) change.Released.push_back(now);
    now = after;
}

// The card as the change leaves it, from the card as read and the side changes.
TCardInfo WithSides(TCardInfo card, const TCardInfo& before, const TSideChange& front,
                    const TSideChange& back) {
    card.FrontImageFileName = before.FrontImageFileName;
    card.BackImageFileName = before.BackImageFileName;
    for (auto [side, name] :
         {std::pair{&front, &card.FrontImageFileName}, std::pair{&back, &card.BackImageFileName}})
        if (side->Edit != TSideEdit::Keep)
            *name = side->Edit == TSideEdit::Replace ? side->Picture.Name : std::string();
    return card;
}

// What an edit in place changed in the caller's cards, so that a failed save can put them back
// as they were without a copy of the array.
class TInPlaceLog {
public:
    explicit TInPlaceLog(TCardInfos* cards) : m_cards(cards), m_size(cards ? cards->size() : 0) {}
    TInPlaceLog(const TInPlaceLog&) = delete;
    TInPlaceLog& operator=(const TInPlaceLog&) = delete;
    ~TInPlaceLog() {
        if (m_cards && !m_kept) RollBack();
    }
    void Editing(std::size_t at) {
        if (m_cards) m_edited.emplace_back(at, (*m_cards)[at]);
    }
    void Removing(std::size_t at) {
        if (m_cards) m_removed.emplace_back(at, std::move((*m_cards)[at]));
    }
    void Keep() { m_kept = true; }

private:
    void RollBack() noexcept {
        try {
            TCardInfos& cards = *m_cards;
            cards.resize(m_size - m_removed.size());
            // Taken out in ascending order; each goes back to its place among those before it.
            for (auto& [at, card] : m_removed) cards.insert(cards.begin() + at, std::move(card));
            for (auto it = m_edited.rbegin(); it != m_edited.rend(); ++it)
                cards[it->first] = std::move(it->second);
        } catch (...) {
        }
    }
    TCardInfos* m_cards;
    std::size_t m_size;
    std::vector<std::pair<std::size_t, TCardInfo>> m_edited, m_removed;
    bool m_kept = false;
};

// The save of planned edits. `cards` (as read, with `identity`) are changed in place into the
// cards as written, and left as they were on failure; when the card list changed outside, the
// edits are re-applied onto the file as it is and the cards written are returned instead.
std::optional<TCardInfos> SaveEditsInPlace(const fs::path& cardTypeFolder, TCardInfos& given,
                                           const TCardListIdentity& identity,
                                           std::vector<TPlannedEdit> edits, std::size_t* savedAt,
                                           TCardListIdentity* writtenIdentity) {
    std::vector<bool> named(given.size(), false);
    for (const TPlannedEdit& edit : edits) {
        if (!edit.Index) continue;
        if (*edit.Index >= given.size() || named[*edit.Index]) ThrowCardListFailed();
        named[*edit.Index] = true;
    }

    TCardTypeLock lock(cardTypeFolder);
    const fs::path file = cardTypeFolder / kCardListFileName;
    const TCardListIdentity found = CardListIdentityOf(file);
    const bool reapplied = found != identity;
    std::optional<TCardInfos> reread;
    if (reapplied) {
        reread.emplace();
        try {
            ReadCardList(file, *reread);
        } catch (const VastrelleError&) {
            ThrowChangedOutside();  // a half-written or removed card list is not saved over
        }
    }
    TCardInfos& cards = reapplied ? *reread : given;
    TInPlaceLog log(reapplied ? nullptr : &given);

    TCardChange change;
    change.ReplacedStatus = StatusOf(cards);
    change.CardListAsFound = found;
    const fs::path imageFolder = cardTypeFolder / kImageFolderName;
    TCardFinder finder(cards);
    std::vector<bool> removed(cards.size(), false), edited(cards.size(), false);
    std::vector<TCardInfo> appended;
    // The saved card's position among the cards before removals; npos for an appended one. A
    // plain value rather than an optional: GCC takes the optional's value for uninitialised.
    constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t savedPosition = npos;
    for (TPlannedEdit& edit : edits) {
        std::optional<std::size_t> at;
        if (edit.Index) {
            at = finder.Find(*edit.Index, *edit.Before);
            if (!at || edited[*at]) ThrowChangedOutside();
            edited[*at] = true;
        }
        if (!edit.After) {
            // A removal would silently drop what another program changed in the card.
            if (cards[*at] != *edit.Before) ThrowChangedOutside();
            removed[*at] = true;
            continue;
        }
        const TCardInfo before = edit.Before.value_or(TCardInfo{});
        const TCardInfo& after = *edit.After;
        if (at) log.Editing(*at);
        TCardInfo fresh;
        TCardInfo& now = at ? cards[*at] : fresh;
        // Every field of a card is merged here.
        if (!MergeField(now.Number, before.Number, after.Number) ||
            !MergeField(now.Title, before.Title, after.Title) ||
            !MergeField(now.Comment, before.Comment, after.Comment) ||
            !MergeField(now.Owned, before.Owned, after.Owned) ||
            !MergeField(now.Count, before.Count, after.Count) ||
            !MergeField(now.Want, before.Want, after.Want) ||
            !MergeField(now.Acquired, before.Acquired, after.Acquired) ||
            !MergeField(now.Unread, before.Unread, after.Unread))
            ThrowChangedOutside();
        // Copies and owned mark merged apart may disagree only where neither side changed both.
        now.Count = Copies(now);
        ApplySide(now.FrontImageFileName, before.FrontImageFileName, after.FrontImageFileName,
                  edit.Front, reapplied, change, [&](const std::string& name) {
                      CheckNameStillFree(imageFolder, cards, at, name, before.FrontImageFileName);
                  });
        ApplySide(now.BackImageFileName, before.BackImageFileName, after.BackImageFileName,
                  edit.Back, reapplied, change, [&](const std::string& name) {
                      CheckNameStillFree(imageFolder, cards, at, name, before.BackImageFileName);
                  });
        if (at) {
            savedPosition = *at;
        } else {
            appended.push_back(std::move(fresh));
            savedPosition = npos;
        }
    }

    std::size_t kept = 0;
    std::optional<std::size_t> shiftedSaved;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (removed[i]) {
            log.Removing(i);
            continue;
        }
        if (savedPosition == i) shiftedSaved = kept;
        if (kept != i) cards[kept] = std::move(cards[i]);
        ++kept;
    }
    cards.resize(kept);
    if (savedPosition == npos && !appended.empty()) shiftedSaved = kept + appended.size() - 1;
    for (TCardInfo& card : appended) cards.push_back(std::move(card));
    if (savedAt && shiftedSaved) *savedAt = *shiftedSaved;

    // The change borrows the array while it is written, and gives it back either way.
    change.Cards = std::move(cards);
    try {
        SaveCardChange(cardTypeFolder, change, writtenIdentity);
    } catch (...) {
        cards = std::move(change.Cards);
        throw;
    }
    cards = std::move(change.Cards);
    log.Keep();
    return reread;
}

TCardsAsRead SaveEdits(const fs::path& cardTypeFolder, TCardsAsRead read,
                       std::vector<TPlannedEdit> edits, std::size_t* savedAt = nullptr) {
    TCardsAsRead written;
    std::optional<TCardInfos> reread = SaveEditsInPlace(
        cardTypeFolder, read.Cards, read.Identity, std::move(edits), savedAt, &written.Identity);
    written.Cards = reread ? std::move(*reread) : std::move(read.Cards);
    return written;
}

}  // namespace

TCardsAsRead ReadCardsAsRead(const fs::path& cardTypeFolder) {
    TCardsAsRead read;
    ReadCardList(cardTypeFolder / kCardListFileName, read.Cards, &read.Identity);
    return read;
}

namespace {

std::vector<TPlannedEdit> CardEdit(const TCardInfos& cards, std::optional<std::size_t> index,
                                   const TCardInfo& card, const TSideChange& front,
                                   const TSideChange& back) {
    if (index && *index >= cards.size()) ThrowCardListFailed();
    TPlannedEdit edit;
    edit.Index = index;
    const TCardInfo before = index ? cards[*index] : TCardInfo{};
    if (index) edit.Before = before;
    edit.After = WithSides(card, before, front, back);
    edit.Front = &front;
    edit.Back = &back;
    std::vector<TPlannedEdit> edits;
    edits.push_back(std::move(edit));
    return edits;
}

}  // namespace

TCardsAsRead SaveCard(const fs::path& cardTypeFolder, TCardsAsRead read,
                      std::optional<std::size_t> index, const TCardInfo& card,
                      const TSideChange& front, const TSideChange& back, std::size_t* savedAt) {
    std::vector<TPlannedEdit> edits = CardEdit(read.Cards, index, card, front, back);
    return SaveEdits(cardTypeFolder, std::move(read), std::move(edits), savedAt);
}

std::optional<TCardInfos> SaveCardInPlace(const fs::path& cardTypeFolder, TCardInfos& cards,
                                          const TCardListIdentity& identity,
                                          std::optional<std::size_t> index, const TCardInfo& card,
                                          const TSideChange& front, const TSideChange& back,
                                          std::size_t* savedAt, TCardListIdentity* written) {
    return SaveEditsInPlace(cardTypeFolder, cards, identity,
                            CardEdit(cards, index, card, front, back), savedAt, written);
}

TCardsAsRead DeleteCard(const fs::path& cardTypeFolder, TCardsAsRead read, std::size_t index) {
    if (index >= read.Cards.size()) ThrowCardListFailed();
    std::vector<TPlannedEdit> edits(1);
    edits[0].Index = index;
    edits[0].Before = read.Cards[index];
    return SaveEdits(cardTypeFolder, std::move(read), std::move(edits));
}

namespace {

std::vector<TPlannedEdit> PlanEdits(const TCardInfos& cards, std::vector<TCardEdit> edits) {
    std::vector<TPlannedEdit> planned;
    planned.reserve(edits.size());
    for (TCardEdit& edit : edits) {
        TPlannedEdit& plan = planned.emplace_back();
        plan.Index = edit.Index;
        if (edit.Index) {
            if (*edit.Index >= cards.size()) ThrowCardListFailed();
            plan.Before = cards[*edit.Index];
        }
        plan.After = std::move(edit.After);
    }
    return planned;
}

}  // namespace

TCardsAsRead SaveCardEdits(const fs::path& cardTypeFolder, TCardsAsRead read,
                           std::vector<TCardEdit> edits) {
    std::vector<TPlannedEdit> planned = PlanEdits(read.Cards, std::move(edits));
    return SaveEdits(cardTypeFolder, std::move(read), std::move(planned));
}

std::optional<TCardInfos> SaveCardEditsInPlace(const fs::path& cardTypeFolder, TCardInfos& cards,
                                               const TCardListIdentity& identity,
                                               std::vector<TCardEdit> edits,
                                               TCardListIdentity* written) {
    return SaveEditsInPlace(cardTypeFolder, cards, identity, PlanEdits(cards, std::move(edits)),
                            nullptr, written);
}

TCardInfos SaveCards(const fs::path& cardTypeFolder, TCardInfos cards) {
    TCardTypeLock lock(cardTypeFolder);
    TCardChange change;
    change.Cards = std::move(cards);
    SaveCardChange(cardTypeFolder, change);
    return std::move(change.Cards);
}
