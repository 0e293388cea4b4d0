#pragma once

#include <string>

#include "Bitmap.h"

// A Windows BMP file (24 bits, bottom-up rows padded to 4 bytes) of the bitmap.
std::string EncodeBmp(const TBitmap& bitmap);
