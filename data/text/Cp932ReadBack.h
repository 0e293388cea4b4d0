#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// What the card list parser gives back for each CP932 character of a file declared Shift_JIS:
// the character decoded by iconv, as the parser decodes the file, then encoded again as
// cp932::Utf8ToCp932Lossy does. Characters with two codes (NEC-selected IBM kanji, the NEC row 13
// duplicates...) come back under the code iconv encodes them to.
namespace cp932 {

class Utf8ToCp932Lossy;

class TReadBackTable {
public:
    // Built once from iconv.
    static const TReadBackTable& Get();

    // False when iconv does not decode the ASCII bytes as ASCII: nothing can then be read
    // bytewise.
    bool Usable() const { return m_usable; }
    // The code given back for a byte 0x80-0xFF read alone, or for a lead byte and the byte after
    // it: a code above 0xFF is two bytes. 0 when the parser rejects the bytes (no such character,
    // or not a character XML allows).
    std::uint16_t Single(unsigned char byte) const { return m_single[byte]; }
    std::uint16_t Double(unsigned char lead, unsigned char trail) const {
        if (!m_built[lead].load(std::memory_order_acquire)) Build(lead);
        return m_double[static_cast<std::size_t>(lead) << 8 | trail];
    }

    TReadBackTable(const TReadBackTable&) = delete;
    TReadBackTable& operator=(const TReadBackTable&) = delete;
    ~TReadBackTable();

private:
    TReadBackTable();
    // The codes of one lead byte's 256 pairs, made the first time the lead byte is read: a card
    // list uses a few dozen of them, and every process pays only for those.
    void Build(unsigned char lead) const;
    std::uint16_t Code(std::string_view bytes) const;

    bool m_usable = true;
    std::array<std::uint16_t, 256> m_single{};
    mutable std::vector<std::uint16_t> m_double;
    mutable std::array<std::atomic<bool>, 256> m_built{};
    mutable std::mutex m_building;  // also guards the converters below
    void* m_decoder = nullptr;      // iconv from CP932 to UTF-8
    std::unique_ptr<Utf8ToCp932Lossy> m_encoder;
};

// The UTF-8 form of a code point.
std::string Utf8Of(std::uint32_t cp);

}  // namespace cp932
