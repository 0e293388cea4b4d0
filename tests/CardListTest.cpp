#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "TempDir.h"
#include "cardlist/CardCount.h"
#include "cardlist/CardList.h"
#include "files/VastrelleError.h"

namespace {

const std::filesystem::path kFixtures = std::filesystem::path(VASTRELLE_TEST_DATA_DIR) / "cardlist";

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";

// The reader under test: the reader itself (fast path first), or the general parser alone.
using ReaderFunction = void (*)(const std::filesystem::path&, TCardInfos&, TCardListIdentity*);
ReaderFunction g_reader = ReadCardList;

TCardInfos Read(const std::filesystem::path& file) {
    TCardInfos cards;
    g_reader(file, cards, nullptr);
    return cards;
}

TCardInfos ReadText(const TempDir& dir, const std::string& bytes) {
    WriteFileBytes(dir / "cardlist.dat", bytes);
    return Read(dir / "cardlist.dat");
}

std::string ReadFailure(const TempDir& dir, const std::string& bytes) {
    try {
        ReadText(dir, bytes);
    } catch (const VastrelleError& e) {
        return e.what();
    }
    return "(no failure)";
}

TCardInfo Card(std::string number, std::string title, bool owned, std::string comment = {},
               std::string front = {}, std::string back = {}) {
    return {std::move(front), std::move(back), std::move(number),
            std::move(title), owned,           std::move(comment)};
}

TEST(CardListWriter, WritesTheExactLines) {
    EXPECT_EQ(CardListText({}), kDecl + "<cardlist>\r\n</cardlist>\r\n");
    EXPECT_EQ(CardListText({Card("12", "A&B", true, "50%")}),
              kDecl +
                  "<cardlist>\r\n"
                  "    <carditem>\r\n"
                  "        <number>12</number>\r\n"
                  "        <title>A@#38;B</title>\r\n"
                  "        <imagefilename1></imagefilename1>\r\n"
                  "        <imagefilename2></imagefilename2>\r\n"
                  "        <exist>Y</exist>\r\n"
                  "        <comment>50@#37;</comment>\r\n"
                  "    </carditem>\r\n"
                  "</cardlist>\r\n");
    EXPECT_EQ(EmptyCardListText(), kDecl + "<cardlist/>\r\n");
}

TEST(CardListWriter, KeepsTheFileWellFormedForAnyName) {
    // Picture names are not escaped, except the markup characters; controls never reach the file.
    TCardInfo card = Card("1\x01", "t\x1F", false, "c\x7F", "a&b<c>.jpg", Sjis("表.jpg"));
    std::string text = CardListText({card});
    EXPECT_NE(text.find("<imagefilename1>a&amp;b&lt;c&gt;.jpg</imagefilename1>"),
              std::string::npos);
    EXPECT_NE(text.find("<imagefilename2>" + Sjis("表.jpg") + "</imagefilename2>"),
              std::string::npos);
    EXPECT_NE(text.find("<number>1</number>"), std::string::npos);
    EXPECT_NE(text.find("<comment>c\x7F</comment>"), std::string::npos);
    TempDir dir;
    TCardInfos back = ReadText(dir, text);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].FrontImageFileName, "a&b<c>.jpg");
    EXPECT_EQ(back[0].Number, "1");
    EXPECT_EQ(back[0].Title, "t");
}

TEST(CardListWriter, RoundTripsVariedJapaneseTexts) {
    TCardInfos cards = {
        Card(Sjis("００１"), Sjis("ピカチュウ【レア】［限定］"), true, Sjis("初版\r\n美品　５０％"),
             Sjis("表①.jpg"), Sjis("裏Ⅱ.jpeg")),
        Card("", "", false),
        Card("A-1", Sjis("髙﨑～－ー＼"), false, Sjis("タブ\tあり * & < > @"), "x.jpg", ""),
        Card("@#60;", Sjis("ソ十表能"), true, "a\nb"),  // 0x5C trail bytes
    };
    TempDir dir;
    WriteCardList(cards, dir.Path());
    TCardInfos back = Read(dir / "cardlist.dat");
    ASSERT_EQ(back.size(), cards.size());
    EXPECT_EQ(back[0], cards[0]);
    EXPECT_EQ(back[1], cards[1]);
    EXPECT_EQ(back[2], cards[2]);
    // A typed escape sequence comes back as its character.
    EXPECT_EQ(back[3].Number, "<");
    EXPECT_EQ(back[3].Title, cards[3].Title);
    EXPECT_EQ(back[3].Comment, "a\nb");

    // Written, read and written again: the same bytes.
    WriteCardList(back, dir.Path());
    WriteCardList(Read(dir / "cardlist.dat"), dir.Path());
    EXPECT_EQ(ReadFileBytes(dir / "cardlist.dat"), CardListText(back));
    TCardInfos again = Read(dir / "cardlist.dat");
    EXPECT_EQ(again, back);
}

TEST(CardListWriter, WritesLargeListsInPiecesWithTheSameBytes) {
    TCardInfos cards(3000, Card("1", Sjis("長いタイトル"), true, std::string(150, 'c')));
    cards.back().Comment = "last";
    std::size_t pieces = 0;
    std::string joined;
    WriteCardListText(cards, [&](std::string_view piece) {
        ++pieces;
        joined.append(piece);
        return true;
    });
    EXPECT_GT(pieces, 1u);
    EXPECT_EQ(joined, CardListText(cards));
    TempDir dir;
    WriteCardList(cards, dir.Path());
    EXPECT_EQ(ReadFileBytes(dir / "cardlist.dat"), joined);
}

TEST(CardListWriter, ExistingFileSurvivesReadWriteCycleByteForByte) {
    TempDir dir;
    std::string original = ReadFileBytes(kFixtures / "written.dat");
    WriteCardList(Read(kFixtures / "written.dat"), dir.Path());
    EXPECT_EQ(ReadFileBytes(dir / "cardlist.dat"), original);
}

TEST(CardListWriter, FailureKeepsTheOldFileAndReportsTheMessage) {
    TempDir dir;
    WriteFileBytes(dir / "file", "x");
    try {
        WriteCardList({Card("1", "t", true)}, dir / "file");  // a folder that is a file
        FAIL() << "no failure";
    } catch (const VastrelleError& e) {
        EXPECT_STREQ(e.what(), "カード種類フォルダ[cardlist.dat]の保存に失敗しました。");
        EXPECT_EQ(e.Kind(), MessageKind::ErrorAbort);
    }
    EXPECT_THROW(WriteCardList({}, std::filesystem::path()), VastrelleError);
    EXPECT_THROW(WriteCardList({}, dir / "missing"), VastrelleError);

    // A full disk part-way through: the old file stays whole and no temporary file is left.
    const std::string old = ReadFileBytes(kFixtures / "written.dat");
    WriteFileBytes(dir / "cardlist.dat", old);
    TCardInfos many(2000, Card("1", "long title", true, std::string(200, 'c')));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteCardList(many, dir.Path());
        } catch (const VastrelleError&) {
            _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    EXPECT_EQ(ReadFileBytes(dir / "cardlist.dat"), old);
    int entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Path())) (void)entry, ++entries;
    EXPECT_EQ(entries, 2);  // file and cardlist.dat
}

class CardListReader : public ::testing::TestWithParam<ReaderFunction> {
protected:
    void SetUp() override { g_reader = GetParam(); }
    void TearDown() override { g_reader = ReadCardList; }
};

INSTANTIATE_TEST_SUITE_P(BothPaths, CardListReader,
                         ::testing::Values(&ReadCardList, &ReadCardListByParser),
                         [](const auto& info) {
                             return info.param == &ReadCardList ? "Reader" : "ParserOnly";
                         });

TEST_P(CardListReader, ReadsAFileAsWrittenAndAnyLineEnds) {
    TCardInfos cards = Read(kFixtures / "written.dat");
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(cards[0], Card("001", Sjis("ピカ[レア]①"), true, Sjis("初版\r\n美品"), "front1.jpg",
                             "back1.jpg"));
    EXPECT_EQ(cards[1], Card("002", Sjis("髙橋＆﨑"), false));
    EXPECT_EQ(cards[2], Card("003", Sjis("ー表示"), true, "50%", Sjis("カード３.jpeg")));
    EXPECT_EQ(Read(kFixtures / "lf-only.dat"), cards);
    EXPECT_EQ(Read(kFixtures / "cr-only.dat"), cards);
}

TEST_P(CardListReader, IsLenientAboutShape) {
    TCardInfos cards = Read(kFixtures / "hand-made.dat");
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(cards[0], Card("1", "", false));  // any element name is a card
    EXPECT_EQ(cards[1].Number, "2");            // the first of two
    EXPECT_EQ(cards[1].Title, "A & B A");       // references resolved
    EXPECT_FALSE(cards[1].Owned);               // "y" is not "Y"
    EXPECT_EQ(cards[1].Comment, "");
    EXPECT_TRUE(cards[2].Owned);
    EXPECT_EQ(cards[2].Title, "");  // white space only
    EXPECT_EQ(cards[2].FrontImageFileName, "a&b.jpg");
}

TEST_P(CardListReader, EmptyFormsReadAsNoCards) {
    TempDir dir;
    EXPECT_TRUE(ReadText(dir, "").empty());
    EXPECT_TRUE(ReadText(dir, std::string("\0<cardlist>", 11)).empty());
    EXPECT_TRUE(ReadText(dir, EmptyCardListText()).empty());
    EXPECT_TRUE(ReadText(dir, CardListText({})).empty());
}

TEST_P(CardListReader, LineBreaksInsideFieldsBecomeLf) {
    TempDir dir;
    TCardInfos cards = ReadText(dir, kDecl + "<l><c><title>a\r\nb\rc</title></c></l>\r\n");
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].Title, "a\nb\nc");
}

TEST_P(CardListReader, StopsAtTheFirstNul) {
    TempDir dir;
    std::string text = kDecl + "<l><c><number>1</number></c></l>\r\n";
    EXPECT_EQ(ReadText(dir, text + std::string("\0garbage<", 9)).size(), 1u);
    std::string cut = kDecl + "<l><c><number>1</number>" + std::string("\0</c></l>", 9);
    EXPECT_NE(ReadFailure(dir, cut), "(no failure)");
}

TEST_P(CardListReader, OtherEncodingsAreDecodedAndLossyInCp932) {
    TCardInfos cards = Read(kFixtures / "utf8.dat");
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].Title, Sjis("?ber ? カード"));  // Ü and the emoji have no CP932 form
    EXPECT_TRUE(cards[0].Owned);
}

TEST_P(CardListReader, ReportsParseErrorsWithLineAndExcerpt) {
    TempDir dir;
    std::string message =
        ReadFailure(dir, kDecl + "<cardlist>\r\n<carditem><title>" + Sjis("壊れた") +
                             "</titel></carditem>\r\n</cardlist>\r\n");
    EXPECT_NE(message.find("\r\n行: 3\r\n<carditem><title>壊れた</titel>"), std::string::npos)
        << message;
    EXPECT_NE(message.find("title"), std::string::npos);  // the parser's own reason
    // Blank lines only: not well-formed.
    EXPECT_NE(ReadFailure(dir, "\r\n\r\n"), "(no failure)");
    // The excerpt is cut at 40 characters, double-byte ones counting once.
    std::string longLine = Sjis(std::string(30, 'a') + "あいうえおかきくけこさしすせそ") + "<";
    message = ReadFailure(dir, kDecl + "<l>\r\n" + longLine + "\r\n</l>");
    EXPECT_TRUE(message.ends_with("\r\n" + std::string(30, 'a') + "あいうえおかきくけこ"))
        << message;
    EXPECT_EQ(message.find("さ"), std::string::npos);
}

TEST_P(CardListReader, RefusesFieldsThatAreNotSimpleText) {
    TempDir dir;
    for (const char* field : {"<title>a<b/>c</title>", "<title><![CDATA[x]]></title>",
                              "<title>a<!-- c --></title>", "<title><i>x</i></title>"}) {
        EXPECT_EQ(ReadFailure(dir, kDecl + "<l><c>" + std::string(field) + "</c></l>"),
                  "要素は単純テキストノードを含んでいません")
            << field;
    }
    EXPECT_EQ(ReadFailure(dir, kDecl + "<l><c/>stray text<c/></l>"),
              "要素は単純テキストノードを含んでいません");
    EXPECT_EQ(ReadFailure(dir, kDecl + "<l><!-- note --><c/></l>"),
              "要素は単純テキストノードを含んでいません");
    // A later syntax error wins over an earlier structural one, as for a whole-document parse.
    std::string message = ReadFailure(dir, kDecl + "<l><c><title><b/></title></c>\r\n<c></l>");
    EXPECT_NE(message.find("行: "), std::string::npos) << message;
}

TEST_P(CardListReader, ReportsAFileThatCannotBeOpened) {
    TempDir dir;
    try {
        Read(dir / "cardlist.dat");
        FAIL();
    } catch (const VastrelleError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "ファイル " + (dir / "cardlist.dat").string() + " は開けません");
    }
}

TEST_P(CardListReader, NeverReadsOtherFilesThroughEntities) {
    TempDir dir;
    WriteFileBytes(dir / "secret.txt", "SECRET");
    std::string doc = kDecl + "<!DOCTYPE l [<!ENTITY x SYSTEM \"" + (dir / "secret.txt").string() +
                      "\">]>\r\n<l><c><title>&x;</title></c></l>\r\n";
    try {
        TCardInfos cards = ReadText(dir, doc);
        for (const TCardInfo& card : cards) EXPECT_EQ(card.Title.find("SECRET"), std::string::npos);
    } catch (const VastrelleError& e) {
        EXPECT_EQ(std::string(e.what()).find("SECRET"), std::string::npos);
    }
    // Recursive entities end quickly with a failure.
    std::string bomb = kDecl + "<!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">";
    std::string prev = "a";
    for (char c = 'b'; c <= 'k'; ++c) {
        std::string value;
        for (int i = 0; i < 10; ++i) value += "&" + prev + ";";
        bomb += std::string("<!ENTITY ") + c + " \"" + value + "\">";
        prev = std::string(1, c);
    }
    bomb += "]>\r\n<l><c><title>&k;</title></c></l>\r\n";
    EXPECT_NE(ReadFailure(dir, bomb), "(no failure)");
}

TEST(CardListCount, CountsWithTheReadersRulesAndFailures) {
    TCardCount count = CountCardList(kFixtures / "written.dat");
    EXPECT_EQ(count.Total, 3u);
    EXPECT_EQ(count.Owned, 2u);
    count = CountCardList(kFixtures / "utf8.dat");  // read by the parser
    EXPECT_EQ(count.Total, 1u);
    EXPECT_EQ(count.Owned, 1u);
    TempDir dir;
    WriteFileBytes(dir / "cardlist.dat", "");
    EXPECT_EQ(CountCardList(dir / "cardlist.dat").Total, 0u);
    std::string broken = kDecl + "<l><c><exist>Y</exist></c><c>\r\n</l>";
    std::string expected = ReadFailure(dir, broken);
    try {
        CountCardList(dir / "cardlist.dat");
        ADD_FAILURE() << "no failure";
    } catch (const VastrelleError& e) {
        EXPECT_EQ(e.what(), expected);
    }
}

}  // namespace
