// Commands on the pictures of a card type.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "Commands.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/ConflictCopies.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "pictures/Bmp.h"
#include "pictures/CardImages.h"
#include "pictures/Orphans.h"
#include "save/CardTypeLock.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::string& cp932Text) { return cp932::ToUtf8Lossy(cp932Text); }

void PrintLine(const std::string& text) { std::printf("%s\n", text.c_str()); }

// After what stdout holds so far, so that the two read in order when they share a terminal.
void PrintError(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool IsRegularFile(const std::optional<fs::path>& path) {
    std::error_code ec;
    return path && fs::is_regular_file(*path, ec);
}

}  // namespace

int CmdThumbnails(const Args& args) {
    ExpectArgCount(args, 2);
    MakeThumbnails(args[0], Cp932Argument(args[1]));
    return 0;
}

int CmdCheck(const Args& args) {
    bool repair = false, removeOrphans = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--repair" && !repair)
            repair = true;
        else if (args[i] == "--remove-orphans" && !removeOrphans)
            removeOrphans = true;
        else
            throw UsageError("expected DIR [--repair] [--remove-orphans]");
    }
    if (args.empty() || args[0].starts_with("--"))
        throw UsageError("expected DIR [--repair] [--remove-orphans]");
    const fs::path cardTypeFolder = args[0];
    const fs::path imageFolder = cardTypeFolder / kImageFolderName;
    // A check that changes files reads and writes under the lock; a plain check only reads.
    std::optional<TCardTypeLock> lock;
    if (repair || removeOrphans) lock.emplace(cardTypeFolder);
    TCardInfos cards;
    ReadCardList(cardTypeFolder / kCardListFileName, cards);

    // wrong: something to report was found; failed: the check itself could not read something,
    // and then nothing is changed, so that a failure never leaves a half-done clean-up.
    bool wrong = false, failed = false;
    std::vector<std::string> toRepair;
    // Nothing is merged: which cards of a copy are wanted is for the user to decide.
    for (const std::string& copy : FindConflictCopies(cardTypeFolder)) {
        PrintLine("conflict copy: " + copy);
        wrong = true;
    }
    std::set<std::string> checked;  // pictures that several cards share are checked once
    for (const TCardInfo& card : cards) {
        for (const auto& [name, side] : {std::pair{&card.FrontImageFileName, "front"},
                                         std::pair{&card.BackImageFileName, "back"}}) {
            if (name->empty()) continue;
            const std::string large = ReplaceExtension(*name, kLargeThumbnailExtension);
            const std::string small = ReplaceExtension(*name, kSmallThumbnailExtension);
            if (!checked.insert(*name).second) continue;

            if (!IsRegularFile(ImageFilePath(imageFolder, *name))) {
                PrintLine("missing picture: " + Utf8(*name) + " (card " + Utf8(card.Number) + ", " +
                          side + ")");
                wrong = true;
                continue;
            }
            bool unusable = false;
            for (const std::string& thumbnail : {large, small}) {
                const auto path = ImageFilePath(imageFolder, thumbnail);
                if (!IsRegularFile(path)) {
                    PrintLine("missing thumbnail: " + Utf8(thumbnail) + " (picture " + Utf8(*name) +
                              ")");
                    unusable = true;
                    continue;
                }
                // A thumbnail emptied by a power cut, or damaged otherwise, shows as missing; one
                // that does not read (an I/O error) may be whole and is not replaced.
                const std::optional<std::string> bytes = ReadWholeFile(*path);
                if (!bytes) {
                    PrintError(FormatMessage(msg::kCannotOpen, path->string()));
                    failed = true;
                    continue;
                }
                if (IsReadableBmp(*bytes)) continue;
                PrintLine("broken thumbnail: " + Utf8(thumbnail) + " (picture " + Utf8(*name) +
                          ")");
                unusable = true;
            }
            if (!unusable) continue;
            if (repair)
                toRepair.push_back(*name);
            else
                wrong = true;
        }
    }

    std::vector<TOrphan> orphans;
    try {
        orphans = ListOrphans(cardTypeFolder);
    } catch (const VastrelleError& e) {
        PrintError(e.what());
        failed = true;
    }

    for (const std::string& name : toRepair) {
        if (failed) break;
        try {
            MakeThumbnails(imageFolder, name);
            PrintLine("repaired: " + Utf8(name));
        } catch (const VastrelleError& e) {
            PrintError("cannot repair " + Utf8(name) + ": " + e.what());
            failed = true;
        }
    }
    std::set<std::string> files;  // one line per file, in the order of their names
    for (const TOrphan& orphan : orphans)
        for (const fs::path& file : orphan.Files) files.insert(file.string());
    // Through the history: undo brings them back.
    const bool removed = removeOrphans && !orphans.empty() && !failed;
    if (removed) {
        std::vector<std::string> names;
        for (const TOrphan& orphan : orphans) names.push_back(orphan.Name);
        RemoveOrphans(cardTypeFolder, names);
    }
    for (const std::string& file : files)
        PrintLine((removed ? "removed orphan: " : "orphan: ") + file);
    std::fflush(stdout);
    return wrong || failed || (!removed && !orphans.empty()) ? 1 : 0;
}
