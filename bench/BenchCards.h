#pragma once
// Realistic card lists for the benchmarks, made once per size in the temporary folder.

#include <filesystem>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "cardlist/CardList.h"
#include "text/Cp932.h"

namespace {

const char* const kWords[] = {"ピカチュウ", "リザードン", "フシギダネ",   "ミュウツー", "【ホロ】",
                              "初版",       "限定",       "プロモ",       "キラ",       "ＳＲ",
                              "美品",       "傷あり",     "スリーブ保管", "交換用",     "２枚目",
                              "箱出し",     "未開封",     "サイン入り",   "大会配布"};

inline std::string Words(std::mt19937& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += kWords[random() % std::size(kWords)];
    return *cp932::FromUtf8(text);
}

// About 330 bytes a card in the file.
inline TCardInfos MakeCards(int count) {
    std::mt19937 random(42);
    TCardInfos cards(count);
    for (int i = 0; i < count; ++i) {
        TCardInfo& card = cards[i];
        card.Number = std::to_string(i + 1);
        card.Title = Words(random, 4);
        card.Comment = Words(random, 6);
        card.FrontImageFileName = "front_" + std::to_string(i + 1) + ".jpg";
        card.BackImageFileName = "back_" + std::to_string(i + 1) + ".jpg";
        card.Owned = random() % 3 == 0;
    }
    return cards;
}

// A card type folder holding only the card list of `count` cards.
inline std::filesystem::path CardTypeFolder(int count) {
    auto folder = BenchFolder("cards-" + std::to_string(count));
    if (!std::filesystem::exists(folder / kCardListFileName))
        WriteCardList(MakeCards(count), folder);
    return folder;
}

}  // namespace
