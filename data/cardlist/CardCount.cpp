#include "cardlist/CardCount.h"

#include "cardlist/CardList.h"
#include "cardlist/CardListFastReader.h"
#include "cardtypes/CardTypes.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"

TCardCount CountCardList(const std::filesystem::path& file) {
    TCardListFastCounter counter;
    bool stopped = false;
    const bool read = ReadFileInPieces(file, [&](std::string_view piece) {
        stopped = !counter.Feed(piece);
        return !stopped;
    });
    if (!read && !stopped) throw VastrelleError(FormatMessage(msg::kCannotOpen, file.string()));
    if (counter.Finish()) return {counter.Owned(), counter.Total(), counter.Copies()};
    // Left to the parser, which also gives its messages.
    TCardInfos cards;
    ReadCardListByParser(file, cards);
    TCardCount count;
    count.Total = cards.size();
    for (const TCardInfo& card : cards) {
        count.Owned += card.Owned ? 1 : 0;
        count.Copies += static_cast<std::size_t>(::Copies(card));
    }
    return count;
}

std::vector<TCardTypeCount> CountCardTypes(const std::filesystem::path& programFolder) {
    std::vector<TCardTypeCount> counts;
    for (std::string& name : ListCardTypes(programFolder)) {
        TCardTypeCount entry;
        entry.Name = std::move(name);
        CurrentCardTypePaths paths;
        try {
            if (!paths.Set(programFolder, entry.Name))
                throw VastrelleError("カード種類フォルダがありません");
            entry.Count = CountCardList(paths.CardTypeFolder() / kCardListFileName);
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
