#pragma once

#include <filesystem>

#include "pictures/CardImages.h"

// The thumbnail file at path read back as a bitmap (rows top-down, RGB); only the 24-bit
// uncompressed form that the thumbnail maker writes.
TBitmap ReadBmpFile(const std::filesystem::path& path);
