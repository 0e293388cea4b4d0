// Decoding, fitting and the BMP form of thumbnails.
#include <gtest/gtest.h>

#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <set>
#include <tuple>

#include "TempDir.h"
#include "files/VastrelleError.h"
#include "pictures/Bmp.h"
#include "pictures/CardImages.h"
#include "pictures/ImageFit.h"

namespace {

const std::filesystem::path kImages = std::filesystem::path(VASTRELLE_TEST_DATA_DIR) / "images";

std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Each pixel a different colour, so that a sampled pixel tells where it came from.
TBitmap NumberedBitmap(int width, int height) {
    TBitmap bitmap{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        bitmap.Pixels.push_back(static_cast<std::uint8_t>(i & 0xFF));
        bitmap.Pixels.push_back(static_cast<std::uint8_t>(i >> 8 & 0xFF));
        bitmap.Pixels.push_back(static_cast<std::uint8_t>(i >> 16 & 0xFF));
    }
    return bitmap;
}

int PixelNumber(const TBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = &bitmap.Pixels[(static_cast<std::size_t>(y) * bitmap.Width + x) * 3];
    return p[0] | p[1] << 8 | p[2] << 16;
}

std::string JpegErrorText(int code) { return FormatMessage("JPEG エラー #%d", code); }

}  // namespace

TEST(ScaleImageToBox, FitsByTheRoundedUpQuotient) {
    // width, height, large thumbnail, then the small one fitted from the large one
    const std::tuple<int, int, TSize, TSize> cases[] = {
        {640, 480, {100, 75}, {50, 38}},  {480, 640, {75, 100}, {38, 50}},
        {300, 300, {100, 100}, {50, 50}}, {7, 7, {100, 100}, {50, 50}},
        {40, 30, {100, 75}, {50, 38}},    {1000, 1, {100, 1}, {50, 1}},
        {1, 1000, {1, 100}, {1, 50}},     {1000, 999, {100, 100}, {50, 50}},
        {200, 150, {100, 75}, {50, 38}},  {6000, 4000, {100, 67}, {50, 34}},
    };
    for (const auto& [width, height, large, small] : cases) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        TBitmap bitmap = NumberedBitmap(width, height);
        ASSERT_TRUE(ScaleImageToBox(bitmap, 100, 100));
        EXPECT_EQ((TSize{bitmap.Width, bitmap.Height}), large);
        EXPECT_EQ(bitmap.Pixels.size(), static_cast<std::size_t>(large.Width) * large.Height * 3);
        ASSERT_TRUE(ScaleImageToBox(bitmap, 50, 50));
        EXPECT_EQ((TSize{bitmap.Width, bitmap.Height}), small);
        EXPECT_EQ(FitSize(width, height, 50, 50), small);
    }
}

TEST(ScaleImageToBox, EveryPixelIsOneSourcePixelInOrder) {
    for (auto [width, height] : {std::pair{640, 480}, {40, 30}, {1000, 999}, {3, 200}}) {
        const TBitmap source = NumberedBitmap(width, height);
        TBitmap bitmap = source;
        ASSERT_TRUE(ScaleImageToBox(bitmap, 100, 100));
        int previousY = -1;
        for (int y = 0; y < bitmap.Height; ++y) {
            int previousX = -1;
            const int sourceY = PixelNumber(bitmap, 0, y) / width;
            EXPECT_GE(sourceY, previousY);
            for (int x = 0; x < bitmap.Width; ++x) {
                const int number = PixelNumber(bitmap, x, y);
                ASSERT_LT(number, width * height);
                EXPECT_EQ(number / width, sourceY) << "one source row per target row";
                EXPECT_GE(number % width, previousX);
                previousX = number % width;
            }
            previousY = sourceY;
        }
        // The corners come from the source's corner regions: nothing is shifted off the edge.
        EXPECT_LT(PixelNumber(bitmap, 0, 0) % width, (width + bitmap.Width - 1) / bitmap.Width);
        EXPECT_GE(PixelNumber(bitmap, bitmap.Width - 1, 0) % width,
                  width - (width + bitmap.Width - 1) / bitmap.Width);
    }
}

TEST(ScaleImageToBox, RefusesWhatItCannotFitAndLeavesTheBitmap) {
    TBitmap empty;
    EXPECT_FALSE(ScaleImageToBox(empty, 100, 100));
    TBitmap bitmap = NumberedBitmap(4, 3);
    const TBitmap before = bitmap;
    EXPECT_FALSE(ScaleImageToBox(bitmap, 0, 100));
    bitmap.Pixels.pop_back();  // size no longer matches the pixels
    EXPECT_FALSE(ScaleImageToBox(bitmap, 100, 100));
    bitmap.Pixels.push_back(before.Pixels.back());
    EXPECT_EQ(bitmap.Pixels, before.Pixels);
    EXPECT_EQ(bitmap.Width, 4);
}

TEST(EncodeBmp, WritesHeadersAndPaddedBottomUpBgrRows) {
    TBitmap bitmap{3, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};
    const std::string bmp = EncodeBmp(bitmap);
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);  // 9 bytes a row, padded to 12
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Le(bmp, 2, 4), bmp.size());
    EXPECT_EQ(Le(bmp, 10, 4), 54u);
    EXPECT_EQ(Le(bmp, 14, 4), 40u);
    EXPECT_EQ(Le(bmp, 18, 4), 3u);
    EXPECT_EQ(Le(bmp, 22, 4), 2u);  // positive height: bottom-up
    EXPECT_EQ(Le(bmp, 26, 2), 1u);
    EXPECT_EQ(Le(bmp, 28, 2), 24u);
    EXPECT_EQ(Le(bmp, 30, 4), 0u);  // uncompressed
    EXPECT_EQ(Le(bmp, 34, 4), 24u);
    const std::string rows = bmp.substr(54);
    EXPECT_EQ(rows, std::string("\x0C\x0B\x0A\x0F\x0E\x0D\x12\x11\x10\0\0\0"
                                "\x03\x02\x01\x06\x05\x04\x09\x08\x07\0\0\0",
                                24));
}

TEST(DecodeJpeg, DecodesBaselineProgressiveAndGreyToRgb) {
    const TBitmap baseline = DecodeJpeg(ReadFileBytes(kImages / "photo.jpg"));
    EXPECT_EQ(baseline.Width, 160);
    EXPECT_EQ(baseline.Height, 120);
    EXPECT_EQ(baseline.Pixels.size(), 160u * 120 * 3);
    const TBitmap progressive = DecodeJpeg(ReadFileBytes(kImages / "progressive.jpg"));
    EXPECT_EQ(progressive.Width, 160);
    EXPECT_EQ(progressive.Height, 120);

    const TBitmap grey = DecodeJpeg(ReadFileBytes(kImages / "gray.jpg"));
    ASSERT_EQ(grey.Pixels.size(), 40u * 30 * 3);
    for (std::size_t i = 0; i < grey.Pixels.size(); i += 3) {
        ASSERT_EQ(grey.Pixels[i], grey.Pixels[i + 1]);
        ASSERT_EQ(grey.Pixels[i], grey.Pixels[i + 2]);
    }
    EXPECT_GT(grey.Pixels.front(), 240);  // white at the top, black at the bottom
    EXPECT_LT(grey.Pixels.back(), 15);
}

TEST(DecodeJpeg, ConvertsAdobeCmykToRgb) {
    const TBitmap bitmap = DecodeJpeg(ReadFileBytes(kImages / "cmyk.jpg"));
    ASSERT_EQ(bitmap.Width, 32);
    ASSERT_EQ(bitmap.Height, 16);
    auto near = [](int value, int expected) { return std::abs(value - expected) <= 12; };
    const std::uint8_t* red = &bitmap.Pixels[(8 * 32 + 4) * 3];
    const std::uint8_t* blue = &bitmap.Pixels[(8 * 32 + 28) * 3];
    EXPECT_TRUE(near(red[0], 255) && near(red[1], 0) && near(red[2], 0))
        << int(red[0]) << "," << int(red[1]) << "," << int(red[2]);
    EXPECT_TRUE(near(blue[0], 0) && near(blue[1], 0) && near(blue[2], 255))
        << int(blue[0]) << "," << int(blue[1]) << "," << int(blue[2]);
}

TEST(DecodeJpeg, UsesATruncatedPictureAsDecoded) {
    const TBitmap bitmap = DecodeJpeg(ReadFileBytes(kImages / "truncated.jpg"));
    EXPECT_EQ(bitmap.Width, 160);
    EXPECT_EQ(bitmap.Height, 120);
}

TEST(DecodeJpeg, ReportsDecoderErrorsWithTheMessageNumber) {
    auto messageOf = [](const std::string& bytes) {
        try {
            DecodeJpeg(bytes);
        } catch (const VastrelleError& e) {
            return std::string(e.what());
        }
        return std::string("decoded");
    };
    EXPECT_EQ(messageOf("this is not a picture"), JpegErrorText(JERR_NO_SOI));
    EXPECT_EQ(messageOf(""), JpegErrorText(JERR_INPUT_EMPTY));
    // A valid start with a damaged frame header.
    std::string broken = ReadFileBytes(kImages / "photo.jpg").substr(0, 2) + "\xFF\xC0\x00\x03";
    EXPECT_NE(messageOf(broken).find("JPEG エラー #"), std::string::npos);
}
