#pragma once

#include <cstdint>
#include <vector>

// A decoded picture: 24-bit RGB, rows top-down, no padding.
struct TBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};
