#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a scan's file name says: the card number and the side. Names are CP932 bytes.
//
// NUMBER.jpg is the front of card NUMBER; NUMBER followed by "_", "-" or " " and a side word is
// the side that word names: b, back, ura, 裏 or 2 for the back; a, f, front, omote, 表 or 1 for
// the front (ASCII words in any letter case; 表 and 裏 also without the separator).
// The extension (.jpg or .jpeg) is not part of the number.

enum class TScanSide { Front, Back };

struct TScanName {
    std::string Number;
    TScanSide Side = TScanSide::Front;
    bool operator==(const TScanName&) const = default;
};

// The file name without its extension ("023_b.jpg" gives "023_b").
std::string ScanStem(std::string_view fileName);

// The number and side the stem names; a stem without a side word is the front of the number it
// spells whole. nullopt for an empty stem or a side word with nothing before it.
std::optional<TScanName> ParseScanStem(std::string_view stem);

// The number without the zeros that lead a digit ("007" gives "7", "0" stays "0", "0A" stays).
std::string WithoutLeadingZeros(std::string_view number);
