// Commands on one card type folder's card list.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "Commands.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardCount.h"
#include "cardlist/CardExport.h"
#include "cardlist/CardList.h"
#include "cardlist/Progress.h"
#include "files/VastrelleError.h"
#include "save/CardStore.h"
#include "text/Cp932.h"

namespace {

std::filesystem::path CardListPath(const std::string& folder) {
    return std::filesystem::path(folder) / kCardListFileName;
}

TCardInfos ReadCards(const Args& args) {
    ExpectArgCount(args, 1);
    TCardInfos cards;
    ReadCardList(CardListPath(args[0]), cards);
    return cards;
}

std::string Utf8(const std::string& cp932Text) { return cp932::ToUtf8Lossy(cp932Text); }

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

std::string JsonText(const nlohmann::json& card, const char* key) {
    auto it = card.find(key);
    if (it == card.end() || it->is_null()) return {};
    if (!it->is_string())
        throw VastrelleError(std::string("\"") + key + "\" は文字列ではありません");
    return Cp932Argument(it->get<std::string>());
}

// count, want and acquired of a card of `write`: the state to write, taken as given (the list is
// written whole, so no date is set here). A count makes the card owned or not.
void ReadJsonExtras(const nlohmann::json& item, TCardInfo& card) {
    if (auto count = item.find("count"); count != item.end() && !count->is_null()) {
        if (!count->is_number_integer() || count->get<long long>() < 0 ||
            count->get<long long>() > kMaxCopies)
            throw VastrelleError("\"count\" は 0 から 9999 までの整数です");
        if (item.contains("owned") && !item["owned"].is_null() &&
            card.Owned != (count->get<int>() >= 1))
            throw VastrelleError("\"count\" と \"owned\" が食い違っています");
        card.Owned = count->get<int>() >= 1;
        card.Count = count->get<int>();
    }
    card.Count = Copies(card);
    if (auto want = item.find("want"); want != item.end() && !want->is_null()) {
        if (!want->is_boolean()) throw VastrelleError("\"want\" は true か false です");
        card.Want = want->get<bool>();
    }
    std::string acquired = JsonText(item, "acquired");
    if (!acquired.empty() && (!card.Owned || !IsDateText(acquired)))
        throw VastrelleError("\"acquired\" は所持しているカードの日付 (YYYY-MM-DD) です");
    card.Acquired = std::move(acquired);
}

// The format of a list command: its optional last argument --csv.
TListFormat ListFormat(Args& args) {
    if (!args.empty() && args.back() == "--csv") {
        args.pop_back();
        return TListFormat::Csv;
    }
    return TListFormat::Text;
}

}  // namespace

int CmdCards(const Args& args) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const TCardInfo& card : ReadCards(args)) {
        out.push_back(
            {{"number", Utf8(card.Number)},
             {"title", Utf8(card.Title)},
             {"comment", Utf8(card.Comment)},
             {"owned", card.Owned},
             {"front", Utf8(card.FrontImageFileName)},
             {"back", Utf8(card.BackImageFileName)},
             {"count", Copies(card)},
             {"want", card.Want},
             {"acquired", card.Acquired.empty() ? nlohmann::ordered_json()
                                                : nlohmann::ordered_json(card.Acquired)}});
    }
    Print(out.dump(2) + "\n");
    return 0;
}

int CmdStatus(const Args& args) {
    ExpectArgCount(args, 1);
    const TCardCount count = CountCardList(CardListPath(args[0]));
    Print(StatusLineText(count.Owned, count.Total) + "\n");
    return 0;
}

int CmdWrite(const Args& args) {
    ExpectArgCount(args, 1);
    std::string input(std::istreambuf_iterator<char>(std::cin), {});
    nlohmann::json parsed = nlohmann::json::parse(input, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array())
        throw VastrelleError("標準入力がカードの JSON 配列ではありません");
    TCardInfos cards;
    for (const auto& item : parsed) {
        if (!item.is_object()) throw VastrelleError("カードが JSON オブジェクトではありません");
        TCardInfo card;
        card.Number = JsonText(item, "number");
        card.Title = JsonText(item, "title");
        card.Comment = JsonText(item, "comment");
        if (auto owned = item.find("owned"); owned != item.end() && !owned->is_null()) {
            if (!owned->is_boolean()) throw VastrelleError("\"owned\" は true か false です");
            card.Owned = owned->get<bool>();
        }
        card.FrontImageFileName = JsonText(item, "front");
        card.BackImageFileName = JsonText(item, "back");
        ReadJsonExtras(item, card);
        cards.push_back(std::move(card));
    }
    // Through the card save, so that the history keeps what it replaces.
    SaveCards(args[0], cards);
    return 0;
}

int CmdMissing(const Args& args) {
    Print(MissingCardsText(ReadCards(args)));
    return 0;
}

int CmdExport(const Args& args) {
    Print(CardsCsvText(ReadCards(args)));
    return 0;
}

int CmdSpares(const Args& args) {
    Args rest = args;
    TListFormat format = ListFormat(rest);
    Print(SparesText(ReadCards(rest), format));
    return 0;
}

int CmdWants(const Args& args) {
    Args rest = args;
    TListFormat format = ListFormat(rest);
    Print(WantsText(ReadCards(rest), format));
    return 0;
}

int CmdProgress(const Args& args) {
    Print(ProgressText(ProgressOfCards(ReadCards(args))));
    return 0;
}
