#pragma once

#include <cstdint>

struct TSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TSize&) const = default;
};

// The size a width x height picture takes in a box: the longer side fills the box, the shorter
// side is the exact quotient rounded up (200 x 150 into 100 x 100 gives 100 x 75).
TSize FitSize(int width, int height, int boxWidth, int boxHeight);

// Nearest-neighbour sampling: the source index whose pixel centre is nearest to that of target
// index t when sourceLength pixels are stretched over targetLength. Never decreases with t.
inline int SourceIndex(int t, int targetLength, int sourceLength) {
    return static_cast<int>((2 * static_cast<std::int64_t>(t) + 1) * sourceLength /
                            (2 * static_cast<std::int64_t>(targetLength)));
}
