// Bytes as a dropped JPEG picture's metadata: the orientation is 1 to 8 or none, it stands once
// its segment has been read whole, and turning a bitmap by it and back gives the bitmap again.
#include <string>

#include "FuzzScratch.h"
#include "pictures/CardImages.h"
#include "pictures/Exif.h"

namespace {

// The orientation that undoes the given one: the quarter turns undo each other, the rest
// undo themselves.
int Undoing(int orientation) {
    if (orientation == 6) return 8;
    if (orientation == 8) return 6;
    return orientation;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = AsText(data, size);
    const std::optional<int> orientation = ReadExifOrientation(bytes);
    if (!orientation) return 0;
    FUZZ_CHECK(*orientation >= 1 && *orientation <= 8);
    FUZZ_CHECK(ReadExifOrientation(std::string(bytes) + "\xFF\xD9") == orientation);

    const int width = 1 + static_cast<int>(size % 7), height = 1 + static_cast<int>(size / 7 % 5);
    TBitmap bitmap{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        bitmap.Pixels.insert(bitmap.Pixels.end(), {static_cast<std::uint8_t>(i), 0, 1});
    const TBitmap stored = bitmap;
    FUZZ_CHECK(ApplyExifOrientation(bitmap, *orientation));
    const bool swapped = *orientation >= 5;
    FUZZ_CHECK(bitmap.Width == (swapped ? height : width));
    FUZZ_CHECK(bitmap.Height == (swapped ? width : height));
    FUZZ_CHECK(ApplyExifOrientation(bitmap, Undoing(*orientation)));
    FUZZ_CHECK(bitmap.Width == width && bitmap.Pixels == stored.Pixels);
    return 0;
}
