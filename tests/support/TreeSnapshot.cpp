#include "TreeSnapshot.h"

#include <sys/stat.h>

#include "TempDir.h"
#include "save/CardTypeLock.h"

namespace fs = std::filesystem;

TreeSnapshot SnapshotTree(const fs::path& folder, bool writeTimes) {
    TreeSnapshot snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        // The writers' lock file is no data: its coming is no change of the card type.
        if (!entry.is_regular_file() || entry.path().filename() == kCardTypeLockFileName) continue;
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        snapshot[fs::relative(entry.path(), folder).string()] = {
            ReadFileBytes(entry.path()), st.st_mode & 07777,
            writeTimes ? entry.last_write_time() : fs::file_time_type{}};
    }
    return snapshot;
}

std::string TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after) {
    std::string differences;
    for (const auto& [path, state] : before) {
        auto it = after.find(path);
        if (it == after.end())
            differences += "removed " + path + "\n";
        else if (!(it->second == state))
            differences += "changed " + path + "\n";
    }
    for (const auto& [path, state] : after)
        if (!before.count(path)) differences += "added " + path + "\n";
    return differences;
}
