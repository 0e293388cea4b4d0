#include "Bmp.h"

#include <cstdint>

namespace {

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string EncodeBmp(const TBitmap& bitmap) {
    constexpr std::uint32_t kHeadersSize = 14 + 40;
    const std::uint32_t stride = (static_cast<std::uint32_t>(bitmap.Width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(bitmap.Height);
    std::string out;
    out.reserve(kHeadersSize + imageSize);
    out += "BM";
    PutLe(out, kHeadersSize + imageSize, 4);
    PutLe(out, 0, 4);  // reserved
    PutLe(out, kHeadersSize, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(bitmap.Width), 4);
    PutLe(out, static_cast<std::uint32_t>(bitmap.Height), 4);  // positive: rows bottom-up
    PutLe(out, 1, 2);                                          // planes
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);  // BI_RGB
    PutLe(out, imageSize, 4);
    for (int i = 0; i < 4; ++i) PutLe(out, 0, 4);  // resolution, colours used and important
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.Width) * 3;
    for (int y = bitmap.Height - 1; y >= 0; --y) {
        const std::uint8_t* pixel = bitmap.Pixels.data() + y * rowBytes;
        for (int x = 0; x < bitmap.Width; ++x, pixel += 3) {
            out.push_back(static_cast<char>(pixel[2]));
            out.push_back(static_cast<char>(pixel[1]));
            out.push_back(static_cast<char>(pixel[0]));
        }
        out.append(stride - rowBytes, '\0');
    }
    return out;
}
