#include "text/SearchText.h"

#include <cstring>

#include "text/Cp932.h"

namespace {

// Full-width forms of the half-width katakana 0xA1 to 0xDF, sound marks included (゛ ゜).
constexpr unsigned short kFullWidthKana[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};
constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

// Full-width ASCII punctuation and space of the 0x81 row, as code and ASCII character.
constexpr struct {
    unsigned char trail;
    char ascii;
} kFullWidthPunctuation[] = {
    {0x40, ' '}, {0x43, ','}, {0x44, '.'}, {0x46, ':'}, {0x47, ';'},  {0x48, '?'}, {0x49, '!'},
    {0x4D, '`'}, {0x4F, '^'}, {0x51, '_'}, {0x5E, '/'}, {0x5F, '\\'}, {0x60, '~'}, {0x62, '|'},
    {0x69, '('}, {0x6A, ')'}, {0x6D, '['}, {0x6E, ']'}, {0x6F, '{'},  {0x70, '}'}, {0x7B, '+'},
    {0x7C, '-'}, {0x81, '='}, {0x83, '<'}, {0x84, '>'}, {0x90, '$'},  {0x93, '%'}, {0x94, '#'},
    {0x95, '&'}, {0x96, '*'}, {0x97, '@'}};

char Lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

void AppendCode(std::string& out, unsigned code) {
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// The voiced (ﾞ) or semi-voiced (ﾟ) form of a half-width letter, 0 when it has none.
unsigned Voiced(unsigned char kana, unsigned char mark) {
    unsigned base = kFullWidthKana[kana - 0xA1];
    if (mark == kVoicedMark) {
        if (kana == 0xB3) return 0x8394;  // ｳﾞ: ヴ
        if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE)) return base + 1;
    } else if (kana >= 0xCA && kana <= 0xCE) {
        return base + 2;
    }
    return 0;
}

}  // namespace

std::string SearchForm(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = cp932::CharLength(text, i);
        if (length == 2) {
            auto trail = static_cast<unsigned char>(text[i + 1]);
            i += 2;
            if (c == 0x82 && trail >= 0x4F && trail <= 0x58) {
                out += static_cast<char>('0' + trail - 0x4F);
            } else if (c == 0x82 && trail >= 0x60 && trail <= 0x79) {
                out += static_cast<char>('a' + trail - 0x60);
            } else if (c == 0x82 && trail >= 0x81 && trail <= 0x9A) {
                out += static_cast<char>('a' + trail - 0x81);
            } else {
                char ascii = 0;
                if (c == 0x81)
                    for (const auto& entry : kFullWidthPunctuation)
                        if (entry.trail == trail) ascii = entry.ascii;
                if (ascii != 0) {
                    out += ascii;
                } else {
                    out += static_cast<char>(c);
                    out += static_cast<char>(trail);
                }
            }
            continue;
        }
        ++i;
        if (c >= 0xA1 && c <= 0xDF) {
            if (i < text.size()) {
                auto mark = static_cast<unsigned char>(text[i]);
                if (mark == kVoicedMark || mark == kSemiVoicedMark) {
                    if (unsigned voiced = Voiced(c, mark)) {
                        AppendCode(out, voiced);
                        ++i;
                        continue;
                    }
                }
            }
            AppendCode(out, kFullWidthKana[c - 0xA1]);
            continue;
        }
        out += Lower(c);
    }
    return out;
}

bool ContainsSearchForm(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    if (needle.size() > text.size()) return false;
    const std::size_t last = text.size() - needle.size();
    for (std::size_t i = 0; i <= last; i += cp932::CharLength(text, i))
        if (text[i] == needle[0] && std::memcmp(text.data() + i, needle.data(), needle.size()) == 0)
            return true;
    return false;
}
