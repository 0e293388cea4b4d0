#pragma once

#include <optional>
#include <string_view>

struct TBitmap;

// The EXIF orientation of a JPEG picture (1 to 8, as phones and cameras write it): how the
// stored rows must be turned or mirrored for the picture to stand upright. nullopt when the
// picture has no EXIF orientation, or when its EXIF data cannot be read soundly.
std::optional<int> ReadExifOrientation(std::string_view jpegBytes);

// Turns or mirrors the bitmap as orientation says, so that it stands upright; 5 to 8 swap its
// width and height. Orientation 1 and values outside 1 to 8 leave it as it is. False (bitmap
// unchanged) when its pixels do not match its size or memory runs out.
bool ApplyExifOrientation(TBitmap& bitmap, int orientation);

// Makes a picture decoded from jpegBytes upright by the bytes' EXIF orientation; a picture
// without one stays exactly as it was decoded. False when it could not be turned.
bool TurnUpright(TBitmap& bitmap, std::string_view jpegBytes);
