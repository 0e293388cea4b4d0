#include "ImageFit.h"

#include <new>
#include <vector>

#include "CardImages.h"

namespace {

int CeilQuotient(std::int64_t numerator, std::int64_t denominator) {
    return static_cast<int>((numerator + denominator - 1) / denominator);
}

}  // namespace

TSize FitSize(int width, int height, int boxWidth, int boxHeight) {
    if (width == height) return {boxWidth, boxHeight};
    if (width > height)
        return {boxWidth, CeilQuotient(static_cast<std::int64_t>(height) * boxWidth, width)};
    return {CeilQuotient(static_cast<std::int64_t>(width) * boxHeight, height), boxHeight};
}

bool ScaleImageToBox(TBitmap& bitmap, int boxWidth, int boxHeight) {
    if (boxWidth <= 0 || boxHeight <= 0 || bitmap.Width <= 0 || bitmap.Height <= 0 ||
        bitmap.Pixels.size() != static_cast<std::size_t>(bitmap.Width) * bitmap.Height * 3)
        return false;
    const TSize size = FitSize(bitmap.Width, bitmap.Height, boxWidth, boxHeight);
    try {
        std::vector<std::size_t> columns(size.Width);
        for (int x = 0; x < size.Width; ++x)
            columns[x] = static_cast<std::size_t>(SourceIndex(x, size.Width, bitmap.Width)) * 3;
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size.Width) * size.Height * 3);
        std::uint8_t* out = pixels.data();
        for (int y = 0; y < size.Height; ++y) {
            const std::uint8_t* row = bitmap.Pixels.data() + static_cast<std::size_t>(SourceIndex(
                                                                 y, size.Height, bitmap.Height)) *
                                                                 bitmap.Width * 3;
            for (std::size_t column : columns) {
                *out++ = row[column];
                *out++ = row[column + 1];
                *out++ = row[column + 2];
            }
        }
        bitmap.Pixels = std::move(pixels);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bitmap.Width = size.Width;
    bitmap.Height = size.Height;
    return true;
}
