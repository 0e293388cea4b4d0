#include "pictures/Exif.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "pictures/CardImages.h"

namespace {

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kApp1 = 0xE1;
constexpr std::string_view kExifHeader{"Exif\0\0", 6};
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
constexpr std::size_t kTiffHeaderSize = 8;
constexpr std::size_t kIfdEntrySize = 12;

std::uint8_t Byte(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]);
}

// Reads the TIFF block's numbers in its own byte order; every read is checked by the caller.
class TTiffReader {
public:
    TTiffReader(std::string_view tiff, bool bigEndian) : m_tiff(tiff), m_bigEndian(bigEndian) {}

    bool Fits(std::size_t at, std::size_t size) const {
        return at <= m_tiff.size() && size <= m_tiff.size() - at;
    }
    std::uint16_t U16(std::size_t at) const {
        const std::uint16_t a = Byte(m_tiff, at), b = Byte(m_tiff, at + 1);
        return m_bigEndian ? static_cast<std::uint16_t>(a << 8 | b)
                           : static_cast<std::uint16_t>(b << 8 | a);
    }
    std::uint32_t U32(std::size_t at) const {
        const std::uint32_t high = U16(at + (m_bigEndian ? 0 : 2));
        const std::uint32_t low = U16(at + (m_bigEndian ? 2 : 0));
        return high << 16 | low;
    }

private:
    std::string_view m_tiff;
    bool m_bigEndian;
};

// Only IFD0 is read and its next-IFD link is never followed, so no offset can make a loop.
std::optional<int> OrientationInTiff(std::string_view tiff) {
    if (tiff.size() < kTiffHeaderSize) return std::nullopt;
    const std::string_view order = tiff.substr(0, 2);
    if (order != "II" && order != "MM") return std::nullopt;
    const TTiffReader reader(tiff, order == "MM");
    if (reader.U16(2) != 42) return std::nullopt;
    const std::uint32_t ifd = reader.U32(4);
    if (ifd < kTiffHeaderSize || !reader.Fits(ifd, 2)) return std::nullopt;
    const std::size_t count = reader.U16(ifd);
    // The entries and the next-IFD link after them lie within the segment.
    if (!reader.Fits(ifd + 2, count * kIfdEntrySize + 4)) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + i * kIfdEntrySize;
        if (reader.U16(entry) != kOrientationTag) continue;
        if (reader.U16(entry + 2) != kShortType || reader.U32(entry + 4) != 1) return std::nullopt;
        // A single SHORT sits in the first two bytes of the value field, in either byte order.
        const int value = reader.U16(entry + 8);
        if (value < 1 || value > 8) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> ReadExifOrientation(std::string_view jpeg) {
    if (jpeg.size() < 2 || Byte(jpeg, 0) != kMarker || Byte(jpeg, 1) != kStartOfImage)
        return std::nullopt;
    // The metadata segments come before the first scan; every step moves on by at least the
    // marker, so the walk ends within the bytes.
    std::size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        if (Byte(jpeg, at) != kMarker) return std::nullopt;
        const std::uint8_t marker = Byte(jpeg, at + 1);
        if (marker == kMarker) {  // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage) return std::nullopt;
        const std::size_t length = Byte(jpeg, at + 2) << 8 | Byte(jpeg, at + 3);
        if (length < 2 || length > jpeg.size() - at - 2) return std::nullopt;
        const std::string_view payload = jpeg.substr(at + 4, length - 2);
        if (marker == kApp1 && payload.starts_with(kExifHeader))
            return OrientationInTiff(payload.substr(kExifHeader.size()));
        at += 2 + length;
    }
    return std::nullopt;
}

bool ApplyExifOrientation(TBitmap& bitmap, int orientation) {
    const std::ptrdiff_t w = bitmap.Width, h = bitmap.Height;
    if (w <= 0 || h <= 0 || bitmap.Pixels.size() != static_cast<std::size_t>(w * h) * 3)
        return false;
    if (orientation < 2 || orientation > 8) return true;
    // Upright pixel (x, y) is stored pixel first + x * stepX + y * stepY.
    struct TWalk {
        std::ptrdiff_t First, StepX, StepY;
    };
    const TWalk walks[] = {
        {w - 1, -1, w},                 // 2: mirrored left to right
        {(h - 1) * w + w - 1, -1, -w},  // 3: turned half round
        {(h - 1) * w, 1, -w},           // 4: mirrored top to bottom
        {0, w, 1},                      // 5: mirrored about the main diagonal
        {(h - 1) * w, -w, 1},           // 6: turned a quarter clockwise
        {(h - 1) * w + w - 1, -w, -1},  // 7: mirrored about the other diagonal
        {w - 1, w, -1},                 // 8: turned a quarter anticlockwise
    };
    const TWalk walk = walks[orientation - 2];
    const bool swapsSides = orientation >= 5;
    const std::ptrdiff_t uprightWidth = swapsSides ? h : w;
    const std::ptrdiff_t uprightHeight = swapsSides ? w : h;
    try {
        std::vector<std::uint8_t> upright(bitmap.Pixels.size());
        std::uint8_t* out = upright.data();
        const std::uint8_t* stored = bitmap.Pixels.data();
        for (std::ptrdiff_t y = 0; y < uprightHeight; ++y) {
            std::ptrdiff_t source = walk.First + y * walk.StepY;
            for (std::ptrdiff_t x = 0; x < uprightWidth; ++x, source += walk.StepX) {
                const std::uint8_t* pixel = stored + source * 3;
                *out++ = pixel[0];
                *out++ = pixel[1];
                *out++ = pixel[2];
            }
        }
        bitmap.Pixels = std::move(upright);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bitmap.Width = static_cast<int>(uprightWidth);
    bitmap.Height = static_cast<int>(uprightHeight);
    return true;
}

bool TurnUpright(TBitmap& bitmap, std::string_view jpegBytes) {
    const std::optional<int> orientation = ReadExifOrientation(jpegBytes);
    return !orientation || ApplyExifOrientation(bitmap, *orientation);
}
