#include "pictures/Orphans.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Paths.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/PendingFile.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"

namespace fs = std::filesystem;

namespace {

TCardInfos ReadCards(const fs::path& cardTypeFolder) {
    TCardInfos cards;
    ReadCardList(cardTypeFolder / kCardListFileName, cards);
    return cards;
}

bool IsThumbnailName(std::string_view name) {
    const std::string extension = "." + ExtensionOf(name);
    return extension == kSmallThumbnailExtension || extension == kLargeThumbnailExtension;
}

std::vector<TOrphan> Orphans(const fs::path& cardTypeFolder, const TCardInfos& cards) {
    const fs::path imageFolder = cardTypeFolder / kImageFolderName;
    std::set<fs::path> named;
    for (const TCardInfo& card : cards)
        for (const std::string* name : {&card.FrontImageFileName, &card.BackImageFileName}) {
            if (name->empty()) continue;
            for (const std::string& file :
                 {*name, ReplaceExtension(*name, kLargeThumbnailExtension),
                  ReplaceExtension(*name, kSmallThumbnailExtension)})
                if (auto path = ImageFilePath(imageFolder, file)) named.insert(path->filename());
        }

    // CP932 name -> file-system name of every file no card names.
    std::map<std::string, fs::path> files;
    std::vector<fs::path> entries;
    if (fileops::ListFolder(imageFolder, entries) != 0)
        throw VastrelleError(FormatMessage(msg::kCannotOpen, imageFolder.string()) + ": " +
                             std::strerror(errno));
    for (const fs::path& entry : entries) {
        std::error_code typeError;
        const fs::path fileName = entry.filename();
        const fs::file_status status = fs::symlink_status(entry, typeError);
        if (!fs::is_regular_file(status) || named.count(fileName) ||
            IsTemporaryFileName(fileName.native()))
            continue;
        if (auto name = Cp932FromFsName(fileName)) files.emplace(std::move(*name), fileName);
    }

    std::vector<TOrphan> orphans;
    std::set<std::string> claimed;
    auto claim = [&](TOrphan& orphan, const std::string& name) {
        auto found = files.find(name);
        if (found == files.end() || !claimed.insert(name).second) return;
        orphan.Files.push_back(found->second);
    };
    for (const auto& [name, fileName] : files) {
        if (IsThumbnailName(name)) continue;
        TOrphan& orphan = orphans.emplace_back();
        orphan.Name = name;
        claim(orphan, name);
        claim(orphan, ReplaceExtension(name, kSmallThumbnailExtension));
        claim(orphan, ReplaceExtension(name, kLargeThumbnailExtension));
    }
    // What is left are thumbnails without their picture; a pair goes together.
    for (const auto& [name, fileName] : files) {
        if (claimed.count(name)) continue;
        TOrphan& orphan = orphans.emplace_back();
        orphan.Name = name;
        claim(orphan, ReplaceExtension(name, kSmallThumbnailExtension));
        claim(orphan, ReplaceExtension(name, kLargeThumbnailExtension));
        claim(orphan, name);
    }
    std::sort(orphans.begin(), orphans.end(),
              [](const TOrphan& a, const TOrphan& b) { return a.Name < b.Name; });
    return orphans;
}

}  // namespace

std::vector<TOrphan> ListOrphans(const fs::path& cardTypeFolder) {
    return Orphans(cardTypeFolder, ReadCards(cardTypeFolder));
}

std::size_t RemoveOrphans(const fs::path& cardTypeFolder, const std::vector<std::string>& names) {
    // Orphans are decided on the card list as it is when they go: a card added meanwhile by
    // another writer keeps its pictures.
    TCardTypeLock lock(cardTypeFolder);
    TCardChange change;
    change.Cards = ReadCards(cardTypeFolder);
    // The card list stays byte for byte as it is.
    change.CardListBytes = ReadWholeFile(cardTypeFolder / kCardListFileName);
    if (!change.CardListBytes)
        throw VastrelleError(
            FormatMessage(msg::kCannotOpen, (cardTypeFolder / kCardListFileName).string()));
    const std::set<std::string> chosen(names.begin(), names.end());
    std::size_t count = 0;
    for (const TOrphan& orphan : Orphans(cardTypeFolder, change.Cards)) {
        if (!chosen.count(orphan.Name)) continue;
        change.RemovedFiles.insert(change.RemovedFiles.end(), orphan.Files.begin(),
                                   orphan.Files.end());
        ++count;
    }
    if (count > 0) SaveCardChange(cardTypeFolder, change);
    return count;
}
