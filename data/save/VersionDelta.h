#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "files/FileDescriptor.h"
#include "save/VersionSum.h"

// A version stored against the version after it. Two versions of a card list mostly share a
// long start and a long end: only the bytes between are compressed, against the other version's
// bytes between the same points. A one-card change of 100,000 cards then costs a compare of the
// two files and a few hundred bytes, never a compression of the whole list, and bringing it back
// costs one splice.
//
// The file: a zstd skippable frame holding the lengths of the shared start and end and the sums
// of the version and of its base, then a zstd frame of the middle (carrying its size and
// checksum). Each delta must name the sum of the bytes it is spliced into, and the bytes a chain
// ends with are checked against the last sum, so a delta put on the wrong version is reported,
// never taken for the version.

// A version's bytes to compare and compress: a file, read a block at a time where needed, or
// bytes held already.
class TVersionBytes {
public:
    explicit TVersionBytes(std::string_view bytes) : m_bytes(bytes), m_size(bytes.size()) {}
    // nullopt when the file does not open as a regular file.
    static std::optional<TVersionBytes> OfFile(const std::filesystem::path& file);

    std::size_t Size() const { return m_size; }
    // Copies `size` bytes from `offset` into `out`; false when the read fails or comes short.
    bool ReadAt(std::size_t offset, char* out, std::size_t size) const;

private:
    TVersionBytes() = default;
    std::string_view m_bytes;
    std::shared_ptr<TFileDescriptor> m_file;
    std::size_t m_size = 0;
};

struct TSharedEnds {
    std::size_t Start = 0;  // bytes both begin with
    std::size_t End = 0;    // bytes both end with, not counting into the shared start
};

// nullopt when either does not read.
std::optional<TSharedEnds> SharedEnds(const TVersionBytes& a, const TVersionBytes& b);

inline bool SameBytes(const TVersionBytes& a, const TVersionBytes& b, const TSharedEnds& ends) {
    return a.Size() == b.Size() && ends.Start == a.Size();
}

// The delta file of `bytes` against `base`, given their identity sums and what they share;
// nullopt when either does not read.
std::optional<std::string> MakeDelta(const TVersionBytes& bytes, const TVersionSumValue& sum,
                                     const TVersionBytes& base, const TVersionSumValue& baseSum,
                                     const TSharedEnds& ends);

// Whether a delta file is of this kind (else it is one frame against the whole base, as
// histories kept before).
bool IsSplicedDelta(std::string_view delta);

// Turns `bytes`, the base whose sum is `sum`, into the version the delta gives, in place, and
// `sum` into the sum that version was stored with; false when the delta is damaged or was not
// made against a base of that sum (the bytes are then left unspecified). The spliced bytes are
// not hashed here: after a chain of deltas, the caller checks the last sum once.
bool ApplySplicedDelta(std::string_view delta, std::string& bytes, TVersionSumValue& sum);
