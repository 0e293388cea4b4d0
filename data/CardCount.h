#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// How complete one card list is.
struct TCardCount {
    std::size_t Owned = 0;
    std::size_t Total = 0;
};

// Counts the cards of a card list file without keeping them. Throws VastrelleError with the
// reader's message when the file cannot be read.
TCardCount CountCards(const std::filesystem::path& cardListFile);

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
