#include "pictures/Jpeg.h"

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <new>

#include "files/Messages.h"
#include "files/VastrelleError.h"

namespace {

struct TErrorManager {
    jpeg_error_mgr Pub;  // first, so that libjpeg's jpeg_error_mgr* points at the whole struct
    std::jmp_buf Jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TErrorManager*>(cinfo->err)->Jump, 1);
}

// Warnings about recoverable damage are ignored: the picture is used as decoded.
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}

// Owns one decompressor. jpeg_destroy_decompress is safe on a zeroed or half-created one.
class TDecompressor {
public:
    TDecompressor() {
        m_cinfo.err = jpeg_std_error(&m_err.Pub);
        m_err.Pub.error_exit = ErrorExit;
        m_err.Pub.emit_message = EmitMessage;
        m_err.Pub.output_message = OutputMessage;
    }
    ~TDecompressor() { jpeg_destroy_decompress(&m_cinfo); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    jpeg_decompress_struct* Info() { return &m_cinfo; }
    TErrorManager* Errors() { return &m_err; }

private:
    jpeg_decompress_struct m_cinfo{};
    TErrorManager m_err{};
};

std::uint8_t Multiply(unsigned a, unsigned b) {
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

// Adobe writes CMYK inverted (255 = no ink); other writers store the ink itself.
void CmykToRgb(const JSAMPLE* in, std::uint8_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        out[0] = Multiply(c, k);
        out[1] = Multiply(m, k);
        out[2] = Multiply(y, k);
    }
}

// Every libjpeg call happens below the setjmp in this frame, which holds no object with a
// destructor, so the longjmp of ErrorExit skips none. False when libjpeg raised an error.
bool RunDecoder(TDecompressor& decompressor, std::string_view bytes, TJpegRowSink& sink) {
    if (setjmp(decompressor.Errors()->Jump)) return false;
    jpeg_decompress_struct* cinfo = decompressor.Info();
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(cinfo, TRUE);
    if (static_cast<std::uint64_t>(cinfo->image_width) * cinfo->image_height > kMaxJpegPixels)
        ERREXIT1(cinfo, JERR_IMAGE_TOO_BIG, static_cast<unsigned>(cinfo->image_width));
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo->dct_method = JDCT_FLOAT;
    cinfo->do_block_smoothing = TRUE;
    jpeg_start_decompress(cinfo);

    const int width = static_cast<int>(cinfo->output_width);
    const int height = static_cast<int>(cinfo->output_height);
    sink.Start(width, height);
    JSAMPROW cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(width) * 4, 1)[0];
    // Rows the sink does not sample are still decoded whole, into a scratch row: skipping them in
    // the decoder passed over damage that a whole decode reports, so a picture that does not
    // decode could have got thumbnails.
    JSAMPROW scratch =
        (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                    static_cast<JDIMENSION>(width) * 3, 1)[0];
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = static_cast<int>(cinfo->output_scanline);
        const bool wanted = sink.NextRow(y) <= y;
        std::uint8_t* out = wanted ? sink.RowBuffer(y) : scratch;
        JSAMPROW row = cmyk ? cmykRow : out;
        // A memory source never suspends, so every call yields a row.
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
        if (!wanted) continue;
        if (cmyk) CmykToRgb(cmykRow, out, width, cinfo->saw_Adobe_marker);
        sink.Row(y);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

void DecodeJpegRows(std::string_view bytes, TJpegRowSink& sink) {
    TDecompressor decompressor;
    bool decoded = false;
    try {
        decoded = RunDecoder(decompressor, bytes, sink);
    } catch (const std::bad_alloc&) {  // the sink's buffers, for a picture within the limit
        throw VastrelleError(FormatMessage(msg::kJpegError, JERR_OUT_OF_MEMORY));
    }
    if (decoded) return;
    const int code = decompressor.Errors()->Pub.msg_code;
    std::string message = FormatMessage(msg::kJpegError, code);
    // The number alone does not tell the user that the picture is fine but too large.
    if (code == JERR_IMAGE_TOO_BIG)
        message += "\n" + FormatMessage(msg::kPictureTooLarge,
                                        std::to_string(decompressor.Info()->image_width) + " × " +
                                            std::to_string(decompressor.Info()->image_height));
    throw VastrelleError(message);
}

TBitmap DecodeJpeg(std::string_view bytes) {
    class TBitmapSink : public TJpegRowSink {
    public:
        explicit TBitmapSink(TBitmap& bitmap) : m_bitmap(bitmap) {}
        void Start(int width, int height) override {
            m_bitmap.Width = width;
            m_bitmap.Height = height;
            m_bitmap.Pixels.resize(static_cast<std::size_t>(width) * height * 3);
        }
        std::uint8_t* RowBuffer(int y) override {
            return m_bitmap.Pixels.data() + static_cast<std::size_t>(y) * m_bitmap.Width * 3;
        }

    private:
        TBitmap& m_bitmap;
    };
    TBitmap bitmap;
    TBitmapSink sink(bitmap);
    DecodeJpegRows(bytes, sink);
    return bitmap;
}
