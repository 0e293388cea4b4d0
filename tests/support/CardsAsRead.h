#pragma once

#include <filesystem>

#include "cardlist/CardList.h"
#include "save/CardStore.h"

// Cards a test says the card list file holds now, with the file's identity as it is: a save
// from them is computed as from a read of the file.
inline TCardsAsRead AsReadNow(const std::filesystem::path& cardTypeFolder, TCardInfos cards) {
    return {std::move(cards), CardListIdentityOf(cardTypeFolder / kCardListFileName)};
}
