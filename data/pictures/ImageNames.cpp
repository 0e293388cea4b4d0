#include "pictures/ImageNames.h"

#include "cardtypes/Paths.h"
#include "text/Cp932.h"

namespace {

// Position of the extension's "." in the name, or npos. Trail bytes never count.
std::size_t ExtensionStart(std::string_view name) {
    std::size_t dot = std::string_view::npos;
    for (std::size_t pos = 0; pos < name.size(); pos += cp932::CharLength(name, pos)) {
        if (cp932::CharLength(name, pos) != 1) continue;
        if (name[pos] == '.')
            dot = pos;
        else if (name[pos] == '\\' || name[pos] == ':')
            dot = std::string_view::npos;
    }
    return dot;
}

// A bare name that stays inside the image folder: no separator (a "\" trail byte is not one),
// not "." or "..", no NUL that would cut the path short.
bool RegularFileExists(const std::filesystem::path& folder, std::string_view name) {
    auto path = ImageFilePath(folder, name);
    std::error_code ec;
    return path && std::filesystem::is_regular_file(*path, ec);
}

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (std::size_t pos = 0; pos < name.size(); pos += cp932::CharLength(name, pos)) {
        if (cp932::CharLength(name, pos) != 1) continue;
        if (name[pos] == '/' || name[pos] == '\\' || name[pos] == '\0') return false;
    }
    return true;
}

}  // namespace

std::string ReplaceExtension(std::string_view name, std::string_view newExtension) {
    std::string result(name.substr(0, ExtensionStart(name)));
    result += newExtension;
    return result;
}

std::optional<std::filesystem::path> ImageFilePath(const std::filesystem::path& imageFolder,
                                                   std::string_view name) {
    // No card type loaded: there is no image folder, and a relative path would land elsewhere.
    if (imageFolder.empty() || !IsPlainFileName(name)) return std::nullopt;
    auto fsName = FsNameFromCp932(name);
    if (!fsName) return std::nullopt;
    return imageFolder / *fsName;
}

bool HasAcceptedExtension(std::string_view name) {
    const std::size_t dot = ExtensionStart(name);
    if (dot == std::string_view::npos) return false;
    const std::string_view extension = name.substr(dot);
    return extension == ".jpg" || extension == ".jpeg";
}

std::string ExtensionOf(std::string_view name) {
    std::size_t afterDot = std::string_view::npos;
    for (std::size_t i = 0; i < name.size(); i += cp932::CharLength(name, i))
        if (name[i] == '.') afterDot = i + 1;
    return afterDot == std::string_view::npos ? std::string() : std::string(name.substr(afterDot));
}

std::string AsciiUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return result;
}

std::string AsciiLower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    return result;
}

TNameCheck CheckImageName(const std::filesystem::path& imageFolder, const std::string& droppedName,
                          const std::string& currentName) {
    // A name that cannot be stored inside the image folder can never become a picture.
    if (!ImageFilePath(imageFolder, droppedName)) return TNameCheck::Taken;
    const std::string dropped = AsciiUpper(droppedName);
    if (RegularFileExists(imageFolder, droppedName))
        return !currentName.empty() && dropped == AsciiUpper(currentName) ? TNameCheck::OwnPicture
                                                                          : TNameCheck::Taken;
    // x.jpeg would share the thumbnails of another picture x.jpg; only the side's own current
    // picture may hand them over.
    const bool ownThumbnails =
        !currentName.empty() &&
        AsciiUpper(ReplaceExtension(droppedName, kSmallThumbnailExtension)) ==
            AsciiUpper(ReplaceExtension(currentName, kSmallThumbnailExtension));
    if (!ownThumbnails &&
        (RegularFileExists(imageFolder, ReplaceExtension(droppedName, kSmallThumbnailExtension)) ||
         RegularFileExists(imageFolder, ReplaceExtension(droppedName, kLargeThumbnailExtension))))
        return TNameCheck::Taken;
    return TNameCheck::Free;
}
