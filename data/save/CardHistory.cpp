#include "save/CardHistory.h"

#include <cerrno>
#include <set>

#include "cardlist/CardList.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"
#include "save/HistoryIndex.h"
#include "save/VersionStore.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNothingToUndo = "元に戻せる変更はありません";
constexpr const char* kNothingToRedo = "やり直せる変更はありません";
constexpr const char* kNoSuchVersion = "版 %s は履歴にありません";

// The history with the state of the card list beside it.
struct THistoryState {
    THistoryIndex Index;
    std::size_t Current = 0;  // where the current version is in Index.Versions
    bool HasCurrent = false;
    bool CardListIsCurrent = false;  // false after a change outside the history
};

THistoryState ReadState(const fs::path& cardTypeFolder,
                        const std::optional<TVersionSumValue>& cardListSum = std::nullopt) {
    std::optional<THistoryIndex> index = ReadHistoryIndex(cardTypeFolder);
    if (!index)
        throw VastrelleError(
            FormatMessage(msg::kCannotOpen, HistoryIndexPath(cardTypeFolder).string()));
    THistoryState state;
    state.Index = std::move(*index);
    if (auto current = state.Index.Current()) {
        state.HasCurrent = true;
        const std::optional<std::size_t> cardList = CardListVersion(
            cardTypeFolder, state.Index, cardTypeFolder / kCardListFileName, cardListSum);
        state.CardListIsCurrent = cardList.has_value();
        state.Current = cardList.value_or(*current);
        state.Index.Position = state.Index.Versions[state.Current].Number;
    }
    return state;
}

// A kept folder that is missing holds nothing; one that cannot be listed fails the step, as its
// files would otherwise stay behind or not come back.
std::vector<fs::path> FileNames(const fs::path& folder) {
    std::vector<fs::path> entries;
    if (fileops::ListFolder(folder, entries) != 0) {
        if (errno == ENOENT) return {};
        throw VastrelleError(FormatMessage(msg::kCannotOpen, folder.string()));
    }
    for (fs::path& entry : entries) entry = entry.filename();
    return entries;
}

// The change that brings version Versions[target] back while the image folder holds the files
// of Versions[from]. Going back, the first change after the target that touched a file holds it
// as the target had it (in before/), or shows that the target did not have it; going forward,
// the last change up to the target that touched it holds it as written (in after/).
TCardChange BringBack(const fs::path& cardTypeFolder, const THistoryIndex& index, std::size_t from,
                      std::size_t target) {
    TCardChange change;
    const int number = index.Versions[target].Number;
    change.CardListBytes = ReadVersionBytes(cardTypeFolder, index, number);
    ReadCardListBytes(*change.CardListBytes, VersionFolder(cardTypeFolder, number), change.Cards);

    std::set<fs::path> decided;
    auto visit = [&](int number, bool back) {
        const fs::path kept =
            back ? BeforeFolder(cardTypeFolder, number) : AfterFolder(cardTypeFolder, number);
        const fs::path other =
            back ? AfterFolder(cardTypeFolder, number) : BeforeFolder(cardTypeFolder, number);
        for (const fs::path& name : FileNames(kept))
            if (decided.insert(name).second) change.KeptFiles.push_back({name, kept / name});
        for (const fs::path& name : FileNames(other))
            if (decided.insert(name).second) change.RemovedFiles.push_back(name);
    };
    if (target < from)
        for (std::size_t i = target + 1; i <= from; ++i) visit(index.Versions[i].Number, true);
    else
        for (std::size_t i = target; i > from; --i) visit(index.Versions[i].Number, false);
    return change;
}

TCardInfos MoveTo(const fs::path& cardTypeFolder, const THistoryState& state, std::size_t target) {
    TCardChange change = BringBack(cardTypeFolder, state.Index, state.Current, target);
    change.HistoryPosition = state.Index.Versions[target].Number;
    SaveCardChange(cardTypeFolder, change);
    return change.Cards;
}

}  // namespace

THistorySteps HistorySteps(const fs::path& cardTypeFolder,
                           const std::optional<TCardListIdentity>& cardList) {
    try {
        std::optional<TVersionSumValue> sum;
        if (cardList && cardList->Exists)
            sum = TVersionSumValue{cardList->Size, cardList->Hash, true};
        const THistoryState state = ReadState(cardTypeFolder, sum);
        return {state.HasCurrent && (state.Current > 0 || !state.CardListIsCurrent),
                state.CardListIsCurrent && state.Current + 1 < state.Index.Versions.size()};
    } catch (const VastrelleError&) {
        return {};
    }
}

bool CanUndo(const fs::path& cardTypeFolder) { return HistorySteps(cardTypeFolder).Undo; }

bool CanRedo(const fs::path& cardTypeFolder) { return HistorySteps(cardTypeFolder).Redo; }

// Each takes the lock before it reads the history and the card list, so that what it brings
// back is decided on the files as they are when it saves.
TCardInfos Undo(const fs::path& cardTypeFolder) {
    TCardTypeLock lock(cardTypeFolder);
    const THistoryState state = ReadState(cardTypeFolder);
    if (!state.HasCurrent || (state.Current == 0 && state.CardListIsCurrent))
        throw VastrelleError(kNothingToUndo);
    // A card list changed outside the history goes back to the version it was; the save records
    // it first, so that it can be redone.
    return MoveTo(cardTypeFolder, state,
                  state.CardListIsCurrent ? state.Current - 1 : state.Current);
}

TCardInfos Redo(const fs::path& cardTypeFolder) {
    TCardTypeLock lock(cardTypeFolder);
    const THistoryState state = ReadState(cardTypeFolder);
    if (!state.CardListIsCurrent || state.Current + 1 >= state.Index.Versions.size())
        throw VastrelleError(kNothingToRedo);
    return MoveTo(cardTypeFolder, state, state.Current + 1);
}

std::vector<THistoryEntry> ListHistory(const fs::path& cardTypeFolder) {
    const THistoryState state = ReadState(cardTypeFolder);
    std::vector<THistoryEntry> entries;
    for (auto it = state.Index.Versions.rbegin(); it != state.Index.Versions.rend(); ++it)
        entries.push_back({it->Number, it->Time, it->Status, it->Number == state.Index.Position});
    return entries;
}

TCardInfos RestoreVersion(const fs::path& cardTypeFolder, int version) {
    TCardTypeLock lock(cardTypeFolder);
    const THistoryState state = ReadState(cardTypeFolder);
    const std::optional<std::size_t> target = state.Index.Find(version);
    if (!target || !state.HasCurrent)
        throw VastrelleError(FormatMessage(kNoSuchVersion, std::to_string(version)));
    TCardChange change = BringBack(cardTypeFolder, state.Index, state.Current, *target);
    // The current version itself: nothing to change.
    if (*target == state.Current && state.CardListIsCurrent) return change.Cards;
    SaveCardChange(cardTypeFolder, change);
    return change.Cards;
}
