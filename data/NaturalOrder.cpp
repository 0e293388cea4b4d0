#include "NaturalOrder.h"

#include <cstddef>

#include "Cp932.h"

namespace {

// The value of the digit at pos (and its length in bytes), or -1 when it is not a digit.
// Full-width digits are 0x824F to 0x8258 in CP932.
int DigitAt(std::string_view text, std::size_t pos, std::size_t& length) {
    auto c = static_cast<unsigned char>(text[pos]);
    length = cp932::CharLength(text, pos);
    if (length == 1) return c >= '0' && c <= '9' ? c - '0' : -1;
    auto trail = static_cast<unsigned char>(text[pos + 1]);
    return c == 0x82 && trail >= 0x4F && trail <= 0x58 ? trail - 0x4F : -1;
}

// The character at pos as one number: a double-byte character is lead * 256 + trail, which
// keeps CP932's own order.
unsigned CharCode(std::string_view text, std::size_t pos, std::size_t length) {
    auto c = static_cast<unsigned char>(text[pos]);
    if (length == 2) return c * 256u + static_cast<unsigned char>(text[pos + 1]);
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

struct DigitRun {
    std::size_t end = 0;          // byte just past the run
    std::size_t significant = 0;  // digits after the leading zeros
    std::size_t firstSignificant = 0;
};

DigitRun ReadDigitRun(std::string_view text, std::size_t pos) {
    DigitRun run;
    run.firstSignificant = std::string_view::npos;
    std::size_t length = 0;
    while (pos < text.size()) {
        int digit = DigitAt(text, pos, length);
        if (digit < 0) break;
        if (digit != 0 && run.firstSignificant == std::string_view::npos)
            run.firstSignificant = pos;
        if (run.firstSignificant != std::string_view::npos) ++run.significant;
        pos += length;
    }
    run.end = pos;
    if (run.firstSignificant == std::string_view::npos) run.firstSignificant = pos;
    return run;
}

// Two runs of digits by value: more significant digits is larger, else digit by digit.
int CompareRuns(std::string_view a, const DigitRun& ra, std::string_view b, const DigitRun& rb) {
    if (ra.significant != rb.significant) return ra.significant < rb.significant ? -1 : 1;
    std::size_t i = ra.firstSignificant, j = rb.firstSignificant, li = 0, lj = 0;
    while (i < ra.end && j < rb.end) {
        int da = DigitAt(a, i, li), db = DigitAt(b, j, lj);
        if (da != db) return da < db ? -1 : 1;
        i += li;
        j += lj;
    }
    return 0;
}

}  // namespace

int NaturalCompare(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        std::size_t li = 0, lj = 0;
        bool digitA = DigitAt(a, i, li) >= 0, digitB = DigitAt(b, j, lj) >= 0;
        if (digitA && digitB) {
            DigitRun ra = ReadDigitRun(a, i), rb = ReadDigitRun(b, j);
            if (int c = CompareRuns(a, ra, b, rb)) return c;
            i = ra.end;
            j = rb.end;
            continue;
        }
        unsigned ca = CharCode(a, i, li), cb = CharCode(b, j, lj);
        if (ca != cb) return ca < cb ? -1 : 1;
        i += li;
        j += lj;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}
