#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "cardlist/CardList.h"

// Counts the cards of a card list file without keeping them. Throws VastrelleError with the
// reader's message when the file cannot be read.
inline TCardCount CountCards(const std::filesystem::path& cardListFile) {
    return CountCardList(cardListFile);
}

// One listed card type and its count, or the reason its card list could not be read.
struct TCardTypeCount {
    std::string Name;  // CP932
    bool Readable = false;
    TCardCount Count;
    std::string Failure;  // UTF-8; set when not readable
};

// A failure message on one line, its line breaks joined by " / ", for a row of the overview.
std::string OneLine(const std::string& message);

// Every card type of the program folder, in listing order, each counted. Never throws for one
// card type's file: its failure is kept with it.
std::vector<TCardTypeCount> CountCardTypes(const std::filesystem::path& programFolder);
