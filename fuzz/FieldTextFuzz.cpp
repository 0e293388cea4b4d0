// Number, title and comment texts: escaping then unescaping gives the text back unless it held
// an escape sequence itself, and an escaped text holds no special text the file could misread.
#include <array>

#include "FuzzScratch.h"
#include "cardlist/Common.h"
#include "text/Cp932.h"

namespace {

constexpr std::array<std::string_view, 9> kSequences = {
    "@#38;", "@#60;", "@#62;", "@#91;", "@#93;", "@#37;", "@#42;", "@#09;", "@#13;@#10;"};

bool HoldsEscapeSequence(std::string_view text) {
    for (std::string_view sequence : kSequences)
        if (text.find(sequence) != std::string_view::npos) return true;
    return false;
}

bool HoldsSpecialCharacter(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size(); pos += cp932::CharLength(text, pos)) {
        if (cp932::CharLength(text, pos) != 1) continue;
        const char c = text[pos];
        if (c == '&' || c == '<' || c == '>' || c == '[' || c == ']' || c == '%' || c == '*' ||
            c == '\t' || (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n'))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    const std::string escaped = ConvertFieldText(text, TConvertDirection::Escape);
    FUZZ_CHECK(!HoldsSpecialCharacter(escaped));
    const std::string back = ConvertFieldText(escaped, TConvertDirection::Unescape);
    if (!HoldsEscapeSequence(text)) FUZZ_CHECK(back == text);
    (void)ConvertFieldText(text, TConvertDirection::Unescape);
    return 0;
}
