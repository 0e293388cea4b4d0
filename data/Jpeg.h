#pragma once

#include <cstdint>
#include <string_view>

// Receives a picture row by row as it is decoded: top-down, 24-bit RGB.
class TJpegRowSink {
public:
    virtual ~TJpegRowSink() = default;
    // Called once with the picture's size before any row.
    virtual void Start(int width, int height) = 0;
    // The buffer (width * 3 bytes) that row y is decoded into; Row(y) follows once it is full.
    virtual std::uint8_t* RowBuffer(int y) = 0;
    virtual void Row(int y) { (void)y; }
};

// Decodes JPEG bytes at full size with the floating-point inverse DCT and block smoothing.
// Grey pictures come out as grey RGB, CMYK and YCCK ones are converted. Warnings (a truncated
// file among them) are ignored; an error throws "JPEG エラー #%d" with libjpeg's message code.
void DecodeJpegRows(std::string_view bytes, TJpegRowSink& sink);
