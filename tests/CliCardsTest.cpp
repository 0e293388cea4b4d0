#include <gtest/gtest.h>

#include "CliRun.h"
#include "TempDir.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"

namespace {

class CliCards : public ::testing::Test {
protected:
    void SetUp() override {
        TCardInfos cards(3);
        cards[0] = {"f.jpg", "", "1", Sjis("ピカ,\"チュウ\""), true, Sjis("初版\r\n")};
        cards[1] = {"", "", "2", Sjis("ライチュウ"), false, ""};
        cards[2] = {"", "b.jpg", "3", "Raichu", false, "x"};
        WriteCardList(cards, dir.Path());
    }
    std::string Dir() const { return dir.Path().string(); }
    TempDir dir;
};

TEST_F(CliCards, PrintsCardsStatusAndMissing) {
    CliResult cards = RunCli("cards " + Dir());
    EXPECT_EQ(cards.exitCode, 0);
    EXPECT_NE(cards.output.find(R"("number": "1",
    "title": "ピカ,\"チュウ\"",
    "comment": "初版\r\n",
    "owned": true,
    "front": "f.jpg",
    "back": "")"),
              std::string::npos)
        << cards.output;
    EXPECT_EQ(RunCli("status " + Dir()).output, "1/3[33%]\n");
    EXPECT_EQ(RunCli("missing " + Dir()).output, "2\tライチュウ\n3\tRaichu\n");
}

TEST_F(CliCards, ExportsCsvWithBom) {
    CliResult csv = RunCli("export " + Dir());
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.output,
              "\xEF\xBB\xBFNo.,タイトル,コメント,所持,表画像,裏画像,枚数,欲しい\r\n"
              "1,\"ピカ,\"\"チュウ\"\"\",\"初版\r\n\",●,f.jpg,,1,\r\n"
              "2,ライチュウ,,,,,,\r\n"
              "3,Raichu,x,,,b.jpg,,\r\n");
}

TEST_F(CliCards, WriteRoundTripsTheJsonOfCards) {
    WriteFileBytes(dir / "cards.json", RunCli("cards " + Dir()).output);
    std::string before = ReadFileBytes(dir / "cardlist.dat");
    EXPECT_EQ(RunCli("write " + Dir(), (dir / "cards.json").string()).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir / "cardlist.dat"), before);

    WriteFileBytes(dir / "partial.json", R"([{"title": "髙"}, {}])");
    EXPECT_EQ(RunCli("write " + Dir(), (dir / "partial.json").string()).exitCode, 0);
    EXPECT_EQ(RunCli("status " + Dir()).output, "0/2[0%]\n");
}

// Copies and wants through add and edit keep the owned mark and the acquired date in step, and
// the two lists and the JSON carry them.
TEST_F(CliCards, CopiesAndWantsFromAddAndEdit) {
    const std::string today = TodayText();
    struct Step {
        std::string arguments;
        std::size_t card;
        bool owned;
        int copies;
        bool dated;
    };
    const Step steps[] = {
        {"edit " + Dir() + " 2 --count 3", 1, true, 3, true},
        {"edit " + Dir() + " 2 --owned", 1, true, 3, true},
        {"edit " + Dir() + " 1 --count 0", 0, false, 0, false},
        {"add " + Dir() + " --number 4 --owned --want", 3, true, 1, true},
        {"add " + Dir() + " --number 5 --want", 4, false, 0, false},
        {"edit " + Dir() + " 4 --not-owned", 3, false, 0, false},
    };
    for (const Step& step : steps) {
        ASSERT_EQ(RunCli(step.arguments).exitCode, 0) << step.arguments;
        TCardInfos cards;
        ReadCardList(dir / kCardListFileName, cards);
        const TCardInfo& card = cards.at(step.card);
        EXPECT_EQ(card.Owned, step.owned) << step.arguments;
        EXPECT_EQ(Copies(card), step.copies) << step.arguments;
        EXPECT_EQ(card.Acquired, step.dated ? today : "") << step.arguments;
    }
    EXPECT_EQ(RunCli("spares " + Dir()).output, "2\tライチュウ\t2\n");
    EXPECT_EQ(RunCli("wants " + Dir()).output,
              "4\t\t欲しい\n5\t\t欲しい\n1\tピカ,\"チュウ\"\n3\tRaichu\n");
    EXPECT_EQ(RunCli("wants " + Dir() + " --csv").output.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(RunCli("status " + Dir()).output, "1/5[20%]\n");

    // The JSON of the cards writes back byte for byte, dates and all.
    WriteFileBytes(dir / "cards.json", RunCli("cards " + Dir()).output);
    std::string before = ReadFileBytes(dir / kCardListFileName);
    EXPECT_EQ(RunCli("write " + Dir(), (dir / "cards.json").string()).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir / kCardListFileName), before);
    for (const char* json : {R"([{"count": 10000}])", R"([{"count": 2, "owned": false}])",
                             R"([{"acquired": "2026-12-09"}])", R"([{"want": "Y"}])"}) {
        WriteFileBytes(dir / "bad.json", json);
        EXPECT_EQ(RunCli("write " + Dir(), (dir / "bad.json").string()).exitCode, 1) << json;
    }
    EXPECT_EQ(ReadFileBytes(dir / kCardListFileName), before);
    for (const char* arguments :
         {" --count", " --count -1", " --count 10000", " --count 2x", " --owned --count 0"})
        EXPECT_EQ(RunCli("add " + Dir() + arguments).exitCode, 2) << arguments;
}

TEST_F(CliCards, FailuresAndUsage) {
    WriteFileBytes(dir / "emoji.json", R"([{"title": "😀"}])");
    std::string before = ReadFileBytes(dir / "cardlist.dat");
    CliResult refused = RunCli("write " + Dir(), (dir / "emoji.json").string());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(dir / "cardlist.dat"), before);

    CliResult missing = RunCli("status " + (dir / "nowhere").string());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("は開けません"), std::string::npos);

    EXPECT_EQ(RunCli("status").exitCode, 2);
    EXPECT_EQ(RunCli("frobnicate").exitCode, 2);
    CliResult help = RunCli("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("export DIR"), std::string::npos);
}

}  // namespace
