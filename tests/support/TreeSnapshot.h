#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>

// Every regular file under a folder, with its bytes and permission bits, keyed by its path
// relative to the folder; for proving that a failed operation changed no file.
struct FileState {
    std::string bytes;
    mode_t mode = 0;
    std::filesystem::file_time_type written{};  // only when asked for
    bool operator==(const FileState&) const = default;
};
using TreeSnapshot = std::map<std::string, FileState>;

// With writeTimes, a file rewritten with the same bytes shows as changed too.
TreeSnapshot SnapshotTree(const std::filesystem::path& folder, bool writeTimes = false);

// Every regular file and every folder (keyed by its path and a "/", with no bytes), so that an
// empty folder left behind shows too.
TreeSnapshot SnapshotTreeWithFolders(const std::filesystem::path& folder);

// The relative paths that differ between two snapshots (added, removed or changed), one a line;
// empty when none.
std::string TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after);
