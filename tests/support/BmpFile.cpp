#include "BmpFile.h"

#include <stdexcept>

#include "TempDir.h"

TBitmap ReadBmpFile(const std::filesystem::path& path) {
    const std::string bmp = ReadFileBytes(path);
    auto le = [&](std::size_t at, int size) {
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(bmp.at(at + i));
        return value;
    };
    if (bmp.substr(0, 2) != "BM" || le(28, 2) != 24 || le(30, 4) != 0)
        throw std::runtime_error("not a 24-bit BMP: " + path.string());
    TBitmap bitmap{static_cast<int>(le(18, 4)), static_cast<int>(le(22, 4)), {}};
    const std::size_t stride = (static_cast<std::size_t>(bitmap.Width) * 3 + 3) & ~std::size_t{3};
    for (int y = 0; y < bitmap.Height; ++y) {
        const std::size_t row = le(10, 4) + (bitmap.Height - 1 - y) * stride;
        for (int x = 0; x < bitmap.Width; ++x)
            for (int c = 2; c >= 0; --c) bitmap.Pixels.push_back(bmp.at(row + x * 3 + c));
    }
    return bitmap;
}
