#include "checklist/ChecklistMerge.h"

#include <algorithm>
#include <unordered_map>

#include "cardlist/CardCopies.h"
#include "files/VastrelleError.h"
#include "text/Cp932.h"
#include "text/SearchText.h"

namespace {

constexpr const char* kMatchedTwice = "番号「%s」のカードは %d 行目で取り込み済みです";
constexpr const char* kAmbiguous =
    "番号「%s」のカードが複数あるため、どれを更新するか決められません";
constexpr std::size_t kAmbiguousIndex = static_cast<std::size_t>(-1);

// The owned mark, the copies and the want mark of a row, through the rules that keep them in
// step; `today` dates a card that becomes owned (empty: no date, as for a new card type).
void SetMarks(TCardInfo& card, const TChecklistRow& row, std::string_view today) {
    if (row.Owned) SetOwned(card, *row.Owned, today);
    if (row.Copies && (!row.Owned || *row.Owned == (*row.Copies > 0)))
        SetCopies(card, *row.Copies, today);
    if (row.Want) SetWant(card, *row.Want);
}

TCardInfo NewCard(const TChecklistRow& row, std::string_view today) {
    TCardInfo card;
    card.Number = row.Number.value_or("");
    card.Title = row.Title.value_or("");
    card.Comment = row.Comment.value_or("");
    card.FrontImageFileName = row.FrontImage.value_or("");
    card.BackImageFileName = row.BackImage.value_or("");
    SetMarks(card, row, today);
    return card;
}

void Update(TCardInfo& card, const TChecklistRow& row, std::string_view today) {
    if (row.Title) card.Title = *row.Title;
    if (row.Comment) card.Comment = *row.Comment;
    SetMarks(card, row, today);
}

}  // namespace

std::string NumberKey(std::string_view cp932Number) {
    std::string key = SearchForm(cp932Number);
    const std::size_t first = key.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return key.substr(first, key.find_last_not_of(" \t\r\n") - first + 1);
}

TChecklistPlan PlanChecklistMerge(TCardInfos cards, const TChecklistRows& rows,
                                  std::string_view today) {
    TChecklistPlan plan;
    plan.Refused = rows.Refused;
    std::unordered_map<std::string, std::size_t> byNumber;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        std::string key = NumberKey(cards[i].Number);
        if (key.empty()) continue;
        auto [it, added] = byNumber.emplace(std::move(key), i);
        if (!added) it->second = kAmbiguousIndex;
    }
    plan.FirstNew = cards.size();
    std::unordered_map<std::size_t, std::size_t> matchedAt;  // card -> the line that matched it
    for (const TChecklistRow& row : rows.Rows) {
        const std::string key = row.Number ? NumberKey(*row.Number) : std::string();
        const auto found = key.empty() ? byNumber.end() : byNumber.find(key);
        if (found == byNumber.end()) {
            cards.push_back(NewCard(row, today));
            ++plan.New;
            continue;
        }
        const std::string shown = cp932::ToUtf8Lossy(*row.Number);
        if (found->second == kAmbiguousIndex) {
            plan.Refused.push_back({row.Line, FormatMessage(kAmbiguous, shown)});
            continue;
        }
        const std::size_t index = found->second;
        if (auto [at, first] = matchedAt.emplace(index, row.Line); !first) {
            plan.Refused.push_back(
                {row.Line, FormatMessage(FormatMessage(kMatchedTwice, shown).c_str(),
                                         static_cast<int>(at->second))});
            continue;
        }
        const TCardInfo before = cards[index];
        Update(cards[index], row, today);
        if (cards[index] == before) {
            ++plan.Unchanged;
            continue;
        }
        ++plan.Changed;
        plan.ChangedCards.push_back(index);
        if (cards[index].Owned && !before.Owned) plan.NewlyOwned.push_back(index);
    }
    std::stable_sort(
        plan.Refused.begin(), plan.Refused.end(),
        [](const TTableRefusal& a, const TTableRefusal& b) { return a.Line < b.Line; });
    plan.Cards = std::move(cards);
    return plan;
}
