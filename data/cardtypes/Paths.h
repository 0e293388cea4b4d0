#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// The one place where a CP932 name becomes a file-system name (UTF-8 on Linux).
// nullopt when the name has no form there.
std::optional<std::filesystem::path> FsNameFromCp932(std::string_view name);

// The reverse, for names read from a folder: nullopt when the name has no CP932 form.
std::optional<std::string> Cp932FromFsName(const std::filesystem::path& name);
