#include "save/ZstdFrames.h"

#include <sys/stat.h>
#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>

#include "files/WholeFile.h"

namespace {

// Fast enough to stay below writing the copy it replaces; higher levels gain little here.
constexpr int kLevel = 3;

// zstd's own bounds are in its experimental part; these lie within them. 1 GB reaches past any
// card list with its base.
constexpr int kMinWindowLog = 10;
constexpr int kMaxWindowLog = 30;

// From this size a whole copy is compressed on threads of zstd's own (see CompressFileInPieces).
constexpr std::size_t kThreadedFrom = std::size_t{8} << 20;

struct CCtxDeleter {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct DCtxDeleter {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};
using TCCtx = std::unique_ptr<ZSTD_CCtx, CCtxDeleter>;

// A window that reaches from the start of the base to the end of the bytes.
int WindowLog(std::size_t reach) {
    const int log = static_cast<int>(std::bit_width(std::max<std::size_t>(reach, 1)));
    return std::clamp(log, kMinWindowLog, kMaxWindowLog);
}

TCCtx MakeCCtx(int level = kLevel) {
    TCCtx cctx(ZSTD_createCCtx());
    if (!cctx) throw std::bad_alloc();
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 1);
    return cctx;
}

}  // namespace

std::string CompressFrame(std::string_view bytes, std::string_view base) {
    TCCtx cctx = MakeCCtx();
    if (!base.empty()) {
        ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_windowLog, WindowLog(base.size() + bytes.size()));
        // Matches may lie a whole card list back: only long-distance matching finds them cheaply.
        ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_enableLongDistanceMatching, 1);
        ZSTD_CCtx_refPrefix(cctx.get(), base.data(), base.size());
    }
    // Room for the worst case, left untouched: only the few pages the result fills are used.
    const std::size_t bound = ZSTD_compressBound(bytes.size());
    const std::unique_ptr<char[]> out = std::make_unique_for_overwrite<char[]>(bound);
    const std::size_t size =
        ZSTD_compress2(cctx.get(), out.get(), bound, bytes.data(), bytes.size());
    if (ZSTD_isError(size)) throw std::bad_alloc();
    return std::string(out.get(), size);
}

std::optional<std::string> DecompressFrame(std::string_view frame, std::string_view base) {
    const unsigned long long size = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN ||
        ZSTD_findFrameCompressedSize(frame.data(), frame.size()) != frame.size())
        return std::nullopt;
    // Far above any card list; a damaged header cannot ask for more.
    if (size > (std::uint64_t{1} << 32)) return std::nullopt;
    std::unique_ptr<ZSTD_DCtx, DCtxDeleter> dctx(ZSTD_createDCtx());
    if (!dctx) throw std::bad_alloc();
    ZSTD_DCtx_setParameter(dctx.get(), ZSTD_d_windowLogMax, kMaxWindowLog);
    if (!base.empty()) ZSTD_DCtx_refPrefix(dctx.get(), base.data(), base.size());
    std::string out(static_cast<std::size_t>(size), '\0');
    const std::size_t done =
        ZSTD_decompressDCtx(dctx.get(), out.data(), out.size(), frame.data(), frame.size());
    if (ZSTD_isError(done) || done != out.size()) return std::nullopt;
    return out;
}

bool CompressFileInPieces(const std::filesystem::path& file, const TByteSink& sink,
                          const std::function<void(std::string_view)>& read) {
    // The card list's repeats lie within a few cards: a small window and table find nearly all of
    // them, in a few hundred kilobytes instead of megabytes, and faster.
    TCCtx cctx = MakeCCtx(1);
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_hashLog, 14);
    const std::size_t outSize = ZSTD_CStreamOutSize();
    const std::unique_ptr<char[]> out = std::make_unique_for_overwrite<char[]>(outSize);
    // Pushes the input through, flushing the frame's end when `end`.
    auto push = [&](std::string_view piece, ZSTD_EndDirective mode) {
        ZSTD_inBuffer in{piece.data(), piece.size(), 0};
        for (;;) {
            ZSTD_outBuffer output{out.get(), outSize, 0};
            const std::size_t left = ZSTD_compressStream2(cctx.get(), &output, &in, mode);
            if (ZSTD_isError(left)) return false;
            if (output.pos > 0 && !sink(std::string_view(out.get(), output.pos))) return false;
            if (mode == ZSTD_e_end ? left == 0 : in.pos == in.size) return true;
        }
    };
    struct stat status {};
    bool pledged = false;
    const bool ok = ReadFileInPieces(
        file,
        [&](std::string_view piece) {
            if (!pledged) {
                // A window of an eighth to a quarter of the file, up to 128 KiB: a small card
                // list's copy then costs less memory than the cards, and a large one's hardly grows
                // for it.
                const auto size = static_cast<std::size_t>(status.st_size);
                ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_windowLog,
                                       std::clamp(WindowLog(size) - 3, kMinWindowLog, 17));
                // A large card list is compressed by two of zstd's threads while this one reads
                // on: the copy of a 100,000-card list then costs the save a third less time. A
                // library built without threads declines, and compresses here as before.
                if (size >= kThreadedFrom) ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_nbWorkers, 2);
                // The frame names its size, as the one-piece frames do: the reader checks it.
                pledged = ZSTD_CCtx_setPledgedSrcSize(cctx.get(), status.st_size) == 0;
            }
            read(piece);
            return push(piece, ZSTD_e_continue);
        },
        &status);
    if (!ok) return false;
    if (!pledged) ZSTD_CCtx_setPledgedSrcSize(cctx.get(), 0);
    return push({}, ZSTD_e_end);
}
