// Commands on the pictures of a card type.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "CardImages.h"
#include "CardList.h"
#include "Commands.h"
#include "Cp932.h"
#include "Paths.h"
#include "VastrelleError.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kImageFolderName = "image";

std::string Utf8(const std::string& cp932Text) { return cp932::ToUtf8Lossy(cp932Text); }

void PrintLine(const std::string& text) { std::printf("%s\n", text.c_str()); }

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
            bool missing = false;
            for (const std::string& thumbnail : {large, small}) {
                if (IsRegularFile(ImageFilePath(imageFolder, thumbnail))) continue;
                PrintLine("missing thumbnail: " + Utf8(thumbnail) + " (picture " + Utf8(*name) +
                          ")");
                missing = true;
            }
            if (!missing) continue;
            if (!repair) {
                wrong = true;
                continue;
            }
            try {
                MakeThumbnails(imageFolder, *name);
                PrintLine("repaired: " + Utf8(*name));
            } catch (const VastrelleError& e) {
                PrintLine("cannot repair " + Utf8(*name) + ": " + e.what());
                wrong = true;
            }
        }
    }

    std::error_code ec;
    std::set<std::string> orphans;
    for (fs::directory_iterator it(imageFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) || known.count(it->path().filename())) continue;
        auto name = Cp932FromFsName(it->path().filename());
        orphans.insert(name ? Utf8(*name) : it->path().filename().string());
    }
    for (const std::string& orphan : orphans) PrintLine("orphan: " + orphan);
    std::fflush(stdout);
    return wrong || !orphans.empty() ? 1 : 0;
}
