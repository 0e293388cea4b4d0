#include "cardlist/CardCount.h"

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/VastrelleError.h"

std::vector<TCardTypeCount> CountCardTypes(const std::filesystem::path& programFolder) {
    std::vector<TCardTypeCount> counts;
    for (std::string& name : ListCardTypes(programFolder)) {
        TCardTypeCount entry;
        entry.Name = std::move(name);
        CurrentCardTypePaths paths;
        try {
            if (!paths.Set(programFolder, entry.Name))
                throw VastrelleError("カード種類フォルダがありません");
            entry.Count = CountCards(paths.CardTypeFolder() / kCardListFileName);
            entry.Readable = true;
        } catch (const VastrelleError& error) {
            entry.Failure = error.what();
        }
        counts.push_back(std::move(entry));
    }
    return counts;
}

std::string OneLine(const std::string& message) {
    std::string line;
    bool pendingBreak = false;
    for (char c : message) {
        if (c == '\r' || c == '\n') {
            pendingBreak = !line.empty();
            continue;
        }
        if (pendingBreak) line += " / ";
        pendingBreak = false;
        line += c;
    }
    return line;
}
