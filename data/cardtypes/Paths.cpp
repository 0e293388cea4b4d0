#include "cardtypes/Paths.h"

#include "text/Cp932.h"

std::optional<std::filesystem::path> FsNameFromCp932(std::string_view name) {
    auto utf8 = cp932::ToUtf8(name);
    if (!utf8) return std::nullopt;
    return std::filesystem::path(*utf8);
}

std::optional<std::string> Cp932FromFsName(const std::filesystem::path& name) {
    return cp932::FromUtf8(name.native());
}
