#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The whole content of a regular file; nullopt when it cannot be opened, is not a regular file
// (a folder, a pipe), or a read fails.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);
