#pragma once

#include <QCache>
#include <QPixmap>
#include <filesystem>

#include "cardlist/Common.h"

// Which thumbnail each row shows: the side and size the checked view asks for.
struct TThumbnailKind {
    bool Front = true;
    bool Large = false;
    int Side() const { return Large ? 100 : 50; }
};

// Reads a BMP thumbnail file and lays it on a white side x side canvas at the top left, unscaled
// and cut beyond the canvas. A null image when the file is missing or does not decode.
QImage LoadThumbnail(const std::filesystem::path& file, int side);

// The thumbnail as drawn for a card not yet owned: grey and lighter.
QImage FadeThumbnail(const QImage& thumbnail);

// The thumbnails of the rows on screen, loaded when first asked for and kept in a bounded cache.
class TThumbnailCache {
public:
    TThumbnailCache();

    // Forgets every thumbnail; later requests read the files of this folder and kind.
    void Reset(const std::filesystem::path& imageFolder, TThumbnailKind kind);
    void Clear();
    // The row's thumbnail (faded: as FadeThumbnail draws it), or a null pixmap when the row has
    // no image.
    QPixmap Get(int row, const TCardInfo& card, bool faded = false);
    const TThumbnailKind& Kind() const { return m_kind; }

private:
    std::filesystem::path m_imageFolder;
    TThumbnailKind m_kind;
    QCache<int, QPixmap> m_cache;
    QCache<int, QPixmap> m_faded;
};
