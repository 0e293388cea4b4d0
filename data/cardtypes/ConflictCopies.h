#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Copies of the card list that sync tools, editors and merges leave beside it when two computers
// changed it at once, for example "cardlist.sync-conflict-20261209-101010-ABCDEFG.dat",
// "cardlist (conflicted copy 2026-12-09).dat", "cardlist-LAPTOP.dat" or "cardlist.dat.orig".
// They are only reported: which cards of a copy are wanted is for the user to decide.

// Whether a file name of a card type folder marks such a copy: it starts with "cardlist" (in any
// case) followed by a separator (". -_(~" or a space), and is not "cardlist.dat" itself. The
// program's own files (temporaries, the history, the lock) start with a dot and never match.
bool IsConflictCopyName(std::string_view fileName);

// The regular files of the card type folder whose names mark a conflict copy, as UTF-8 file
// names (bytes that are not UTF-8 replaced), sorted. None when the folder cannot be read.
std::vector<std::string> FindConflictCopies(const std::filesystem::path& cardTypeFolder);
