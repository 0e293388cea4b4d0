#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "cardlist/CardList.h"

struct TCardCount {
    std::size_t Owned = 0;  // cards owned, each once: what completion counts
    std::size_t Total = 0;
    std::size_t Copies = 0;  // copies owned in all
};

// The number of cards in a card list file and of the owned ones, with the reader's rules and
// failures. The file is read in pieces of a fixed size and no card is built, so the count costs
// the same memory for any number of cards; only a file the fast path leaves to the parser is
// read whole into cards first. Throws VastrelleError with the reader's message.
TCardCount CountCardList(const std::filesystem::path& file);

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
