#include "cardtypes/TemplatePictures.h"

#include <optional>

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Paths.h"
#include "files/AtomicFile.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "pictures/CardImages.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTemplateExtension = ".template";

std::string ReadPicture(const fs::path& path) {
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) throw VastrelleError(FormatMessage(msg::kCannotOpen, path.string()));
    return std::move(*bytes);
}

// The cards are taken from the lines just written, never read back: a read that fails must not
// pass for a template that is no card list.
void CopyNamedPictures(const fs::path& cardTypeFolder, std::string cardListText,
                       const fs::path& pictureFolder) {
    TCardInfos cards;
    try {
        ReadCardListBytes(cardListText, cardTypeFolder / kCardListFileName, cards);
    } catch (const VastrelleError&) {
        return;  // not a card list: imported as it is, to be reported when it is opened
    }
    const fs::path imageFolder = cardTypeFolder / kImageFolderName;
    for (const TCardInfo& card : cards) {
        for (const std::string& name : {card.FrontImageFileName, card.BackImageFileName}) {
            if (!HasAcceptedExtension(name)) continue;
            auto source = ImageFilePath(pictureFolder, name);
            std::error_code ec;
            if (!source || !fs::is_regular_file(*source, ec)) continue;
            // Named twice, or sharing the thumbnails of a picture copied already.
            if (CheckImageName(imageFolder, name, "") != TNameCheck::Free) continue;
            StoreImageSide(imageFolder, "", ReadPicture(*source), name);
        }
    }
    if (!FlushFolder(imageFolder))
        throw VastrelleError(msg::kImageFolderFailed, MessageKind::ErrorAbort);
}

}  // namespace

fs::path TemplatePictureFolder(const fs::path& templatePath) {
    const std::string& path = templatePath.native();
    if (!path.ends_with(kTemplateExtension) || templatePath.filename() == kTemplateExtension)
        return {};
    return fs::path(path.substr(0, path.size() - kTemplateExtension.size()));
}

void ImportTemplateWithPictures(const fs::path& programFolder, const std::string& name,
                                const fs::path& templatePath) {
    const fs::path pictureFolder = TemplatePictureFolder(templatePath);
    std::error_code ec;
    if (pictureFolder.empty() || !fs::is_directory(pictureFolder, ec)) {
        ImportTemplate(programFolder, name, templatePath);
        return;
    }
    BuildCardType(programFolder, name, kImportFolderPrefix, [&](const fs::path& folder) {
        CopyNamedPictures(folder, WriteTemplateCardList(folder, templatePath), pictureFolder);
        if (!FlushFolder(folder))
            throw VastrelleError(msg::kCardListCreateFailed, MessageKind::ErrorAbort);
    });
}
