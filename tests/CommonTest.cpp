#include <gtest/gtest.h>

#include <random>

#include "TempDir.h"
#include "cardlist/Common.h"
#include "text/Cp932.h"

namespace {

std::string Escape(std::string_view text) {
    return ConvertFieldText(text, TConvertDirection::Escape);
}
std::string Unescape(std::string_view text) {
    return ConvertFieldText(text, TConvertDirection::Unescape);
}

TEST(FieldTextConversion, EscapesEverySpecialText) {
    EXPECT_EQ(Escape("a&b<c>"), "a@#38;b@#60;c@#62;");
    EXPECT_EQ(Escape("50%[*]"), "50@#37;@#91;@#42;@#93;");
    EXPECT_EQ(Escape("A\tB"), "A@#09;B");
    EXPECT_EQ(Escape("x\r\ny"), "x@#13;@#10;y");
    EXPECT_EQ(Escape(""), "");
    EXPECT_EQ(Unescape(""), "");
}

TEST(FieldTextConversion, LoneLineBreaksAndAtSignStayUnescaped) {
    EXPECT_EQ(Escape("a\nb\rc"), "a\nb\rc");
    EXPECT_EQ(Escape("mail@example"), "mail@example");
    EXPECT_EQ(Escape("\r\r\n\n"), "\r@#13;@#10;\n");
}

TEST(FieldTextConversion, UnescapeRestoresAndIsNotRecursive) {
    EXPECT_EQ(Unescape("@#60;"), "<");
    EXPECT_EQ(Unescape("@#38;60;"), "&60;");
    EXPECT_EQ(Escape("&#60;"), "@#38;#60;");
    EXPECT_EQ(Unescape("@#38;#60;"), "&#60;");
    // Only the whole pair stands for CR LF.
    EXPECT_EQ(Unescape("@#13;"), "@#13;");
    EXPECT_EQ(Unescape("@#10;"), "@#10;");
    EXPECT_EQ(Unescape("@#13;@#10;"), "\r\n");
}

TEST(FieldTextConversion, TypedEscapeSequenceComesBackAsItsCharacter) {
    EXPECT_EQ(Unescape(Escape("@#60;")), "<");
    EXPECT_EQ(Unescape(Escape("@#13;@#10;")), "\r\n");
}

TEST(FieldTextConversion, TrailBytesNeverMatch) {
    // ー is 0x81 0x5B: its trail byte is "[".
    const std::string choon = Sjis("ー");
    ASSERT_EQ(choon, "\x81\x5B");
    EXPECT_EQ(Escape(choon), choon);
    EXPECT_EQ(Escape(choon + "["), choon + "@#91;");
    // ＝ is 0x81 0x81, ] trail: 0x81 0x5D is ∞? Use a character whose trail byte is "]".
    const std::string trailBracket = "\x81\x5D";
    EXPECT_EQ(Escape(trailBracket), trailBracket);
    // A trail byte 0x40 ("@") does not start an escape sequence: 0x81 0x40 is the ideographic
    // space, followed by "#60;".
    EXPECT_EQ(Unescape("\x81\x40#60;"), "\x81\x40#60;");
    EXPECT_EQ(Unescape("\x81\x40@#60;"), "\x81\x40<");
}

// The conversion as described: row by row, each row a left-to-right scan over characters.
std::string RowByRow(std::string text, TConvertDirection direction) {
    static const std::pair<std::string, std::string> table[] = {
        {"&", "@#38;"}, {"<", "@#60;"}, {">", "@#62;"},  {"[", "@#91;"},        {"]", "@#93;"},
        {"%", "@#37;"}, {"*", "@#42;"}, {"\t", "@#09;"}, {"\r\n", "@#13;@#10;"}};
    for (const auto& [special, escaped] : table) {
        const std::string& from = direction == TConvertDirection::Escape ? special : escaped;
        const std::string& to = direction == TConvertDirection::Escape ? escaped : special;
        std::string out;
        for (std::size_t pos = 0; pos < text.size();) {
            if (text.compare(pos, from.size(), from) == 0) {
                out += to;
                pos += from.size();
            } else {
                std::size_t n = cp932::CharLength(text, pos);
                out += text.substr(pos, n);
                pos += n;
            }
        }
        text = out;
    }
    return text;
}

TEST(FieldTextConversion, OnePassEqualsRowByRowOnRandomTexts) {
    const std::string alphabet[] = {"@",     "#",     "1",     "3",     "0",    "6",     "9",
                                    ";",     "&",     "<",     "[",     "]",    "%",     "*",
                                    "\t",    "\r",    "\n",    "\x81",  "\x40", "@#13;", "@#10;",
                                    "@#38;", "@#60;", "@#09;", "\x81@", "a"};
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int i = random() % 12; i > 0; --i) text += alphabet[random() % std::size(alphabet)];
        for (auto direction : {TConvertDirection::Escape, TConvertDirection::Unescape})
            ASSERT_EQ(ConvertFieldText(text, direction), RowByRow(text, direction)) << text;
    }
}

TEST(FieldTextConversion, RoundTripOfJapaneseTexts) {
    for (const char* utf8 :
         {"ピカチュウ【レア】", "表：５０％［限定］＊", "①②③ⅠⅡ髙﨑", "タブ\tと\r\n改行"}) {
        std::string text = Sjis(utf8);
        EXPECT_EQ(Unescape(Escape(text)), text) << utf8;
    }
}

TEST(ColumnValue, GivesTheFieldOfEachCaption) {
    TCardInfo card;
    card.Number = "12";
    card.Title = Sjis("タイトル");
    card.Comment = "c";
    card.Owned = true;
    EXPECT_EQ(GetColumnValue(card, "No."), "12");
    EXPECT_EQ(GetColumnValue(card, Sjis("タイトル")), card.Title);
    EXPECT_EQ(GetColumnValue(card, Sjis("コメント")), "c");
    EXPECT_EQ(GetColumnValue(card, Sjis("所持")), Sjis("●"));
    EXPECT_EQ(GetColumnValue(card, "no."), "");
    card.Owned = false;
    EXPECT_EQ(GetColumnValue(card, Sjis("所持")), "");
}

TEST(ColumnValue, BlankCardIsEmptyInEveryColumn) {
    TCardInfo card;
    card.Number = "x";
    card.Owned = true;
    ClearCardInfo(card);
    EXPECT_EQ(card, TCardInfo{});
    for (const TColumnData& column : DefaultColumnDatas())
        EXPECT_EQ(GetColumnValue(card, column.Caption), "");
}

TEST(ColumnDefinitions, AreTheFourColumnsInOrder) {
    TColumnDatas columns = DefaultColumnDatas();
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0].Caption, "No.");
    EXPECT_EQ(columns[1].Caption, Sjis("タイトル"));
    EXPECT_EQ(columns[2].Caption, Sjis("コメント"));
    EXPECT_EQ(columns[3].Caption, Sjis("所持"));
    EXPECT_EQ(columns[0].Width, 100);
    EXPECT_EQ(columns[1].Width, 250);
    EXPECT_EQ(columns[2].Width, 100);
    EXPECT_EQ(columns[3].Width, 50);
}

TEST(StatusLine, RoundsThePercentageDown) {
    EXPECT_EQ(StatusLineText(0, 0), "0/0");
    EXPECT_EQ(StatusLineText(1, 3), "1/3[33%]");
    EXPECT_EQ(StatusLineText(2, 3), "2/3[66%]");
    EXPECT_EQ(StatusLineText(5, 5), "5/5[100%]");
    EXPECT_EQ(StatusLineText(0, 4), "0/4[0%]");
    EXPECT_EQ(StatusLineText(53, 100), "53/100[53%]");
    EXPECT_EQ(StatusLineText(29, 100), "29/100[29%]");
    EXPECT_EQ(StatusLineText(99999, 100000), "99999/100000[99%]");
}

}  // namespace
