#include <string>

#include "CardImages.h"
#include "Cp932.h"
#include "Paths.h"

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

bool HasAcceptedExtension(std::string_view path) {
    const std::size_t dot = ExtensionStart(path);
    if (dot == std::string_view::npos) return false;
    const std::string_view extension = path.substr(dot);
    return extension == ".jpg" || extension == ".jpeg";
}
