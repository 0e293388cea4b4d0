#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The encodings a checklist file may come in, and their decoding into UTF-8 a piece at a time,
// so that a large file is never held whole in another form.

enum class TTableEncoding { Utf8, Utf16LE, Utf16BE, Cp932 };

// The name shown for an encoding ("UTF-8", "UTF-16LE", "UTF-16BE", "Shift_JIS") and back;
// the parse also takes the command-line spellings ("utf-8", "utf8", "sjis", "cp932"...).
std::string_view EncodingName(TTableEncoding encoding);
std::optional<TTableEncoding> ParseEncodingName(std::string_view name);

// The encoding of a file from its first bytes: a byte order mark names it; otherwise UTF-8 when
// the bytes are valid UTF-8 (a sequence cut at the end of the sample counts as valid), else
// Shift_JIS as Japanese spreadsheets save their CSV.
TTableEncoding DetectEncoding(std::string_view head);

// Decodes one encoding into UTF-8 across pieces: a character cut at the end of a piece is kept
// for the next. A byte order mark of the encoding at the very start is dropped. Bytes that do
// not decode become U+FFFD, which the import refuses as unreadable.
class TTableDecoder {
public:
    explicit TTableDecoder(TTableEncoding encoding) : m_encoding(encoding) {}

    void Decode(std::string_view piece, std::string& out);
    // The end of the input: a cut character becomes U+FFFD.
    void Finish(std::string& out);

private:
    void DecodeUtf8(std::string_view bytes, std::string& out);
    void DecodeUtf16(std::string_view bytes, std::string& out);
    void DecodeCp932(std::string_view bytes, std::string& out);

    TTableEncoding m_encoding;
    bool m_started = false;
    bool m_finishing = false;
    std::string m_carry;
    char32_t m_highSurrogate = 0;
};

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
