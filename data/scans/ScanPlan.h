#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cardlist/Common.h"
#include "scans/ScanNames.h"

// Which file of a folder of scans becomes which picture of which card, before anything is read
// or written.

struct TScanOptions {
    bool Create = false;   // files that match no card become new cards
    bool Replace = false;  // a card's picture is replaced by its scan rather than kept
};

struct TScanFile {
    std::filesystem::path Path;  // in the scan folder
    std::string Name;            // the bare name as a picture name (CP932)
};

// One side of a planned card.
struct TScanSideFile {
    std::optional<TScanFile> File;  // the scan found for this side
    std::string Current;            // the card's picture on this side before (CP932)
    bool Taken = false;             // the scan becomes the side's picture
};

struct TScanCard {
    std::optional<std::size_t> CardIndex;  // empty: a card made from files that match none
    std::string Number;                    // CP932
    std::string Title;                     // CP932
    TScanSideFile Front, Back;
};

struct TScanRefusal {
    std::filesystem::path File;
    std::string Reason;  // UTF-8
};

struct TScanPlan {
    std::vector<TScanCard> Cards;     // matched cards, in card list order
    std::vector<TScanCard> NewCards;  // numbers no card has, in natural order of the number
    std::vector<TScanRefusal> Refused;
    TScanOptions Options;

    // The scans the attach stores.
    std::vector<TScanFile> TakenFiles() const;
};

// Matches the files of scanFolder to the cards: a number names a card when it equals the card's
// number, or else when it does so with leading zeros removed on both sides and only one card
// matches that way. A file whose whole name without extension is a card's number is that card's
// front even when it ends like a side word ("SV-2.jpg" for card SV-2). Files that a drop would
// refuse (extension, a name Shift_JIS cannot store, a name another picture of the image folder
// has) are listed with the reason. Throws "ファイル %s は開けません" when the folder cannot be
// listed.
TScanPlan PlanScans(const TCardInfos& cards, const std::filesystem::path& imageFolder,
                    const std::filesystem::path& scanFolder, TScanOptions options);

// The cards after the plan: matched cards get their taken sides, new cards (with Create) are
// appended in the plan's order, not owned, titled empty.
TCardInfos ApplyScanPlan(TCardInfos cards, const TScanPlan& plan);
