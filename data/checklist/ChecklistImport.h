#pragma once

#include <filesystem>
#include <string>

#include "cardlist/CardListIdentity.h"
#include "checklist/ChecklistMerge.h"

// The writes of a checklist import: each one transaction, so that a failure leaves every file as
// it was.

// Makes the card type `name` (CP932) holding the rows as cards in the file's order. It is built
// in a hidden folder of the program folder and renamed into place, so that a failure leaves no
// card type behind. Throws VastrelleError with the checks of CreateCardType. Returns the plan.
TChecklistPlan ImportChecklistAsCardType(const std::filesystem::path& programFolder,
                                         const std::string& name, const TChecklistRows& rows);

// Merges the rows into the card type as one save (one undo step), computed under the card type
// lock from its card list as it is on disk then, so that no change made elsewhere is overwritten.
// Nothing is written when the merge changes nothing. Returns the plan that was saved (its Cards
// as written); `written` receives the identity of the card list file after it.
TChecklistPlan MergeChecklist(const std::filesystem::path& cardTypeFolder,
                              const TChecklistRows& rows, TCardListIdentity* written = nullptr);

// The plan a merge would save now, from the card list on disk, without writing.
TChecklistPlan PreviewChecklistMerge(const std::filesystem::path& cardTypeFolder,
                                     const TChecklistRows& rows);
