#include "pictures/ImageFit.h"

#include <new>
#include <vector>

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

TBitmap FitIntoBox(const TBitmap& source, int boxWidth, int boxHeight) {
    if (boxWidth <= 0 || boxHeight <= 0 || source.Width <= 0 || source.Height <= 0 ||
        source.Pixels.size() != static_cast<std::size_t>(source.Width) * source.Height * 3)
        return {};
    const TSize size = FitSize(source.Width, source.Height, boxWidth, boxHeight);
    try {
        std::vector<std::size_t> columns(size.Width);
        for (int x = 0; x < size.Width; ++x)
            columns[x] = static_cast<std::size_t>(SourceIndex(x, size.Width, source.Width)) * 3;
        TBitmap fitted{size.Width, size.Height, {}};
        fitted.Pixels.resize(static_cast<std::size_t>(size.Width) * size.Height * 3);
        std::uint8_t* out = fitted.Pixels.data();
        for (int y = 0; y < size.Height; ++y) {
            const std::size_t sourceY = SourceIndex(y, size.Height, source.Height);
            const std::uint8_t* row = source.Pixels.data() + sourceY * source.Width * 3;
            for (std::size_t column : columns) {
                *out++ = row[column];
                *out++ = row[column + 1];
                *out++ = row[column + 2];
            }
        }
        return fitted;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool ScaleImageToBox(TBitmap& bitmap, int boxWidth, int boxHeight) {
    TBitmap fitted = FitIntoBox(bitmap, boxWidth, boxHeight);
    if (fitted.Width == 0) return false;
    bitmap = std::move(fitted);
    return true;
}
