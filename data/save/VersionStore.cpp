#include "save/VersionStore.h"

#include <sys/stat.h>
#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "files/AtomicFile.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDamagedVersion = "履歴の版 %s が壊れているため戻せません";
// Fast enough to stay below writing the copy it replaces; higher levels gain little here.
constexpr int kLevel = 3;

[[noreturn]] void ThrowDamaged(int number) {
    throw VastrelleError(FormatMessage(kDamagedVersion, std::to_string(number)));
}

struct CCtxDeleter {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct DCtxDeleter {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// zstd's own bounds are in its experimental part; these lie within them. 1 GB reaches past any
// card list with its base.
constexpr int kMinWindowLog = 10;
constexpr int kMaxWindowLog = 30;

// A window that reaches from the start of the base to the end of the bytes.
int WindowLog(std::size_t reach) {
    const int log = static_cast<int>(std::bit_width(std::max<std::size_t>(reach, 1)));
    return std::clamp(log, kMinWindowLog, kMaxWindowLog);
}

std::string Compress(std::string_view bytes, std::string_view base) {
    std::unique_ptr<ZSTD_CCtx, CCtxDeleter> cctx(ZSTD_createCCtx());
    if (!cctx) throw std::bad_alloc();
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kLevel);
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 1);
    if (!base.empty()) {
        ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_windowLog, WindowLog(base.size() + bytes.size()));
        // Matches lie a whole card list back: only long-distance matching finds them cheaply.
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

// The bytes of one frame, checked against the size and checksum it carries; nullopt when it is
// damaged or was made against another base.
std::optional<std::string> Decompress(std::string_view frame, std::string_view base) {
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

bool Exists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::uint64_t FileSize(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// The whole card list of a version that has one.
std::optional<std::string> ReadWhole(const fs::path& cardTypeFolder, int number) {
    if (Exists(VersionCardList(cardTypeFolder, number)))
        return ReadWholeFile(VersionCardList(cardTypeFolder, number));
    const std::optional<TFileBytes> frame =
        ReadFileAtSize(WholeVersionFile(cardTypeFolder, number));
    if (!frame) return std::nullopt;
    return Decompress(frame->View(), {});
}

}  // namespace

fs::path VersionSumFile(const fs::path& cardTypeFolder, int number) {
    return VersionFolder(cardTypeFolder, number) / "cardlist.sum";
}

std::string VersionSum(std::string_view bytes) {
    // Eight bytes a step: a 33 MB card list hashes in a few milliseconds.
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        hash = std::rotl((hash ^ word) * 0xFF51AFD7ED558CCDull, 29);
    }
    for (; i < bytes.size(); ++i)
        hash = std::rotl((hash ^ static_cast<unsigned char>(bytes[i])) * 0xC4CEB9FE1A85EC53ull, 29);
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    char text[40];
    std::snprintf(text, sizeof text, "%zu %016llx\n", bytes.size(),
                  static_cast<unsigned long long>(hash));
    return text;
}

fs::path WholeVersionFile(const fs::path& cardTypeFolder, int number) {
    return VersionFolder(cardTypeFolder, number) / "cardlist.zst";
}

fs::path DeltaVersionFile(const fs::path& cardTypeFolder, int number, int base) {
    return VersionFolder(cardTypeFolder, number) / ("cardlist." + std::to_string(base) + ".delta");
}

bool HasWholeCopy(const fs::path& cardTypeFolder, int number) {
    return Exists(WholeVersionFile(cardTypeFolder, number)) ||
           Exists(VersionCardList(cardTypeFolder, number));
}

std::string CompressWhole(std::string_view bytes) { return Compress(bytes, {}); }

std::string CompressDelta(std::string_view bytes, std::string_view base) {
    // An empty base is no prefix: the delta is then a whole copy, which reads back the same.
    return Compress(bytes, base);
}

std::string ReadVersionBytes(const fs::path& cardTypeFolder, const THistoryIndex& index,
                             int number) {
    const std::optional<std::size_t> at = index.Find(number);
    if (!at) ThrowDamaged(number);
    // The chain up to the first version after it that is whole.
    std::size_t end = *at;
    while (!HasWholeCopy(cardTypeFolder, index.Versions[end].Number)) {
        if (end + 1 >= index.Versions.size()) ThrowDamaged(number);
        ++end;
    }
    std::optional<std::string> bytes = ReadWhole(cardTypeFolder, index.Versions[end].Number);
    if (!bytes) ThrowDamaged(index.Versions[end].Number);
    for (std::size_t i = end; i > *at; --i) {
        const int version = index.Versions[i - 1].Number;
        const std::optional<TFileBytes> delta =
            ReadFileAtSize(DeltaVersionFile(cardTypeFolder, version, index.Versions[i].Number));
        if (!delta) ThrowDamaged(version);
        bytes = Decompress(delta->View(), *bytes);
        if (!bytes) ThrowDamaged(version);
    }
    return std::move(*bytes);
}

bool IsCurrentVersion(const fs::path& cardTypeFolder, const THistoryIndex& index,
                      const fs::path& cardListFile) {
    if (!index.Current()) return false;
    // Taken for an outside change, a file that did not read would be recorded and brought back
    // in place of the version it is: a file that is there but does not read is a failure.
    auto unreadable = [](const fs::path& file) {
        return VastrelleError(FormatMessage(msg::kCannotOpen, file.string()));
    };
    const fs::path legacy = VersionCardList(cardTypeFolder, index.Position);
    if (Exists(legacy)) {
        // Compared a block at a time: most outside changes show in the size alone.
        switch (CompareFileBytes(legacy, cardListFile)) {
            case TFileComparison::Same:
                return true;
            case TFileComparison::Different:
                return false;
            case TFileComparison::FirstUnreadable:
                throw unreadable(legacy);
            case TFileComparison::SecondUnreadable:
                break;
        }
        throw unreadable(cardListFile);
    }
    const std::optional<TFileBytes> file = ReadFileAtSize(cardListFile);
    if (!file) {
        if (IsFileThere(cardListFile)) throw unreadable(cardListFile);
        return false;
    }
    const fs::path sumFile = VersionSumFile(cardTypeFolder, index.Position);
    if (const std::optional<std::string> sum = ReadWholeFile(sumFile))
        return VersionSum(file->View()) == *sum;
    if (IsFileThere(sumFile)) throw unreadable(sumFile);
    try {
        return ReadVersionBytes(cardTypeFolder, index, index.Position) == file->View();
    } catch (const VastrelleError&) {
        // A damaged version is left alone: the card list is then recorded as found.
        return false;
    }
}

std::optional<std::size_t> CardListVersion(const fs::path& cardTypeFolder,
                                           const THistoryIndex& index,
                                           const fs::path& cardListFile) {
    const std::optional<std::size_t> current = index.Current();
    if (!current) return std::nullopt;
    if (IsCurrentVersion(cardTypeFolder, index, cardListFile)) return current;
    // Below the first version the index wraps round past the last.
    for (std::size_t neighbour : {*current - 1, *current + 1}) {
        if (neighbour >= index.Versions.size()) continue;
        THistoryIndex moved = index;
        moved.Position = index.Versions[neighbour].Number;
        if (IsCurrentVersion(cardTypeFolder, moved, cardListFile)) return neighbour;
    }
    return std::nullopt;
}

bool NeedsWholeCopy(const fs::path& cardTypeFolder, const THistoryIndex& index, int number) {
    const std::optional<std::size_t> at = index.Find(number);
    if (!at || !HasWholeCopy(cardTypeFolder, number)) return true;
    // An earlier history's plain copy is measured as it is: it goes once a delta replaces it.
    const fs::path zst = WholeVersionFile(cardTypeFolder, number);
    const std::uint64_t wholeBytes =
        Exists(zst) ? FileSize(zst) : FileSize(VersionCardList(cardTypeFolder, number));
    std::size_t chain = 1;
    std::uint64_t deltaBytes = 0;
    for (std::size_t i = *at; i-- > 0;) {
        const int version = index.Versions[i].Number;
        if (HasWholeCopy(cardTypeFolder, version)) break;
        ++chain;
        deltaBytes +=
            FileSize(DeltaVersionFile(cardTypeFolder, version, index.Versions[i + 1].Number));
    }
    return chain >= kMaxDeltaChain || deltaBytes > wholeBytes / 2;
}

void DropReplacedCopies(const fs::path& cardTypeFolder, const THistoryIndex& index, int number,
                        bool whole) noexcept {
    try {
        const std::optional<std::size_t> at = index.Find(number);
        if (!at) return;
        const fs::path folder = VersionFolder(cardTypeFolder, number);
        std::optional<fs::path> delta;
        if (*at + 1 < index.Versions.size())
            delta = DeltaVersionFile(cardTypeFolder, number, index.Versions[*at + 1].Number);
        std::vector<fs::path> replaced;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().native();
            if (name.starts_with("cardlist.") && name.ends_with(".delta") && it->path() != delta)
                replaced.push_back(it->path());
        }
        if (whole && delta && Exists(*delta) && !NeedsWholeCopy(cardTypeFolder, index, number)) {
            replaced.push_back(WholeVersionFile(cardTypeFolder, number));
            replaced.push_back(VersionCardList(cardTypeFolder, number));
        }
        bool removed = false;
        for (const fs::path& path : replaced)
            if (Exists(path)) removed = fileops::Unlink(path) == 0 || removed;
        if (removed) FlushFolder(folder);
    } catch (...) {
    }
}
