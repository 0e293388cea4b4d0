#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text of a version's sum file: the size and a 64-bit hash of its card list, so that telling
// whether the card list file is a version reads that file once instead of bringing the version
// back. Taken a piece at a time: the file need never be held whole.
class TVersionSummer {
public:
    // `size`: the length of all the pieces together, which the hash starts from.
    explicit TVersionSummer(std::size_t size);
    void Add(std::string_view piece);
    std::string Text() const;

private:
    void Word(std::uint64_t word);

    std::size_t m_size;
    std::uint64_t m_hash;
    char m_carry[8] = {};  // the start of a word that the next piece ends
    std::size_t m_carried = 0;
    std::size_t m_added = 0;
};

// The earlier kind of sum text, "SIZE HASH" with the hash above.
std::string VersionSum(std::string_view bytes);

// The size and hash a sum text names. Sums written now are "v2 SIZE HASH", with the card list's
// identity hash (CardListHash), which the readers and the save compute anyway, so that a save
// under the lock need not read the card list again to tell whether it is the current version;
// sums of the earlier kind still compare.
struct TVersionSumValue {
    std::uint64_t Size = 0;
    std::uint64_t Hash = 0;
    bool Identity = false;  // the hash is CardListHash
    bool operator==(const TVersionSumValue&) const = default;
};
// nullopt when the text is no sum.
std::optional<TVersionSumValue> ParseVersionSum(std::string_view text);
std::string VersionSumText(const TVersionSumValue& sum);
TVersionSumValue IdentitySum(std::string_view bytes);
