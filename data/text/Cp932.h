#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Code page 932 (the Windows form of Shift_JIS): the encoding of every card text and name.
namespace cp932 {

// 0x81-0x9F or 0xE0-0xFC: the first byte of a double-byte character.
constexpr bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Bytes taken by the character starting at pos: 2 for a lead byte followed by any byte, else 1.
// A trail byte is never looked at on its own, so it never matches a single-byte character.
inline std::size_t CharLength(std::string_view text, std::size_t pos) {
    return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// Strict conversions: nullopt when the text has no form in the other encoding.
std::optional<std::string> ToUtf8(std::string_view cp932);
std::optional<std::string> FromUtf8(std::string_view utf8);

// For display only: bytes that do not decode become U+FFFD.
std::string ToUtf8Lossy(std::string_view cp932);

// Reusable UTF-8 to CP932 converter for bulk work (the card list reader). Characters that
// CP932 lacks become "?", as they do when Windows converts such a file.
class Utf8ToCp932Lossy {
public:
    Utf8ToCp932Lossy();
    ~Utf8ToCp932Lossy();
    Utf8ToCp932Lossy(const Utf8ToCp932Lossy&) = delete;
    Utf8ToCp932Lossy& operator=(const Utf8ToCp932Lossy&) = delete;

    std::string Convert(std::string_view utf8);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace cp932
