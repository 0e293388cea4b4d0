#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

// What one read of a card list file saw, to tell at save time whether the file changed since.
// Two identities are equal only when the file is the same one with the same bytes; the hash
// catches a rewrite within the file system's time granularity that keeps size and time.
struct TCardListIdentity {
    bool Exists = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::uint64_t Hash = 0;  // of the bytes, computed during the read
    bool operator==(const TCardListIdentity&) const = default;
};

// A fast non-cryptographic 64-bit hash of bytes given in pieces; the result does not depend on
// how the bytes are cut into pieces.
class TCardListHasher {
public:
    void Add(std::string_view bytes);
    std::uint64_t Value() const;

private:
    void Mix(std::uint64_t word);

    std::uint64_t m_state = 0x9E3779B97F4A7C15ull;
    std::uint64_t m_length = 0;
    unsigned char m_tail[8] = {};
    std::size_t m_tailSize = 0;
};

std::uint64_t CardListHash(std::string_view bytes);

struct stat;
// The identity of a file from its status and its bytes (read from the same descriptor).
TCardListIdentity CardListIdentityFrom(const struct stat& status, std::uint64_t hash);

// The identity of the file as it is now (its status, and its bytes hashed); Exists false when it
// is not there or is not a regular file.
TCardListIdentity CardListIdentityOf(const std::filesystem::path& file);
