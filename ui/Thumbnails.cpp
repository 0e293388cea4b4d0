#include "Thumbnails.h"

#include <QImage>
#include <QPainter>

#include "QtText.h"
#include "pictures/CardImages.h"

namespace {

// A screenful of large thumbnails is well under this; 100 x 100 x 4 bytes each.
constexpr int kCacheCostBytes = 48 * 1024 * 1024;

}  // namespace

QImage LoadThumbnail(const std::filesystem::path& file, int side) {
    QImage bitmap;
    // The thumbnail extensions are not image suffixes Qt knows, so the format is named.
    if (!bitmap.load(FromPath(file), "BMP")) return {};
    // Drawn without a mask: any alpha channel of the file is ignored.
    bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    QImage canvas(side, side, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, bitmap);
    return canvas;
}

QImage FadeThumbnail(const QImage& thumbnail) {
    QImage faded =
        thumbnail.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    QPainter painter(&faded);
    painter.fillRect(faded.rect(), QColor(255, 255, 255, 150));
    return faded;
}

TThumbnailCache::TThumbnailCache() : m_cache(kCacheCostBytes), m_faded(kCacheCostBytes / 2) {}

void TThumbnailCache::Reset(const std::filesystem::path& imageFolder, TThumbnailKind kind) {
    m_imageFolder = imageFolder;
    m_kind = kind;
    m_cache.clear();
    m_faded.clear();
}

void TThumbnailCache::Clear() {
    m_imageFolder.clear();
    m_cache.clear();
    m_faded.clear();
}

QPixmap TThumbnailCache::Get(int row, const TCardInfo& card, bool faded) {
    if (m_imageFolder.empty()) return {};
    if (faded) {
        if (const QPixmap* cached = m_faded.object(row)) return *cached;
        QPixmap plain = Get(row, card, false);
        QPixmap pixmap =
            plain.isNull() ? plain : QPixmap::fromImage(FadeThumbnail(plain.toImage()));
        m_faded.insert(row, new QPixmap(pixmap),
                       pixmap.isNull() ? 1 : pixmap.width() * pixmap.height() * 4);
        return pixmap;
    }
    if (const QPixmap* cached = m_cache.object(row)) return *cached;

    const std::string& picture = m_kind.Front ? card.FrontImageFileName : card.BackImageFileName;
    std::string name = ReplaceExtension(
        picture, m_kind.Large ? kLargeThumbnailExtension : kSmallThumbnailExtension);
    QPixmap pixmap;
    // A name that cannot be a file of the folder, a missing file and an unreadable one all leave
    // the row without an image; the row itself is always shown.
    if (auto path = ImageFilePath(m_imageFolder, name)) {
        QImage image = LoadThumbnail(*path, m_kind.Side());
        if (!image.isNull()) pixmap = QPixmap::fromImage(image);
    }
    // Misses are cached too, so a row without an image does not touch the disk on every paint.
    int cost = pixmap.isNull() ? 1 : pixmap.width() * pixmap.height() * 4;
    m_cache.insert(row, new QPixmap(pixmap), cost);
    return pixmap;
}
