#include "scans/ScanNames.h"

#include <array>

#include "pictures/ImageNames.h"
#include "text/Cp932.h"

namespace {

struct TSideWord {
    std::string_view Word;  // CP932, ASCII in lower case
    TScanSide Side;
    bool Bare;  // allowed right after the number, without a separator
};

// 表 is 0x95 0x5C and 裏 is 0x97 0xA0 in CP932.
constexpr std::array kSideWords = {
    TSideWord{"b", TScanSide::Back, false},        TSideWord{"back", TScanSide::Back, false},
    TSideWord{"ura", TScanSide::Back, false},      TSideWord{"2", TScanSide::Back, false},
    TSideWord{"\x97\xA0", TScanSide::Back, true},  TSideWord{"a", TScanSide::Front, false},
    TSideWord{"f", TScanSide::Front, false},       TSideWord{"front", TScanSide::Front, false},
    TSideWord{"omote", TScanSide::Front, false},   TSideWord{"1", TScanSide::Front, false},
    TSideWord{"\x95\x5C", TScanSide::Front, true},
};

bool IsSeparator(char c) { return c == '_' || c == '-' || c == ' '; }

// Whether `pos` starts a character of `text` rather than falling on a trail byte.
bool IsCharacterStart(std::string_view text, std::size_t pos) {
    std::size_t i = 0;
    while (i < pos) i += cp932::CharLength(text, i);
    return i == pos;
}

}  // namespace

std::string ScanStem(std::string_view fileName) {
    const std::string extension = ExtensionOf(fileName);
    if (extension.empty() && (fileName.empty() || fileName.back() != '.'))
        return std::string(fileName);
    return std::string(fileName.substr(0, fileName.size() - extension.size() - 1));
}

std::optional<TScanName> ParseScanStem(std::string_view stem) {
    if (stem.empty()) return std::nullopt;
    const std::string lower = AsciiLower(stem);
    for (const TSideWord& word : kSideWords) {
        if (lower.size() <= word.Word.size() || !lower.ends_with(word.Word)) continue;
        std::size_t end = lower.size() - word.Word.size();
        if (!IsCharacterStart(stem, end)) continue;
        if (IsSeparator(stem[end - 1]) && IsCharacterStart(stem, end - 1))
            --end;
        else if (!word.Bare)
            continue;
        if (end == 0) return std::nullopt;
        return TScanName{std::string(stem.substr(0, end)), word.Side};
    }
    return TScanName{std::string(stem), TScanSide::Front};
}

std::string WithoutLeadingZeros(std::string_view number) {
    std::size_t zeros = 0;
    while (zeros + 1 < number.size() && number[zeros] == '0' && number[zeros + 1] >= '0' &&
           number[zeros + 1] <= '9')
        ++zeros;
    return std::string(number.substr(zeros));
}
