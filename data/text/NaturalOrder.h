#pragma once

#include <string>
#include <string_view>

// The natural order of CP932 texts, as a collector reads card numbers: runs of digits (ASCII or
// full-width) compare by their value, so "2" < "10" and "SV-2" < "SV-10", and come before any
// other character; ASCII letters compare folded to lower case; every other character by its
// CP932 bytes. Texts that differ only in leading zeros or letter case are equal, so a stable sort
// keeps their file order.

// A key whose byte order (std::string comparison) is the natural order of the text.
std::string NaturalSortKey(std::string_view text);

// <0, 0 or >0 as a comes before, with or after b in natural order.
int NaturalCompare(std::string_view a, std::string_view b);
