#include "text/NaturalOrder.h"

#include <cstddef>

#include "text/Cp932.h"

namespace {

// Below every character a text can hold, so digit runs sort first.
constexpr char kDigitRun = '\x01';

// The value of the digit at pos (and its length in bytes), or -1 when it is not a digit.
// Full-width digits are 0x824F to 0x8258 in CP932.
int DigitAt(std::string_view text, std::size_t pos, std::size_t& length) {
    auto c = static_cast<unsigned char>(text[pos]);
    length = cp932::CharLength(text, pos);
    if (length == 1) return c >= '0' && c <= '9' ? c - '0' : -1;
    auto trail = static_cast<unsigned char>(text[pos + 1]);
    return c == 0x82 && trail >= 0x4F && trail <= 0x58 ? trail - 0x4F : -1;
}

}  // namespace

// A digit run becomes the marker, its count of significant digits in two bytes, then those
// digits: a longer number is larger, and numbers of one length compare digit by digit.
std::string NaturalSortKey(std::string_view text) {
    std::string key;
    key.reserve(text.size() + 4);
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (DigitAt(text, i, length) < 0) {
            auto c = static_cast<unsigned char>(text[i]);
            if (length == 1)
                key += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            else
                key.append(text.substr(i, 2));
            i += length;
            continue;
        }
        key += kDigitRun;
        std::size_t countAt = key.size();
        key.append(2, '\0');
        std::size_t count = 0;
        for (int digit; i < text.size() && (digit = DigitAt(text, i, length)) >= 0; i += length)
            if ((digit != 0 || count > 0) && count < 0xFFFF) {
                key += static_cast<char>('0' + digit);
                ++count;
            }
        key[countAt] = static_cast<char>(count >> 8);
        key[countAt + 1] = static_cast<char>(count & 0xFF);
    }
    return key;
}

int NaturalCompare(std::string_view a, std::string_view b) {
    return NaturalSortKey(a).compare(NaturalSortKey(b));
}
