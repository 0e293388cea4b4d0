// Commands on one card type folder's card list.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "Commands.h"
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

}  // namespace

int CmdCards(const Args& args) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const TCardInfo& card : ReadCards(args)) {
        out.push_back({{"number", Utf8(card.Number)},
                       {"title", Utf8(card.Title)},
                       {"comment", Utf8(card.Comment)},
                       {"owned", card.Owned},
                       {"front", Utf8(card.FrontImageFileName)},
                       {"back", Utf8(card.BackImageFileName)}});
    }
    Print(out.dump(2) + "\n");
    return 0;
}

int CmdStatus(const Args& args) {
    TCardInfos cards = ReadCards(args);
    std::size_t owned = 0;
    for (const TCardInfo& card : cards) owned += card.Owned ? 1 : 0;
    Print(StatusLineText(owned, cards.size()) + "\n");
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

int CmdProgress(const Args& args) {
    Print(ProgressText(ProgressOfCards(ReadCards(args))));
    return 0;
}
