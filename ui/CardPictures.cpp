#include "CardPictures.h"

#include <QImageReader>

#include "QtText.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "pictures/ImageNames.h"
#include "pictures/Jpeg.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowCannotOpen(const fs::path& path) {
    throw VastrelleError(FormatMessage(msg::kCannotOpen, path.string()));
}

std::string ReadOrThrow(const fs::path& path) {
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) ThrowCannotOpen(path);
    return std::move(*bytes);
}

// A view that borrows the bitmap's pixels: copy or scale it before the bitmap goes.
QImage ViewOf(const TBitmap& bitmap) {
    if (bitmap.Width <= 0 || bitmap.Height <= 0) return {};
    return QImage(bitmap.Pixels.data(), bitmap.Width, bitmap.Height, bitmap.Width * 3,
                  QImage::Format_RGB888);
}

QImage DecodeToImage(const std::string& bytes) { return ViewOf(DecodeJpeg(bytes)).copy(); }

QImage ReadWithQt(const fs::path& path, const QByteArray& format) {
    QImageReader reader(FromPath(path), format);
    reader.setDecideFormatFromContent(false);
    QImage image = reader.read();
    if (image.isNull()) ThrowCannotOpen(path);
    return image;
}

}  // namespace

THeldPicture LoadDroppedPicture(const QString& path, QSize area) {
    THeldPicture picture;
    picture.Bytes = ReadOrThrow(ToPath(path));
    auto decoded = std::make_shared<TBitmap>(DecodeJpeg(picture.Bytes));
    const QImage view = ViewOf(*decoded);
    const QSize fitted = FitToArea(view.size(), area);
    // scaled() hands back the view itself when the size already fits.
    picture.Shown = fitted == view.size()
                        ? view.copy()
                        : view.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.Decoded = std::move(decoded);
    return picture;
}

QImage LoadStoredPicture(const fs::path& imageFolder, const std::string& name) {
    std::optional<fs::path> path = ImageFilePath(imageFolder, name);
    std::error_code error;
    if (!path || !fs::is_regular_file(*path, error)) return {};

    const std::string extension = ExtensionOf(name);
    const std::string lower = AsciiLower(extension);
    if (lower == "jpg" || lower == "jpeg") return DecodeToImage(ReadOrThrow(*path));
    const QByteArray format = QByteArray::fromStdString(lower);
    // Windows metafiles and anything Qt was built without are reported as unknown formats.
    if ((lower == "bmp" || lower == "ico") &&
        QImageReader::supportedImageFormats().contains(format))
        return ReadWithQt(*path, format);
    throw VastrelleError(FormatMessage(msg::kUnknownImageFormat, cp932::ToUtf8Lossy(extension)));
}

QSize FitToArea(QSize picture, QSize area) {
    if (picture.isEmpty()) return {};
    const qint64 w = picture.width(), h = picture.height();
    // Compare w/h with the area's ratio in whole numbers to avoid rounding surprises.
    if (w * area.height() >= h * area.width())
        return {area.width(), std::max<int>(1, static_cast<int>(h * area.width() / w))};
    return {std::max<int>(1, static_cast<int>(w * area.height() / h)), area.height()};
}
