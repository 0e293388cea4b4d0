#include <gtest/gtest.h>

#include "CliRun.h"
#include "TempDir.h"
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
              "\xEF\xBB\xBFNo.,タイトル,コメント,所持,表画像,裏画像\r\n"
              "1,\"ピカ,\"\"チュウ\"\"\",\"初版\r\n\",●,f.jpg,\r\n"
              "2,ライチュウ,,,,\r\n"
              "3,Raichu,x,,,b.jpg\r\n");
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
