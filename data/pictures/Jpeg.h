#pragma once

#include <cstdint>
#include <string_view>

#include "pictures/Bitmap.h"

// The largest picture decoded, in pixels (about 268 million: a 1200 dpi scan of an A4 sheet or a
// 200-megapixel photo fits). The header alone decides it, before any pixel memory is taken, so a
// few crafted bytes cannot ask for gigabytes; larger pictures fail as a decoder error. Fuzzing
// builds use a smaller limit so that each input decodes in moments.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::uint64_t kMaxJpegPixels = std::uint64_t{1} << 22;
#else
inline constexpr std::uint64_t kMaxJpegPixels = std::uint64_t{1} << 28;
#endif

// Receives a picture row by row as it is decoded: top-down, 24-bit RGB.
class TJpegRowSink {
public:
    virtual ~TJpegRowSink() = default;
    // Called once with the picture's size before any row.
    virtual void Start(int width, int height) = 0;
    // The buffer (width * 3 bytes) that row y is decoded into; Row(y) follows once it is full.
    virtual std::uint8_t* RowBuffer(int y) = 0;
    virtual void Row(int y) { (void)y; }
    // The first row from y on that the sink needs (the height when none): the rows before it are
    // skipped without being turned into pixels.
    virtual int NextRow(int y) const { return y; }
};

// Decodes JPEG bytes at full size with the floating-point inverse DCT and block smoothing.
// Grey pictures come out as grey RGB, CMYK and YCCK ones are converted. Warnings (a truncated
// file among them) are ignored; an error throws "JPEG エラー #%d" with libjpeg's message code,
// also for a picture above kMaxJpegPixels (JERR_IMAGE_TOO_BIG, followed by a line that says the
// picture is too large) and for memory that runs out (JERR_OUT_OF_MEMORY).
void DecodeJpegRows(std::string_view bytes, TJpegRowSink& sink);

// Decodes JPEG bytes at full size into RGB. Throws "JPEG エラー #%d".
TBitmap DecodeJpeg(std::string_view bytes);
