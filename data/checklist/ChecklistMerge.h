#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cardlist/Common.h"
#include "checklist/ChecklistColumns.h"

// How a checklist's rows change a card type's cards.
//
// A row whose number matches a card's (blanks trimmed, letter case and the width of letters,
// digits and katakana folded) updates that card: each text the row has replaces the card's, an
// empty cell leaves it as it is, and a mapped owned column sets the owned mark (an empty cell:
// not owned). Picture names are taken for new cards only: an existing card keeps its pictures.
// Other rows are appended in the file's order, and cards the file does not name stay as they are.
// A second row for a card that an earlier row matched, and a row whose number several cards
// share, are refused, as it cannot be told which is meant.

struct TChecklistPlan {
    TCardInfos Cards;  // the card list after the merge
    std::size_t New = 0, Changed = 0, Unchanged = 0;
    std::vector<TTableRefusal> Refused;  // the rows' refusals and the merge's own, by line
    // Positions (in Cards) of the matched cards the merge changed, and of those among them whose
    // owned mark it turned on; the new cards follow the old ones.
    std::vector<std::size_t> ChangedCards;
    std::vector<std::size_t> NewlyOwned;
    std::size_t FirstNew = 0;

    bool ChangesAnything() const { return New > 0 || Changed > 0; }
};

// The key a number is matched by.
std::string NumberKey(std::string_view cp932Number);

// `today` dates the cards the checklist makes owned; empty for the first import into a new card
// type, which sets a collection up rather than records what was acquired.
TChecklistPlan PlanChecklistMerge(TCardInfos cards, const TChecklistRows& rows,
                                  std::string_view today = {});
