#include "pictures/Bmp.h"

#include <cstdint>

namespace {

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t GetLe(std::string_view bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

}  // namespace

bool IsReadableBmp(std::string_view bytes) {
    constexpr std::size_t kFileHeader = 14;
    if (bytes.size() < kFileHeader + 40 || bytes.substr(0, 2) != "BM") return false;
    const std::uint32_t offset = GetLe(bytes, 10, 4);
    const std::uint32_t infoSize = GetLe(bytes, 14, 4);
    const auto width = static_cast<std::int32_t>(GetLe(bytes, 18, 4));
    const auto height = static_cast<std::int32_t>(GetLe(bytes, 22, 4));
    const std::uint32_t depth = GetLe(bytes, 28, 2);
    const std::uint32_t compression = GetLe(bytes, 30, 4);
    if (infoSize < 40 || width <= 0 || height == 0 || height == INT32_MIN) return false;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return false;
    if (compression != 0 && !(compression == 3 && (depth == 16 || depth == 32))) return false;
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * depth + 31) / 32 * 4;
    const std::uint64_t rows =
        static_cast<std::uint64_t>(height < 0 ? -std::int64_t{height} : height);
    return offset >= kFileHeader + infoSize && offset + stride * rows <= bytes.size();
}

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
