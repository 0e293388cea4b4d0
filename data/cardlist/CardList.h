#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "cardlist/CardListIdentity.h"
#include "cardlist/Common.h"
#include "files/PendingFile.h"
#include "files/WholeFile.h"

inline constexpr const char* kCardListFileName = "cardlist.dat";

// The exact bytes the writer puts in cardlist.dat for these cards (CR LF after every line).
std::string CardListText(const TCardInfos& cards);

// The same bytes, handed to `sink` in pieces.
void WriteCardListText(const TCardInfos& cards, const TByteSink& sink);

// The file a new card type starts with: the declaration and "<cardlist/>".
std::string EmptyCardListText();

// Replaces cardTypeFolder/cardlist.dat with the cards, atomically. On failure the old file is
// left as it was and VastrelleError(kCardListSaveFailed, ErrorAbort) is thrown.
void WriteCardList(const TCardInfos& cards, const std::filesystem::path& cardTypeFolder);

// Reads a card list file into `cards` (replacing its content). Throws VastrelleError with the
// reader's message when the file cannot be opened, does not parse, or holds a field that is not
// simple text; a read that throws did not finish and its cards must not be saved back.
// A file with no root element (no bytes, or a NUL first) reads as no cards. `identity`, when
// given, receives what the read saw (the file's status and the hash of the bytes read).
void ReadCardList(const std::filesystem::path& file, TCardInfos& cards,
                  TCardListIdentity* identity = nullptr);

// The same read in two steps, for a window that shows a large file before all its cards are
// built: the file's bytes with what the read saw of it (the hash not yet taken)...
struct TCardListText {
    std::filesystem::path File;
    TFileBytes Bytes;
    TCardListIdentity Identity;  // Hash left 0
};
TCardListText ReadCardListFileText(const std::filesystem::path& file);
// ... then the cards and the whole identity, as ReadCardList gives them.
void ReadCardListFromText(TCardListText text, TCardInfos& cards, TCardListIdentity* identity);

// The same read from bytes held already (a kept version); `file` names them in messages.
void ReadCardListBytes(std::string_view bytes, const std::filesystem::path& file,
                       TCardInfos& cards);

// The same read by the general XML parser alone, without the fast path for Shift_JIS files: the
// reference the fast path is checked against.
void ReadCardListByParser(const std::filesystem::path& file, TCardInfos& cards,
                          TCardListIdentity* identity = nullptr);
