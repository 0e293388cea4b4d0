// Phone photos: the EXIF orientation, upright thumbnails, and pictures that must stay as before.
#include "pictures/Exif.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "BmpFile.h"
#include "TempDir.h"
#include "pictures/Bmp.h"
#include "pictures/CardImages.h"
#include "pictures/ImageFit.h"

namespace fs = std::filesystem;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";
// 64 x 32, quadrants red, green (top), blue, white (bottom); no EXIF segment.
const std::string kCorners = ReadFileBytes(kImages / "corners.jpg");
const std::string kPhoto = ReadFileBytes(kImages / "photo.jpg");

constexpr std::uint16_t kOrientation = 0x0112;
constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;

struct TEntry {
    std::uint16_t Tag;
    std::uint16_t Type;
    std::uint32_t Count;
    std::uint32_t Value;  // a single SHORT goes into the first two bytes of the field
};

class TTiffWriter {
public:
    explicit TTiffWriter(bool bigEndian) : m_bigEndian(bigEndian) {}
    TTiffWriter& U16(std::uint32_t value) { return Put(value, 2); }
    TTiffWriter& U32(std::uint32_t value) { return Put(value, 4); }
    TTiffWriter& Raw(std::string_view bytes) {
        m_bytes += bytes;
        return *this;
    }
    TTiffWriter& Entry(const TEntry& entry) {
        U16(entry.Tag).U16(entry.Type).U32(entry.Count);
        return entry.Type == kShort && entry.Count == 1 ? U16(entry.Value).U16(0)
                                                        : U32(entry.Value);
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    TTiffWriter& Put(std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (m_bigEndian ? size - 1 - i : i);
            m_bytes.push_back(static_cast<char>(value >> shift & 0xFF));
        }
        return *this;
    }

    bool m_bigEndian;
    std::string m_bytes;
};

// A TIFF block whose IFD0 follows its header and holds the entries.
std::string Tiff(bool bigEndian, const std::vector<TEntry>& entries, std::uint32_t nextIfd = 0) {
    TTiffWriter tiff(bigEndian);
    tiff.Raw(bigEndian ? "MM" : "II")
        .U16(42)
        .U32(8)
        .U16(static_cast<std::uint32_t>(entries.size()));
    for (const TEntry& entry : entries) tiff.Entry(entry);
    return tiff.U32(nextIfd).Bytes();
}

std::string Segment(std::uint8_t marker, std::string_view payload) {
    const std::size_t length = payload.size() + 2;
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)} +
           std::string(payload);
}

std::string ExifSegment(std::string_view tiff) {
    return Segment(0xE1, std::string("Exif\0\0", 6) + std::string(tiff));
}

std::string OrientationTiff(int orientation, bool bigEndian = false) {
    // Camera makers write a few tags before the orientation.
    return Tiff(bigEndian, {{0x010F, 2, 4, 0},
                            {kOrientation, kShort, 1, static_cast<std::uint32_t>(orientation)}});
}

std::string AfterSoi(std::string_view jpeg, std::string_view segments) {
    return std::string(jpeg.substr(0, 2)) + std::string(segments) + std::string(jpeg.substr(2));
}

// The picture as a phone stores it: the EXIF segment right after the start of the image.
std::string Oriented(std::string_view jpeg, int orientation, bool bigEndian = false) {
    return AfterSoi(jpeg, ExifSegment(OrientationTiff(orientation, bigEndian)));
}

std::string WithExifTiff(std::string_view tiff) { return AfterSoi(kCorners, ExifSegment(tiff)); }

enum TColour { Red, Green, Blue, White };

TColour ColourAt(const TBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = &bitmap.Pixels.at((static_cast<std::size_t>(y) * bitmap.Width + x) * 3);
    const bool r = p[0] > 128, g = p[1] > 128, b = p[2] > 128;
    if (r && g && b) return White;
    if (r && !g && !b) return Red;
    if (!r && g && !b) return Green;
    if (!r && !g && b) return Blue;
    ADD_FAILURE() << "no quadrant colour: " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
    return White;
}

// Top-left, top-right, bottom-left, bottom-right.
std::array<TColour, 4> Corners(const TBitmap& bitmap) {
    const int right = bitmap.Width - 1, bottom = bitmap.Height - 1;
    return {ColourAt(bitmap, 0, 0), ColourAt(bitmap, right, 0), ColourAt(bitmap, 0, bottom),
            ColourAt(bitmap, right, bottom)};
}

}  // namespace

TEST(ReadExifOrientation, ReadsEachValueInBothByteOrders) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        EXPECT_EQ(ReadExifOrientation(Oriented(kPhoto, orientation)), orientation);
        EXPECT_EQ(ReadExifOrientation(Oriented(kPhoto, orientation, true)), orientation);
    }
    // Behind the JFIF segment, behind an XMP segment (also APP1) and after fill bytes.
    const std::string exif = ExifSegment(OrientationTiff(6, true));
    EXPECT_EQ(ReadExifOrientation(kPhoto.substr(0, 20) + exif + kPhoto.substr(20)), 6);
    const std::string xmp = Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33));
    EXPECT_EQ(ReadExifOrientation(AfterSoi(kPhoto, xmp + exif)), 6);
    EXPECT_EQ(ReadExifOrientation(AfterSoi(kPhoto, "\xFF\xFF" + exif)), 6);
    // The tags need not be sorted, and a link to a further IFD is not needed to find it.
    EXPECT_EQ(ReadExifOrientation(WithExifTiff(
                  Tiff(false, {{0x0131, 2, 2, 0x41}, {kOrientation, kShort, 1, 3}}, 8))),
              3);
}

TEST(ReadExifOrientation, NoneWithoutAnExifOrientation) {
    for (const char* fixture :
         {"photo.jpg", "progressive.jpg", "gray.jpg", "cmyk.jpg", "corners.jpg"}) {
        SCOPED_TRACE(fixture);
        EXPECT_EQ(ReadExifOrientation(ReadFileBytes(kImages / fixture)), std::nullopt);
    }
    EXPECT_EQ(ReadExifOrientation(""), std::nullopt);
    EXPECT_EQ(ReadExifOrientation("\xFF\xD8"), std::nullopt);
    EXPECT_EQ(ReadExifOrientation(ExifSegment(OrientationTiff(6))), std::nullopt) << "no SOI";
    EXPECT_EQ(ReadExifOrientation(WithExifTiff(Tiff(false, {{0x010F, 2, 4, 0}}))), std::nullopt);
    EXPECT_EQ(ReadExifOrientation(WithExifTiff(Tiff(true, {}))), std::nullopt);
    // An "Exif" segment inside the scan data is picture data, not metadata.
    const std::size_t end = kCorners.size() - 2;
    ASSERT_EQ(kCorners.substr(end), "\xFF\xD9");
    EXPECT_EQ(ReadExifOrientation(kCorners.substr(0, end) + ExifSegment(OrientationTiff(6)) +
                                  kCorners.substr(end)),
              std::nullopt);
}

TEST(ReadExifOrientation, HostileExifGivesNoOrientation) {
    auto header = [](std::string_view order, std::uint32_t magic, std::uint32_t ifd) {
        TTiffWriter tiff(order == "MM");
        return tiff.Raw(order).U16(magic).U32(ifd).Bytes();
    };
    const std::string good = OrientationTiff(6);
    const std::pair<const char*, std::string> cases[] = {
        {"value 0", OrientationTiff(0)},
        {"value 9", OrientationTiff(9)},
        {"value 0xFFFF", OrientationTiff(0xFFFF, true)},
        {"as LONG", Tiff(false, {{kOrientation, kLong, 1, 6}})},
        {"two values", Tiff(false, {{kOrientation, kShort, 2, 0x00060006}})},
        {"no TIFF", ""},
        {"short header", good.substr(0, 7)},
        {"byte order IM", "IM" + good.substr(2)},
        {"magic 43", header("II", 43, 8) + good.substr(8)},
        {"IFD in the header", header("II", 42, 4) + good.substr(8)},
        {"IFD at 0xFFFFFFFF", header("MM", 42, 0xFFFFFFFF) + good.substr(8)},
        {"IFD past the end",
         header("II", 42, static_cast<std::uint32_t>(good.size())) + good.substr(8)},
        {"count byte cut", good.substr(0, 9)},
        {"entries cut", good.substr(0, good.size() - 8)},
        {"count 0xFFFF", header("II", 42, 8) + "\xFF\xFF" + good.substr(10)},
    };
    for (const auto& [what, tiff] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(ReadExifOrientation(WithExifTiff(tiff)), std::nullopt);
    }

    // IFD0 linked to itself, or its offset aimed back at the header: nothing is followed.
    EXPECT_EQ(ReadExifOrientation(WithExifTiff(Tiff(false, {{0x010F, 2, 4, 0}}, 8))), std::nullopt);
    EXPECT_EQ(ReadExifOrientation(WithExifTiff(header("MM", 42, 0) + good.substr(8))),
              std::nullopt);

    // A segment is read only within its own length, even where the file goes on.
    const std::string exif = ExifSegment(good);
    for (std::size_t claimed :
         {std::size_t{0}, std::size_t{1}, std::size_t{8}, exif.size() - 10, exif.size() - 3}) {
        SCOPED_TRACE(claimed);
        std::string shortened = exif;
        shortened[2] = static_cast<char>(claimed >> 8);
        shortened[3] = static_cast<char>(claimed & 0xFF);
        EXPECT_EQ(ReadExifOrientation(AfterSoi(kCorners, shortened)), std::nullopt);
    }
    // Cut anywhere in the EXIF segment (a truncated download): nothing; after it, the value.
    const std::string whole = AfterSoi(kCorners, exif);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_EQ(ReadExifOrientation(whole.substr(0, size)),
                  size < 2 + exif.size() ? std::nullopt : std::optional<int>(6));
    }
    // A stray byte where the next segment should start ends the walk.
    EXPECT_EQ(ReadExifOrientation(AfterSoi(kCorners, std::string(1, '\0') + exif)), std::nullopt);
}

TEST(ApplyExifOrientation, TurnsAndMirrorsForEachValue) {
    // 3 x 2, pixels numbered 0 1 2 / 3 4 5; each row below is the upright picture, top-down.
    const std::vector<int> expected[] = {
        {0, 1, 2, 3, 4, 5},  // 1
        {2, 1, 0, 5, 4, 3},  // 2: mirrored left to right
        {5, 4, 3, 2, 1, 0},  // 3: half round
        {3, 4, 5, 0, 1, 2},  // 4: mirrored top to bottom
        {0, 3, 1, 4, 2, 5},  // 5: 2 x 3 from here on
        {3, 0, 4, 1, 5, 2},  // 6: a quarter clockwise
        {5, 2, 4, 1, 3, 0},  // 7
        {2, 5, 1, 4, 0, 3},  // 8: a quarter anticlockwise
    };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        TBitmap bitmap{3, 2, {}};
        for (int i = 0; i < 6; ++i)
            bitmap.Pixels.insert(bitmap.Pixels.end(), {std::uint8_t(i), 7, 9});
        ASSERT_TRUE(ApplyExifOrientation(bitmap, orientation));
        EXPECT_EQ(bitmap.Width, orientation >= 5 ? 2 : 3);
        EXPECT_EQ(bitmap.Height, orientation >= 5 ? 3 : 2);
        std::vector<int> numbers;
        for (std::size_t i = 0; i < bitmap.Pixels.size(); i += 3) {
            numbers.push_back(bitmap.Pixels[i]);
            EXPECT_EQ(bitmap.Pixels[i + 1], 7);
            EXPECT_EQ(bitmap.Pixels[i + 2], 9);
        }
        EXPECT_EQ(numbers, expected[orientation - 1]);
    }

    TBitmap bitmap{2, 1, {1, 2, 3, 4, 5, 6}};
    const TBitmap before = bitmap;
    EXPECT_TRUE(ApplyExifOrientation(bitmap, 0));
    EXPECT_TRUE(ApplyExifOrientation(bitmap, 9));
    EXPECT_EQ(bitmap.Pixels, before.Pixels);
    bitmap.Pixels.pop_back();
    EXPECT_FALSE(ApplyExifOrientation(bitmap, 6));
    EXPECT_EQ(bitmap.Width, 2);
    TBitmap empty;
    EXPECT_FALSE(ApplyExifOrientation(empty, 3));
}

class PhonePhotoTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(m_folder); }

    TempDir m_temp;
    fs::path m_folder = m_temp / "image";
};

TEST_F(PhonePhotoTest, ThumbnailsAreUprightAndOfTheTurnedSize) {
    using C = std::array<TColour, 4>;
    // The stored quadrants red, green / blue, white as they are seen once upright.
    const C upright[] = {
        {Red, Green, Blue, White}, {Green, Red, White, Blue}, {White, Blue, Green, Red},
        {Blue, White, Red, Green}, {Red, Blue, Green, White}, {Blue, Red, White, Green},
        {White, Green, Blue, Red}, {Green, White, Red, Blue},
    };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string bytes = Oriented(kCorners, orientation, orientation % 2 == 0);
        const bool turned = orientation >= 5;
        StoreImageSide(m_folder, "", bytes, "phone.jpg");
        EXPECT_EQ(ReadFileBytes(m_folder / "phone.jpg"), bytes);

        const TBitmap large = ReadBmpFile(m_folder / "phone.thm_large");
        EXPECT_EQ(large.Width, turned ? 50 : 100);
        EXPECT_EQ(large.Height, turned ? 100 : 50);
        EXPECT_EQ(Corners(large), upright[orientation - 1]);
        const TBitmap small = ReadBmpFile(m_folder / "phone.thm");
        EXPECT_EQ(small.Width, turned ? 25 : 50);
        EXPECT_EQ(small.Height, turned ? 50 : 25);
        EXPECT_EQ(Corners(small), upright[orientation - 1]);

        // Made again from the stored picture, they come out the same.
        const std::string largeBmp = ReadFileBytes(m_folder / "phone.thm_large");
        const std::string smallBmp = ReadFileBytes(m_folder / "phone.thm");
        MakeThumbnails(m_folder, "phone.jpg");
        EXPECT_EQ(ReadFileBytes(m_folder / "phone.thm_large"), largeBmp);
        EXPECT_EQ(ReadFileBytes(m_folder / "phone.thm"), smallBmp);
        DeleteImageFiles(m_folder, "phone.jpg");
    }
}

TEST_F(PhonePhotoTest, PicturesWithoutAUsableOrientationKeepTheirThumbnails) {
    auto thumbnailsOf = [&](const std::string& bytes) {
        WriteFileBytes(m_folder / "p.jpg", bytes);
        MakeThumbnails(m_folder, "p.jpg");
        return ReadFileBytes(m_folder / "p.thm_large") + ReadFileBytes(m_folder / "p.thm");
    };
    for (const std::string* picture : {&kPhoto, &kCorners}) {
        const std::string plain = thumbnailsOf(*picture);
        // The fitting rule alone, pixel for pixel.
        TBitmap fitted = DecodeJpeg(*picture);
        ASSERT_TRUE(ScaleImageToBox(fitted, 100, 100));
        std::string expected = EncodeBmp(fitted);
        ASSERT_TRUE(ScaleImageToBox(fitted, 50, 50));
        EXPECT_EQ(plain, expected + EncodeBmp(fitted));

        EXPECT_EQ(thumbnailsOf(Oriented(*picture, 1)), plain);
        EXPECT_EQ(thumbnailsOf(Oriented(*picture, 1, true)), plain);
        EXPECT_EQ(thumbnailsOf(Oriented(*picture, 0)), plain);
        EXPECT_EQ(thumbnailsOf(AfterSoi(
                      *picture, ExifSegment(std::string_view("MM\0\x2A\xFF\xFF\xFF\xFF", 8)))),
                  plain);
    }
}

TEST(TurnUpright, TurnsADecodedPictureByItsBytes) {
    const std::string bytes = Oriented(kCorners, 8);
    TBitmap bitmap = DecodeJpeg(bytes);
    ASSERT_TRUE(TurnUpright(bitmap, bytes));
    EXPECT_EQ(bitmap.Width, 32);
    EXPECT_EQ(bitmap.Height, 64);
    EXPECT_EQ(Corners(bitmap), (std::array{Green, White, Red, Blue}));

    TBitmap plain = DecodeJpeg(kCorners);
    const TBitmap before = plain;
    ASSERT_TRUE(TurnUpright(plain, kCorners));
    EXPECT_EQ(plain.Pixels, before.Pixels);
    EXPECT_EQ(plain.Width, 64);
}
