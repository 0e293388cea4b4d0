// The history of a card type: its kept versions, undo, redo and restore.
#include <charconv>
#include <cstdio>

#include "Commands.h"
#include "save/CardHistory.h"

int CmdHistory(const Args& args) {
    ExpectArgCount(args, 1);
    for (const THistoryEntry& entry : ListHistory(args[0]))
        std::printf("%d\t%s\t%s\n", entry.Version, entry.Time.c_str(), entry.Status.c_str());
    return 0;
}

int CmdRestore(const Args& args) {
    ExpectArgCount(args, 2);
    const std::string& text = args[1];
    int version = 0;
    auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), version);
    if (text.empty() || error != std::errc() || ptr != text.data() + text.size() || version <= 0)
        throw UsageError("VERSION must be a version number that history lists");
    RestoreVersion(args[0], version);
    return 0;
}

int CmdUndo(const Args& args) {
    ExpectArgCount(args, 1);
    Undo(args[0]);
    return 0;
}

int CmdRedo(const Args& args) {
    ExpectArgCount(args, 1);
    Redo(args[0]);
    return 0;
}
