#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cardlist/Common.h"

// One owned card as progress sees it: its acquired date ("YYYY-MM-DD", empty or malformed when
// unknown) and its index in the card array.
struct TAcquisition {
    std::string Date;
    std::size_t CardIndex = 0;
};

// The owned count at the end of one day on which cards were acquired.
struct TProgressDay {
    std::string Date;
    std::size_t Owned = 0;
};

// A card type's progress over time. Owned cards without a usable date (owned before dates were
// kept, or hand-edited) count from the start: they are in Undated and in every day's count.
struct TCardProgress {
    std::size_t Total = 0;
    std::size_t Owned = 0;
    std::size_t Undated = 0;
    std::vector<TProgressDay> Days;    // ascending, one per day with a change
    std::vector<TAcquisition> Recent;  // newest first; same-day cards later in the file first
};

// How many cards "recently acquired" lists.
inline constexpr std::size_t kRecentAcquisitions = 20;

// "YYYY-MM-DD" with a month 01-12 and a day that the month has.
bool IsAcquiredDate(std::string_view date);

// Progress from the owned cards' dates; `total` is the number of cards of the card type.
TCardProgress ComputeProgress(std::vector<TAcquisition> owned, std::size_t total,
                              std::size_t recentCount = kRecentAcquisitions);

// The progress lines of the command-line tool: date TAB owned TAB status line, one per day.
std::string ProgressText(const TCardProgress& progress);

// Progress of a card array: its owned cards with their acquired dates.
TCardProgress ProgressOfCards(const TCardInfos& cards);
