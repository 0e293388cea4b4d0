#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>

// Card texts and names are CP932 bytes; Qt shows UTF-16. These are the only crossings.
QString FromCp932(const std::string& text);
// nullopt when the text has a character that CP932 lacks.
std::optional<std::string> ToCp932(const QString& text);
QString FromPath(const std::filesystem::path& path);
std::filesystem::path ToPath(const QString& path);
