#include "cardlist/CardListIdentity.h"

#include <sys/stat.h>

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

void TCardListHasher::Mix(std::uint64_t word) {
    word *= kPrime1;
    word = RotateLeft(word, 31);
    word *= kPrime2;
    m_state ^= word;
    m_state = RotateLeft(m_state, 27) * 5 + 0x52DCE729;
}

void TCardListHasher::Add(std::string_view bytes) {
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    m_length += n;
    if (m_tailSize > 0) {
        while (n > 0 && m_tailSize < sizeof m_tail) {
            m_tail[m_tailSize++] = *p++;
            --n;
        }
        if (m_tailSize < sizeof m_tail) return;
        Mix(LoadWord(m_tail));
        m_tailSize = 0;
    }
    for (; n >= 8; p += 8, n -= 8) Mix(LoadWord(p));
    std::memcpy(m_tail, p, n);
    m_tailSize = n;
}

std::uint64_t TCardListHasher::Value() const {
    std::uint64_t h = m_state;
    unsigned char last[8] = {};
    std::memcpy(last, m_tail, m_tailSize);
    h ^= LoadWord(last) * kPrime2;
    h ^= m_length;
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
