#include "save/VersionSum.h"

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "cardlist/CardListIdentity.h"

// Eight bytes a step: a 33 MB card list hashes in a few milliseconds. The bytes after the last
// whole word are mixed in one at a time; sum files already written rely on this exact layout.

TVersionSummer::TVersionSummer(std::size_t size)
    : m_size(size), m_hash(0x9E3779B97F4A7C15ull ^ size) {}

void TVersionSummer::Word(std::uint64_t word) {
    m_hash = std::rotl((m_hash ^ word) * 0xFF51AFD7ED558CCDull, 29);
}

void TVersionSummer::Add(std::string_view piece) {
    m_added += piece.size();
    if (m_carried > 0) {
        const std::size_t take = std::min(piece.size(), sizeof m_carry - m_carried);
        std::memcpy(m_carry + m_carried, piece.data(), take);
        m_carried += take;
        piece.remove_prefix(take);
        if (m_carried < sizeof m_carry) return;
        std::uint64_t word;
        std::memcpy(&word, m_carry, 8);
        Word(word);
        m_carried = 0;
    }
    std::size_t i = 0;
    for (; i + 8 <= piece.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, piece.data() + i, 8);
        Word(word);
    }
    std::memcpy(m_carry, piece.data() + i, piece.size() - i);
    m_carried = piece.size() - i;
}

std::string TVersionSummer::Text() const {
    std::uint64_t hash = m_hash;
    for (std::size_t i = 0; i < m_carried; ++i)
        hash =
            std::rotl((hash ^ static_cast<unsigned char>(m_carry[i])) * 0xC4CEB9FE1A85EC53ull, 29);
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    // A file that grew or shrank while it was read is no version of that size.
    const std::size_t size = m_added == m_size ? m_size : m_added;
    return VersionSumText({size, hash});
}

std::string VersionSumText(const TVersionSumValue& sum) {
    char text[56];
    std::snprintf(text, sizeof text, "%s%llu %016llx\n", sum.Identity ? "v2 " : "",
                  static_cast<unsigned long long>(sum.Size),
                  static_cast<unsigned long long>(sum.Hash));
    return text;
}

std::optional<TVersionSumValue> ParseVersionSum(std::string_view text) {
    TVersionSumValue sum;
    if (text.starts_with("v2 ")) {
        sum.Identity = true;
        text.remove_prefix(3);
    }
    const char* end = text.data() + text.size();
    auto [afterSize, e1] = std::from_chars(text.data(), end, sum.Size);
    if (e1 != std::errc() || afterSize == end || *afterSize != ' ') return std::nullopt;
    auto [afterHash, e2] = std::from_chars(afterSize + 1, end, sum.Hash, 16);
    if (e2 != std::errc() || std::string_view(afterHash, end) != "\n") return std::nullopt;
    return sum;
}

TVersionSumValue IdentitySum(std::string_view bytes) {
    return {bytes.size(), CardListHash(bytes), true};
}

std::string VersionSum(std::string_view bytes) {
    TVersionSummer summer(bytes.size());
    summer.Add(bytes);
    return summer.Text();
}
