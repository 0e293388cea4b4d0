#include "save/VersionDelta.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "save/ZstdFrames.h"

namespace {

// One of the sixteen magic numbers zstd leaves to its users' skippable frames.
constexpr std::uint32_t kSkippableMagic = 0x184D2A5E;
constexpr std::size_t kPayload = 6 * 8;  // start, end, the version's sum, the base's sum
constexpr std::size_t kHeaderSize = 4 + 4 + kPayload;
// The two versions are compared a block at a time: small enough that its pages are touched once
// and stay in the cache, large enough that reading a file costs few calls.
constexpr std::size_t kBlock = std::size_t{64} << 10;

void PutLittle(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t GetLittle(std::string_view in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t{static_cast<unsigned char>(in[at + i])} << (8 * i);
    return value;
}

// The bytes [from, to) of a version, read whole: only the middle of two versions is ever held.
std::optional<std::string> Middle(const TVersionBytes& bytes, std::size_t from, std::size_t to) {
    std::string middle(to - from, '\0');
    if (!bytes.ReadAt(from, middle.data(), middle.size())) return std::nullopt;
    return middle;
}

}  // namespace

std::optional<TVersionBytes> TVersionBytes::OfFile(const std::filesystem::path& file) {
    TFileDescriptor fd(fileops::OpenForReading(file));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    TVersionBytes bytes;
    bytes.m_file = std::make_shared<TFileDescriptor>(std::move(fd));
    bytes.m_size = static_cast<std::size_t>(st.st_size);
    return bytes;
}

bool TVersionBytes::ReadAt(std::size_t offset, char* out, std::size_t size) const {
    if (offset > m_size || size > m_size - offset) return false;
    if (!m_file) {
        std::memcpy(out, m_bytes.data() + offset, size);
        return true;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(m_file->Get(), out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<TSharedEnds> SharedEnds(const TVersionBytes& a, const TVersionBytes& b) {
    TSharedEnds ends;
    const std::size_t shorter = std::min(a.Size(), b.Size());
    const std::size_t blockSize = std::min(kBlock, shorter);
    // Not filled first: every byte compared has been read into it.
    const std::unique_ptr<char[]> blockA = std::make_unique_for_overwrite<char[]>(blockSize + 1),
                                  blockB = std::make_unique_for_overwrite<char[]>(blockSize + 1);
    // Whole blocks are compared with memcmp; only the block that differs is searched byte by byte.
    while (ends.Start < shorter) {
        const std::size_t length = std::min(blockSize, shorter - ends.Start);
        if (!a.ReadAt(ends.Start, blockA.get(), length) ||
            !b.ReadAt(ends.Start, blockB.get(), length))
            return std::nullopt;
        if (std::memcmp(blockA.get(), blockB.get(), length) == 0) {
            ends.Start += length;
            continue;
        }
        ends.Start += static_cast<std::size_t>(
            std::mismatch(blockA.get(), blockA.get() + length, blockB.get()).first - blockA.get());
        break;
    }
    // From the back, within what the start has left over.
    while (ends.Start + ends.End < shorter) {
        const std::size_t length = std::min(blockSize, shorter - ends.Start - ends.End);
        if (!a.ReadAt(a.Size() - ends.End - length, blockA.get(), length) ||
            !b.ReadAt(b.Size() - ends.End - length, blockB.get(), length))
            return std::nullopt;
        if (std::memcmp(blockA.get(), blockB.get(), length) == 0) {
            ends.End += length;
            continue;
        }
        const auto lastA = std::make_reverse_iterator(blockA.get() + length);
        const auto lastB = std::make_reverse_iterator(blockB.get() + length);
        ends.End += static_cast<std::size_t>(
            std::mismatch(lastA, std::make_reverse_iterator(blockA.get()), lastB).first - lastA);
        break;
    }
    return ends;
}

std::optional<std::string> MakeDelta(const TVersionBytes& bytes, const TVersionSumValue& sum,
                                     const TVersionBytes& base, const TVersionSumValue& baseSum,
                                     const TSharedEnds& ends) {
    const std::optional<std::string> middle = Middle(bytes, ends.Start, bytes.Size() - ends.End);
    const std::optional<std::string> baseMiddle = Middle(base, ends.Start, base.Size() - ends.End);
    if (!middle || !baseMiddle) return std::nullopt;
    std::string delta;
    PutLittle(delta, kSkippableMagic, 4);
    PutLittle(delta, kPayload, 4);
    PutLittle(delta, ends.Start, 8);
    PutLittle(delta, ends.End, 8);
    PutLittle(delta, sum.Size, 8);
    PutLittle(delta, sum.Hash, 8);
    PutLittle(delta, baseSum.Size, 8);
    PutLittle(delta, baseSum.Hash, 8);
    delta += CompressFrame(*middle, *baseMiddle);
    return delta;
}

bool IsSplicedDelta(std::string_view delta) {
    return delta.size() >= kHeaderSize && GetLittle(delta, 0, 4) == kSkippableMagic &&
           GetLittle(delta, 4, 4) == kPayload;
}

bool ApplySplicedDelta(std::string_view delta, std::string& bytes, TVersionSumValue& sum) {
    if (!IsSplicedDelta(delta)) return false;
    if (sum != TVersionSumValue{GetLittle(delta, 40, 8), GetLittle(delta, 48, 8), true})
        return false;
    const std::uint64_t start = GetLittle(delta, 8, 8), end = GetLittle(delta, 16, 8);
    if (start > bytes.size() || end > bytes.size() - start) return false;
    const std::size_t baseMiddle = bytes.size() - start - end;
    const std::optional<std::string> middle = DecompressFrame(
        delta.substr(kHeaderSize), std::string_view(bytes).substr(start, baseMiddle));
    if (!middle) return false;
    bytes.replace(start, baseMiddle, *middle);
    sum = TVersionSumValue{GetLittle(delta, 24, 8), GetLittle(delta, 32, 8), true};
    return bytes.size() == sum.Size;
}
