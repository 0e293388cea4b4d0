#pragma once

#include <array>
#include <string>
#include <string_view>

#include "cardlist/Common.h"

// The rules that keep the owned mark, the copies and the acquired date of a card in step. The
// card dialog, the list's keys, the command-line tool and the importers all change a card's
// ownership through these, with today's date as a parameter.

inline constexpr int kMaxCopies = 9999;

// Owned on: one copy (a card already owned keeps its copies and date) and today as the acquired
// date. Owned off: no copies, no date.
void SetOwned(TCardInfo& card, bool owned, std::string_view today);

// Copies clamped to 0..9999; owned exactly when at least one, with the date as SetOwned.
void SetCopies(TCardInfo& card, int copies, std::string_view today);

void SetWant(TCardInfo& card, bool want);

// The local date now, "YYYY-MM-DD".
std::string TodayText();

// Whether the text is a real date written "YYYY-MM-DD" (years 1000 to 9999).
bool IsDateText(std::string_view text);

// "0" to "9999" written plainly (no sign, blank or leading zero): the copies; -1 otherwise.
int ParseCopies(std::string_view text);

// Fills Count, Want, Acquired and Unread from the texts of the three elements (CP932, empty when
// missing), once Owned is known. A text that does not read, or contradicts the owned mark, leaves
// its field at the default and is kept in Unread.
void ReadExtraFields(TCardInfo& card, std::string_view count, std::string_view want,
                     std::string_view acquired);

// The texts of count, want and acquired as the writer puts them, empty for an element it leaves
// out (every field at its default, nothing kept unread).
std::array<std::string, 3> ExtraFieldTexts(const TCardInfo& card);
