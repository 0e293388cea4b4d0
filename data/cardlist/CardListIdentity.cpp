#include "cardlist/CardListIdentity.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "files/WholeFile.h"

namespace {

constexpr std::uint64_t kPrime1 = 0x87C37B91114253D5ull;
constexpr std::uint64_t kPrime2 = 0x4CF5AD432745937Full;

constexpr std::uint64_t RotateLeft(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

std::uint64_t LoadWord(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

}  // namespace

std::uint64_t Round(std::uint64_t lane, std::uint64_t word) {
    lane += word * kPrime2;
    lane = RotateLeft(lane, 31);
    return lane * kPrime1;
}

void TCardListHasher::MixBlock(const unsigned char* block) {
    for (int lane = 0; lane < 4; ++lane)
        m_lanes[lane] = Round(m_lanes[lane], LoadWord(block + 8 * lane));
}

void TCardListHasher::Add(std::string_view bytes) {
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    m_length += n;
    if (m_tailSize > 0) {
        const std::size_t take = std::min(n, sizeof m_tail - m_tailSize);
        std::memcpy(m_tail + m_tailSize, p, take);
        m_tailSize += take;
        p += take;
        n -= take;
        if (m_tailSize < sizeof m_tail) return;
        MixBlock(m_tail);
        m_tailSize = 0;
    }
    for (; n >= sizeof m_tail; p += sizeof m_tail, n -= sizeof m_tail) MixBlock(p);
    std::memcpy(m_tail, p, n);
    m_tailSize = n;
}

std::uint64_t TCardListHasher::Value() const {
    std::uint64_t h = RotateLeft(m_lanes[0], 1) + RotateLeft(m_lanes[1], 7) +
                      RotateLeft(m_lanes[2], 12) + RotateLeft(m_lanes[3], 18);
    h += m_length;
    std::size_t at = 0;
    for (; at + 8 <= m_tailSize; at += 8)
        h = RotateLeft(h ^ Round(0, LoadWord(m_tail + at)), 27) * kPrime1 + 0x52DCE729;
    for (; at < m_tailSize; ++at)
        h = RotateLeft(h ^ (m_tail[at] * 0x27D4EB2F165667C5ull), 11) * kPrime1;
    // Final avalanche, so that every input bit reaches every output bit.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

std::uint64_t CardListHash(std::string_view bytes) {
    TCardListHasher hasher;
    hasher.Add(bytes);
    return hasher.Value();
}

TCardListIdentity CardListIdentityFrom(const struct stat& status, std::uint64_t hash) {
    TCardListIdentity identity;
    identity.Exists = true;
    identity.Device = static_cast<std::uint64_t>(status.st_dev);
    identity.Inode = static_cast<std::uint64_t>(status.st_ino);
    identity.Size = static_cast<std::uint64_t>(status.st_size);
    identity.ModifiedNs =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    identity.Hash = hash;
    return identity;
}

TCardListIdentity CardListIdentityOf(const std::filesystem::path& file) {
    struct stat status {};
    TCardListHasher hasher;
    const bool read = ReadFileInPieces(
        file,
        [&hasher](std::string_view piece) {
            hasher.Add(piece);
            return true;
        },
        &status);
    if (!read) return {};
    return CardListIdentityFrom(status, hasher.Value());
}
