#include "cardtypes/TemplatePictures.h"

#include <fcntl.h>
#include <unistd.h>

#include <set>

#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/FolderRename.h"
#include "cardtypes/Paths.h"
#include "cardtypes/StagingFolder.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "pictures/CardImages.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTemplateExtension = ".template";

std::string ReadPicture(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw VastrelleError(FormatMessage(msg::kCannotOpen, path.string()));
    std::string bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    if (n < 0) throw VastrelleError(FormatMessage(msg::kCannotOpen, path.string()));
    return bytes;
}

void CopyNamedPictures(const fs::path& cardTypeFolder, const fs::path& pictureFolder) {
    TCardInfos cards;
    try {
        ReadCardList(cardTypeFolder / kCardListFileName, cards);
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
    // The checks of ImportTemplate, made here as well so that a refused name costs no copying.
    if (!IsValidCardTypeName(name))
        throw VastrelleError(msg::kBadCardTypeName, MessageKind::Warning);
    const fs::path target = programFolder / *FsNameFromCp932(name);
    if (fs::is_directory(target, ec))
        throw VastrelleError(msg::kCardTypeExists, MessageKind::Warning);

    TStagingFolder staging(programFolder);
    ImportTemplate(staging.Path(), name, templatePath);
    const fs::path built = staging.Path() / target.filename();
    CopyNamedPictures(built, pictureFolder);
    PublishCardTypeFolder(built, programFolder);
}
