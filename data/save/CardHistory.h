#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cardlist/CardListIdentity.h"
#include "cardlist/Common.h"

// Undo, redo and restore of a card type's changes, over the history that every save records
// (HistoryIndex.h). Each brings a kept version back through the card save transaction
// (CardStore.h): the card list file byte for byte, the pictures it names put back from the
// history, the files it does not have moved into the history. Each throws VastrelleError with
// the message of the step that failed, every file then being as before.

struct THistoryEntry {
    int Version = 0;
    std::string Time;    // local time, "YYYY-MM-DD HH:MM:SS"
    std::string Status;  // e.g. "3/10[30%]"
    bool Current = false;
};

// Whether Undo or Redo has something to do. A card list changed outside the history can be
// undone (back to the version it was), and leaves nothing to redo.
bool CanUndo(const std::filesystem::path& cardTypeFolder);
bool CanRedo(const std::filesystem::path& cardTypeFolder);
// Both at once, reading the history and the card list once.
struct THistorySteps {
    bool Undo = false;
    bool Redo = false;
};
// `cardList`: the identity of the card list file as the caller last read or wrote it, taken for
// what the file holds instead of reading it again (a menu's state, not a change).
THistorySteps HistorySteps(const std::filesystem::path& cardTypeFolder,
                           const std::optional<TCardListIdentity>& cardList = std::nullopt);

// Brings back the version before the current one, or the one after it. Returns the cards as
// written.
TCardInfos Undo(const std::filesystem::path& cardTypeFolder);
TCardInfos Redo(const std::filesystem::path& cardTypeFolder);

// The kept versions, newest first.
std::vector<THistoryEntry> ListHistory(const std::filesystem::path& cardTypeFolder);

// Brings back a kept version as a new change, which can itself be undone. Returns the cards as
// written.
TCardInfos RestoreVersion(const std::filesystem::path& cardTypeFolder, int version);
