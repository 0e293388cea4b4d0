#include "QtText.h"

#include "text/Cp932.h"

QString FromCp932(const std::string& text) {
    return QString::fromStdString(cp932::ToUtf8Lossy(text));
}

std::optional<std::string> ToCp932(const QString& text) {
    return cp932::FromUtf8(text.toStdString());
}

QString FromPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}
