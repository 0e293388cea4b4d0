#include "cardlist/Progress.h"

#include <algorithm>

namespace {

int Digits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

bool IsAcquiredDate(std::string_view date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
    int year = Digits(date.substr(0, 4));
    int month = Digits(date.substr(5, 2));
    int day = Digits(date.substr(8, 2));
    if (year < 0 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] && !(month == 2 && day == 29 && !leap);
}

TCardProgress ComputeProgress(std::vector<TAcquisition> owned, std::size_t total,
                              std::size_t recentCount) {
    TCardProgress progress;
    progress.Total = total;
    progress.Owned = owned.size();
    auto undated = std::partition(owned.begin(), owned.end(),
                                  [](const TAcquisition& a) { return IsAcquiredDate(a.Date); });
    progress.Undated = static_cast<std::size_t>(owned.end() - undated);
    owned.erase(undated, owned.end());
    // The date form sorts as text; within a day the file order stands for the order of acquiring.
    std::sort(owned.begin(), owned.end(), [](const TAcquisition& a, const TAcquisition& b) {
        return a.Date != b.Date ? a.Date < b.Date : a.CardIndex < b.CardIndex;
    });
    std::size_t count = progress.Undated;
    for (const TAcquisition& card : owned) {
        ++count;
        if (progress.Days.empty() || progress.Days.back().Date != card.Date)
            progress.Days.push_back({card.Date, count});
        else
            progress.Days.back().Owned = count;
    }
    std::size_t recent = std::min(recentCount, owned.size());
    progress.Recent.assign(owned.rbegin(), owned.rbegin() + static_cast<std::ptrdiff_t>(recent));
    return progress;
}

std::string ProgressText(const TCardProgress& progress) {
    std::string text;
    for (const TProgressDay& day : progress.Days) {
        text += day.Date;
        text += '\t';
        text += std::to_string(day.Owned);
        text += '\t';
        text += StatusLineText(day.Owned, progress.Total);
        text += '\n';
    }
    return text;
}

TCardProgress ProgressOfCards(const TCardInfos& cards) {
    std::vector<TAcquisition> owned;
    for (std::size_t i = 0; i < cards.size(); ++i)
        if (cards[i].Owned) owned.push_back({cards[i].Acquired, i});
    return ComputeProgress(std::move(owned), cards.size());
}
