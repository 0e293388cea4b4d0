#include "checklist/ChecklistImport.h"

#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Paths.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"

namespace fs = std::filesystem;

TChecklistPlan ImportChecklistAsCardType(const fs::path& programFolder, const std::string& name,
                                         const TChecklistRows& rows) {
    TChecklistPlan plan = PlanChecklistMerge({}, rows);
    BuildCardType(programFolder, name, kImportFolderPrefix,
                  [&](const fs::path& folder) { WriteCardList(plan.Cards, folder); });
    return plan;
}

TChecklistPlan PreviewChecklistMerge(const fs::path& cardTypeFolder, const TChecklistRows& rows) {
    TCardInfos cards;
    ReadCardList(cardTypeFolder / kCardListFileName, cards);
    return PlanChecklistMerge(std::move(cards), rows);
}

TChecklistPlan MergeChecklist(const fs::path& cardTypeFolder, const TChecklistRows& rows,
                              TCardListIdentity* written) {
    TCardTypeLock lock(cardTypeFolder);
    TCardsAsRead read = ReadCardsAsRead(cardTypeFolder);
    TChecklistPlan plan = PlanChecklistMerge(read.Cards, rows, TodayText());
    if (!plan.ChangesAnything()) {
        if (written) *written = read.Identity;
        return plan;
    }
    // Only the cards the merge changes, so the history records one change of those.
    std::vector<TCardEdit> edits;
    for (std::size_t index : plan.ChangedCards) edits.push_back({index, plan.Cards[index]});
    for (std::size_t index = plan.FirstNew; index < plan.Cards.size(); ++index)
        edits.push_back({std::nullopt, std::move(plan.Cards[index])});
    TCardsAsRead saved = SaveCardEdits(cardTypeFolder, std::move(read), std::move(edits));
    plan.Cards = std::move(saved.Cards);
    if (written) *written = saved.Identity;
    return plan;
}
