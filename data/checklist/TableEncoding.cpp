#include "checklist/TableEncoding.h"

#include <algorithm>
#include <array>

#include "text/Cp932.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEBom = "\xFF\xFE";
constexpr std::string_view kUtf16BEBom = "\xFE\xFF";

constexpr std::size_t kIncomplete = static_cast<std::size_t>(-1);

unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// The length of the valid UTF-8 sequence at pos; 0 when it is not one (overlong forms and
// surrogates included); kIncomplete when the text ends inside a sequence that could be valid.
std::size_t Utf8Length(std::string_view s, std::size_t pos) {
    const unsigned char c = Byte(s, pos);
    if (c < 0x80) return 1;
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (pos + i >= s.size()) return kIncomplete;
        const unsigned char b = Byte(s, pos + i);
        if (i == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80) return 0;
    }
    return n;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

struct TEncodingName {
    std::string_view Name;
    TTableEncoding Encoding;
};

constexpr std::array<TEncodingName, 11> kNames = {{
    {"UTF-8", TTableEncoding::Utf8},
    {"UTF-16LE", TTableEncoding::Utf16LE},
    {"UTF-16BE", TTableEncoding::Utf16BE},
    {"Shift_JIS", TTableEncoding::Cp932},
    {"utf8", TTableEncoding::Utf8},
    {"utf16le", TTableEncoding::Utf16LE},
    {"utf16be", TTableEncoding::Utf16BE},
    {"sjis", TTableEncoding::Cp932},
    {"shiftjis", TTableEncoding::Cp932},
    {"cp932", TTableEncoding::Cp932},
    {"windows31j", TTableEncoding::Cp932},
}};

// Lower case without "-" and "_", so that "UTF-8", "utf8" and "Shift_JIS" compare alike.
std::string NameKey(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c == '-' || c == '_') continue;
        key += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return key;
}

}  // namespace

std::string_view EncodingName(TTableEncoding encoding) {
    for (const TEncodingName& entry : kNames)
        if (entry.Encoding == encoding) return entry.Name;
    return {};
}

std::optional<TTableEncoding> ParseEncodingName(std::string_view name) {
    const std::string key = NameKey(name);
    for (const TEncodingName& entry : kNames)
        if (NameKey(entry.Name) == key) return entry.Encoding;
    return std::nullopt;
}

TTableEncoding DetectEncoding(std::string_view head) {
    if (head.starts_with(kUtf8Bom)) return TTableEncoding::Utf8;
    if (head.starts_with(kUtf16LEBom)) return TTableEncoding::Utf16LE;
    if (head.starts_with(kUtf16BEBom)) return TTableEncoding::Utf16BE;
    for (std::size_t pos = 0; pos < head.size();) {
        const std::size_t n = Utf8Length(head, pos);
        if (n == kIncomplete) break;
        if (n == 0) return TTableEncoding::Cp932;
        pos += n;
    }
    return TTableEncoding::Utf8;
}

void TTableDecoder::Decode(std::string_view piece, std::string& out) {
    std::string joined;
    std::string_view bytes = piece;
    if (!m_carry.empty()) {
        joined = std::move(m_carry);
        joined.append(piece);
        m_carry.clear();
        bytes = joined;
    }
    if (!m_started) {
        // Too short to tell whether a byte order mark starts the text.
        if (bytes.size() < 3 && !m_finishing) {
            m_carry.assign(bytes);
            return;
        }
        m_started = true;
        std::string_view bom = m_encoding == TTableEncoding::Utf8      ? kUtf8Bom
                               : m_encoding == TTableEncoding::Utf16LE ? kUtf16LEBom
                               : m_encoding == TTableEncoding::Utf16BE ? kUtf16BEBom
                                                                       : std::string_view();
        if (!bom.empty() && bytes.starts_with(bom)) bytes.remove_prefix(bom.size());
    }
    switch (m_encoding) {
        case TTableEncoding::Utf8:
            DecodeUtf8(bytes, out);
            break;
        case TTableEncoding::Utf16LE:
        case TTableEncoding::Utf16BE:
            DecodeUtf16(bytes, out);
            break;
        case TTableEncoding::Cp932:
            DecodeCp932(bytes, out);
            break;
    }
}

void TTableDecoder::Finish(std::string& out) {
    if (!m_started) {
        // The whole input was shorter than a byte order mark.
        m_finishing = true;
        Decode({}, out);
    }
    if (!m_carry.empty() || m_highSurrogate != 0) out += kReplacementCharacter;
    m_carry.clear();
    m_highSurrogate = 0;
}

void TTableDecoder::DecodeUtf8(std::string_view bytes, std::string& out) {
    std::size_t start = 0, pos = 0;
    while (pos < bytes.size()) {
        if (Byte(bytes, pos) < 0x80) {
            ++pos;
            continue;
        }
        const std::size_t n = Utf8Length(bytes, pos);
        if (n == kIncomplete) {
            m_carry.assign(bytes.substr(pos));
            break;
        }
        if (n == 0) {
            out.append(bytes.substr(start, pos - start));
            out += kReplacementCharacter;
            start = ++pos;
            continue;
        }
        pos += n;
    }
    out.append(bytes.substr(start, std::min(pos, bytes.size()) - start));
}

void TTableDecoder::DecodeUtf16(std::string_view bytes, std::string& out) {
    const bool little = m_encoding == TTableEncoding::Utf16LE;
    std::size_t pos = 0;
    for (; pos + 1 < bytes.size(); pos += 2) {
        const char32_t unit = little ? Byte(bytes, pos) | (Byte(bytes, pos + 1) << 8)
                                     : (Byte(bytes, pos) << 8) | Byte(bytes, pos + 1);
        if (m_highSurrogate != 0) {
            const char32_t high = m_highSurrogate;
            m_highSurrogate = 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                AppendUtf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), out);
                continue;
            }
            out += kReplacementCharacter;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            m_highSurrogate = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF)
            out += kReplacementCharacter;
        else
            AppendUtf8(unit, out);
    }
    if (pos < bytes.size()) m_carry.assign(bytes.substr(pos));
}

void TTableDecoder::DecodeCp932(std::string_view bytes, std::string& out) {
    // A lead byte at the very end waits for its trail byte.
    std::size_t end = 0;
    while (end < bytes.size()) {
        if (cp932::IsLeadByte(Byte(bytes, end)) && end + 1 == bytes.size()) break;
        end += cp932::CharLength(bytes, end);
    }
    m_carry.assign(bytes.substr(end));
    const std::string_view whole = bytes.substr(0, end);
    if (std::all_of(whole.begin(), whole.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        out.append(whole);
    else
        out += cp932::ToUtf8Lossy(whole);
}
