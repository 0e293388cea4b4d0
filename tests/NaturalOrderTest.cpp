// Natural order of card numbers, as the list sorts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TempDir.h"
#include "text/NaturalOrder.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::stable_sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
        return NaturalCompare(a, b) < 0;
    });
    return texts;
}

}  // namespace

TEST(NaturalOrderTest, DigitRunsCompareByValue) {
    EXPECT_EQ(Sorted({"10", "2", "1", "100", "20"}),
              (std::vector<std::string>{"1", "2", "10", "20", "100"}));
    EXPECT_EQ(Sorted({"SV-10", "SV-2", "SV-1", "S-3"}),
              (std::vector<std::string>{"S-3", "SV-1", "SV-2", "SV-10"}));
    EXPECT_EQ(Sorted({"a10b2", "a10b10", "a9b99"}),
              (std::vector<std::string>{"a9b99", "a10b2", "a10b10"}));
    // Longer than any integer type: still compared digit by digit.
    EXPECT_LT(NaturalCompare("99999999999999999999998", "99999999999999999999999"), 0);
    EXPECT_GT(NaturalCompare("100000000000000000000000", "99999999999999999999999"), 0);
}

TEST(NaturalOrderTest, FullWidthDigitsCountAsDigits) {
    // ２ and １０ in full width
    EXPECT_LT(NaturalCompare(Sjis("No.２"), Sjis("No.１０")), 0);
    EXPECT_EQ(NaturalCompare(Sjis("１２"), "12"), 0);
}

TEST(NaturalOrderTest, LeadingZerosAndLetterCaseTieSoFileOrderStays) {
    EXPECT_EQ(NaturalCompare("007", "7"), 0);
    EXPECT_EQ(NaturalCompare("sv-2", "SV-2"), 0);
    EXPECT_EQ(Sorted({"B", "a", "A", "b"}), (std::vector<std::string>{"a", "A", "B", "b"}));
    EXPECT_LT(NaturalCompare("", "0"), 0);
    EXPECT_EQ(NaturalCompare("", ""), 0);
    EXPECT_LT(NaturalCompare("card", "card2"), 0);
}

TEST(NaturalOrderTest, TrailBytesAreNeverDigitsOrLetters) {
    // ア is 0x83 0x41 and ッ 0x83 0x62: folding the trail byte 'A' to 'a' would make them close,
    // reading 0x83 0x30..0x39 as digits is impossible (no such trail bytes), but a lone lead
    // byte at the end must not read past the text.
    EXPECT_NE(NaturalCompare(Sjis("ア"), Sjis("ッ")), 0);
    EXPECT_LT(NaturalCompare(Sjis("ア"), Sjis("イ")), 0);
    EXPECT_NE(NaturalCompare(std::string("\x83"), std::string("\x83\x41")), 0);
    // Kana follow their CP932 order: ア (8341) < カ (834A) < サ (8354).
    EXPECT_EQ(Sorted({Sjis("サ"), Sjis("ア"), Sjis("カ")}),
              (std::vector<std::string>{Sjis("ア"), Sjis("カ"), Sjis("サ")}));
}
