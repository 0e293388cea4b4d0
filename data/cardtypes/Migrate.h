#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Card type folders and pictures copied from a Windows disk keep their Shift_JIS bytes as
// names, which this file system does not take as text. These find such names and rename them to
// their UTF-8 form; the card list files already name the pictures in CP932, so nothing inside a
// file changes.

struct TNameRename {
    std::filesystem::path From;  // full paths, as they are when this rename runs
    std::filesystem::path To;
};

// What one card type folder needs.
struct TCardTypeMigration {
    std::filesystem::path Folder;      // as it is on disk now
    std::filesystem::path NewFolder;   // after the renames (the same when only pictures change)
    std::vector<TNameRename> Renames;  // the pictures and thumbnails first, the folder last
    // Names that are neither UTF-8 nor Shift_JIS, and renames whose new name exists already.
    std::vector<std::filesystem::path> Unconvertible;
    std::vector<TNameRename> Conflicts;

    bool CanRename() const { return Unconvertible.empty() && Conflicts.empty(); }
};

// The folders of programFolder that hold a cardlist.dat file and whose own name or the name of a
// file in their image folder is not valid UTF-8, sorted by folder name. Hidden folders and
// symbolic links are left alone. A missing program folder gives nothing; a program folder or
// image folder that is there but cannot be listed throws VastrelleError.
std::vector<TCardTypeMigration> PlanMigration(const std::filesystem::path& programFolder);

// Carries out the renames of one card type that CanRename(), all or none: when one fails, or
// the folders cannot be flushed after them, those made are undone. Never replaces an existing name.
// Throws VastrelleError naming the entry.
void ApplyMigration(const TCardTypeMigration& migration);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or codes past
// U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

// A name for a terminal: valid UTF-8 as it is, other bytes, control characters and "\" as \xHH.
std::string EscapedName(const std::string& bytes);
