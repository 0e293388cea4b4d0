#pragma once

#include <cstdint>

#include "pictures/Bitmap.h"

struct TSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TSize&) const = default;
};

// The size a width x height picture takes in a box: the longer side fills the box, the shorter
// side is the exact quotient rounded up (200 x 150 into 100 x 100 gives 100 x 75).
TSize FitSize(int width, int height, int boxWidth, int boxHeight);

// The source fitted into the box by the thumbnail rule, nearest-neighbour; the source is left as
// it was. An empty bitmap (width 0) when the source is not a whole bitmap or memory runs out.
TBitmap FitIntoBox(const TBitmap& source, int boxWidth, int boxHeight);

// Nearest-neighbour sampling: the source index whose pixel centre is nearest to that of target
// index t when sourceLength pixels are stretched over targetLength. Never decreases with t.
inline int SourceIndex(int t, int targetLength, int sourceLength) {
    return static_cast<int>((2 * static_cast<std::int64_t>(t) + 1) * sourceLength /
                            (2 * static_cast<std::int64_t>(targetLength)));
}

// Fits the bitmap into a W x H box by the thumbnail rule, nearest-neighbour. False (bitmap
// unchanged) on failure.
bool ScaleImageToBox(TBitmap& bitmap, int boxWidth, int boxHeight);
