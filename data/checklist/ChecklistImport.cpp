#include "checklist/ChecklistImport.h"

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Paths.h"
#include "cardtypes/StagingFolder.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"

namespace fs = std::filesystem;

TChecklistPlan ImportChecklistAsCardType(const fs::path& programFolder, const std::string& name,
                                         const TChecklistRows& rows) {
    // The checks of CreateCardType, made first so that a refused name builds nothing.
    if (!IsValidCardTypeName(name))
        throw VastrelleError(msg::kBadCardTypeName, MessageKind::Warning);
    const fs::path target = programFolder / *FsNameFromCp932(name);
    std::error_code ec;
    if (fs::is_directory(target, ec))
        throw VastrelleError(msg::kCardTypeExists, MessageKind::Warning);

    TChecklistPlan plan = PlanChecklistMerge({}, rows);
    TStagingFolder staging(programFolder);
    CreateCardType(staging.Path(), name);
    const fs::path built = staging.Path() / target.filename();
    WriteCardList(plan.Cards, built);
    PublishCardTypeFolder(built, programFolder);
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
    TChecklistPlan plan = PlanChecklistMerge(read.Cards, rows);
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
