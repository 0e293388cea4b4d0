#pragma once

#include <string>
#include <string_view>

#include "pictures/Bitmap.h"

// A Windows BMP file (24 bits, bottom-up rows padded to 4 bytes) of the bitmap.
std::string EncodeBmp(const TBitmap& bitmap);

// Whether the bytes are a Windows BMP file that a thumbnail reader can show: the headers, an
// uncompressed or bit-field depth of 1 to 32 bits, a size above zero and every pixel row there.
bool IsReadableBmp(std::string_view bytes);
