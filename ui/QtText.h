#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>

// Card texts and names are CP932 bytes; Qt shows UTF-16. These are the only crossings.
QString FromCp932(const std::string& text);
// nullopt when the text has a character that CP932 lacks.
std::optional<std::string> ToCp932(const QString& text);
// A UTF-8 literal of ours as a QString.
inline QString Tr(const char* utf8) { return QString::fromUtf8(utf8); }

QString FromPath(const std::filesystem::path& path);
std::filesystem::path ToPath(const QString& path);
