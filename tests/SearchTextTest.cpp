// The search form of the list filter, on CP932 bytes.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "text/SearchText.h"

TEST(SearchTextTest, CaseAndWidthOfLettersDigitsAndKatakanaDoNotMatter) {
    EXPECT_EQ(SearchForm(Sjis("ＡＢＣ１２３abcXYZ")), "abc123abcxyz");
    EXPECT_EQ(SearchForm(Sjis("ｶﾞﾙｰﾗ ﾊﾟｯｸ")), Sjis("ガルーラ パック"));
    EXPECT_EQ(SearchForm(Sjis("ｳﾞｧﾝ")), Sjis("ヴァン"));
    EXPECT_EQ(SearchForm(Sjis("｢ｱ｣､｡･ｦﾝ")), Sjis("「ア」、。・ヲン"));
    EXPECT_EQ(SearchForm(Sjis("（ＳＲ）　＃１０！")), "(sr) #10!");
    // A sound mark that joins nothing stays a mark of its own.
    EXPECT_EQ(SearchForm(Sjis("ｱﾞ")), Sjis("ア゛"));
    EXPECT_EQ(SearchForm(Sjis("ﾟ")), Sjis("゜"));
    // Hiragana and katakana, and other double-byte characters, stay as they are.
    EXPECT_EQ(SearchForm(Sjis("かカ漢字")), Sjis("かカ漢字"));
    EXPECT_EQ(SearchForm(std::string("\x83")), std::string("\x83"));
}

TEST(SearchTextTest, MatchesStartOnlyAtCharacterBoundaries) {
    EXPECT_TRUE(ContainsSearchForm(SearchForm(Sjis("ピカチュウ ex")), SearchForm(Sjis("ﾁｭｳ"))));
    EXPECT_TRUE(ContainsSearchForm("anything", ""));
    EXPECT_FALSE(ContainsSearchForm("ab", "abc"));
    // ア is 0x83 0x41: its trail byte is "A" but must not match "a" or "A".
    std::string kana = SearchForm(Sjis("アイ"));
    EXPECT_FALSE(ContainsSearchForm(kana, "A"));
    EXPECT_FALSE(ContainsSearchForm(kana, "\x41\x83"));
    EXPECT_TRUE(ContainsSearchForm(kana, SearchForm(Sjis("イ"))));
    // ソ is 0x83 0x5C, its trail byte a backslash.
    EXPECT_FALSE(ContainsSearchForm(SearchForm(Sjis("ソ")), "\\"));
}
