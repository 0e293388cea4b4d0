// Commands on the pictures of a card type.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "Bmp.h"
#include "CardImages.h"
#include "CardList.h"
#include "CardTypes.h"
#include "Commands.h"
#include "Cp932.h"
#include "Messages.h"
#include "Paths.h"
#include "PendingFile.h"
#include "VastrelleError.h"
#include "WholeFile.h"

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
    const bool repair = args.size() == 2 && args[1] == "--repair";
    if (args.size() != 1 && !repair) throw UsageError("expected DIR [--repair]");
    const fs::path cardTypeFolder = args[0];
    const fs::path imageFolder = cardTypeFolder / kImageFolderName;
    TCardInfos cards;
    ReadCardList(cardTypeFolder / kCardListFileName, cards);

    bool wrong = false;
    std::set<std::string> checked;  // pictures that several cards share are checked once
    std::set<fs::path> known;       // file-system names of every file the cards name
    for (const TCardInfo& card : cards) {
        for (const auto& [name, side] : {std::pair{&card.FrontImageFileName, "front"},
                                         std::pair{&card.BackImageFileName, "back"}}) {
            if (name->empty()) continue;
            const std::string large = ReplaceExtension(*name, kLargeThumbnailExtension);
            const std::string small = ReplaceExtension(*name, kSmallThumbnailExtension);
            for (const std::string* file : {name, &large, &small})
                if (auto path = ImageFilePath(imageFolder, *file)) known.insert(path->filename());
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
                // A thumbnail emptied by a power cut, or damaged otherwise, shows as missing.
                const std::optional<std::string> bytes = ReadWholeFile(*path);
                if (bytes && IsReadableBmp(*bytes)) continue;
                PrintLine("broken thumbnail: " + Utf8(thumbnail) + " (picture " + Utf8(*name) +
                          ")");
                unusable = true;
            }
            if (!unusable) continue;
            if (!repair) {
                wrong = true;
                continue;
            }
            try {
                MakeThumbnails(imageFolder, *name);
                PrintLine("repaired: " + Utf8(*name));
            } catch (const VastrelleError& e) {
                PrintError("cannot repair " + Utf8(*name) + ": " + e.what());
                wrong = true;
            }
        }
    }

    std::error_code ec;
    std::set<std::string> orphans;
    fs::directory_iterator it(imageFolder, ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) || known.count(it->path().filename())) continue;
        // A temporary file of a save that was killed goes at the next save; it is no orphan.
        if (IsTemporaryFileName(it->path().filename().native())) continue;
        auto name = Cp932FromFsName(it->path().filename());
        orphans.insert(name ? Utf8(*name) : it->path().filename().string());
    }
    for (const std::string& orphan : orphans) PrintLine("orphan: " + orphan);
    if (ec) {
        PrintError(FormatMessage(msg::kCannotOpen, imageFolder.string()) + ": " + ec.message());
        wrong = true;
    }
    std::fflush(stdout);
    return wrong || !orphans.empty() ? 1 : 0;
}
