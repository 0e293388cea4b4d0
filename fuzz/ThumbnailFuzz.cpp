// Bytes as a dropped JPEG picture: the full decode the card dialog shows and the thumbnail maker
// agree (turned upright alike), and thumbnails always fit their boxes.
#include <utility>

#include "FuzzScratch.h"
#include "files/VastrelleError.h"
#include "pictures/CardImages.h"
#include "pictures/Exif.h"
#include "pictures/ImageFit.h"

namespace {

// Width and height of a BMP file the thumbnail maker wrote.
TSize BmpSize(const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    unsigned char header[26] = {};
    FUZZ_CHECK(std::fread(header, 1, sizeof header, file) == sizeof header);
    std::fclose(file);
    auto le = [&](int at) { return header[at] | header[at + 1] << 8; };
    return {le(18), le(22)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzScratch scratch;
    const std::string_view bytes = AsText(data, size);
    TSize decoded;
    bool decodes = true;
    try {
        const TBitmap bitmap = DecodeJpeg(bytes);
        FUZZ_CHECK(bitmap.Pixels.size() ==
                   static_cast<std::size_t>(bitmap.Width) * bitmap.Height * 3);
        decoded = {bitmap.Width, bitmap.Height};
    } catch (const VastrelleError&) {
        decodes = false;
    }

    WriteFuzzFile(scratch.Path() / "p.jpg", bytes);
    try {
        MakeThumbnails(scratch.Path(), "p.jpg");
    } catch (const VastrelleError&) {
        FUZZ_CHECK(!decodes);
        return 0;
    }
    FUZZ_CHECK(decodes);
    // A picture turned a quarter by its EXIF orientation has its thumbnails turned too.
    const bool turned = ReadExifOrientation(bytes).value_or(1) >= 5;
    if (turned) std::swap(decoded.Width, decoded.Height);
    FUZZ_CHECK(BmpSize(scratch.Path() / "p.thm_large") ==
               FitSize(decoded.Width, decoded.Height, 100, 100));
    const TSize small = BmpSize(scratch.Path() / "p.thm");
    FUZZ_CHECK(small.Width >= 1 && small.Width <= 50 && small.Height >= 1 && small.Height <= 50);
    return 0;
}
