#pragma once

#include <string_view>

// Compares two CP932 texts as a collector reads card numbers: runs of digits (ASCII or
// full-width) compare by their value, so "2" < "10" and "SV-2" < "SV-10"; other characters
// compare by code with ASCII letters folded to lower case. Returns <0, 0 or >0; texts that differ
// only in leading zeros or letter case compare equal, so a stable sort keeps their file order.
int NaturalCompare(std::string_view a, std::string_view b);
