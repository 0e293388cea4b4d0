// Counting every card type of a program folder, in the core and through `vastrelle-cli overview`.
#include <gtest/gtest.h>

#include <algorithm>

#include "CliRun.h"
#include "TempDir.h"
#include "cardlist/CardCount.h"
#include "cardlist/CardExport.h"
#include "cardlist/CardList.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

TCardInfos Cards(int count, int owned) {
    TCardInfos cards(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        cards[static_cast<std::size_t>(i)].Number = std::to_string(i + 1);
        cards[static_cast<std::size_t>(i)].Owned = i < owned;
    }
    return cards;
}

class CardCountTest : public testing::Test {
protected:
    void AddCardType(const std::string& utf8Name, const TCardInfos& cards) {
        fs::create_directories(m_dir / utf8Name / "image");
        WriteCardList(cards, m_dir / utf8Name);
    }
    TempDir m_dir;
};

}  // namespace

TEST_F(CardCountTest, CountsEveryCardTypeInListingOrderAndKeepsFailures) {
    AddCardType("b", Cards(3, 1));
    AddCardType("a", Cards(0, 0));
    AddCardType("ポケモン", Cards(100, 53));
    AddCardType("c", {});
    WriteFileBytes(m_dir / "c" / kCardListFileName, "<cardlist><carditem>");

    std::vector<TCardTypeCount> counts = CountCardTypes(m_dir.Path());
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_EQ(counts[0].Name, "a");
    EXPECT_TRUE(counts[0].Readable);
    EXPECT_EQ(counts[0].Count.Total, 0u);
    EXPECT_EQ(counts[1].Name, "b");
    EXPECT_EQ(counts[1].Count.Owned, 1u);
    EXPECT_EQ(counts[1].Count.Total, 3u);
    EXPECT_EQ(counts[2].Name, "c");
    EXPECT_FALSE(counts[2].Readable);
    EXPECT_FALSE(counts[2].Failure.empty());
    EXPECT_EQ(counts[3].Name, Sjis("ポケモン"));
    EXPECT_EQ(counts[3].Count.Owned, 53u);
    EXPECT_EQ(counts[3].Count.Total, 100u);
}

TEST_F(CardCountTest, OverviewCommandPrintsStatusLinesAndFailsAfterAllLines) {
    AddCardType("a", Cards(10, 3));
    AddCardType("b", {});
    AddCardType("z", Cards(5, 5));
    CliResult ok = RunCli("overview " + m_dir.Path().string());
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.output, "a\t3/10[30%]\nb\t0/0\nz\t5/5[100%]\n");

    WriteFileBytes(m_dir / "b" / kCardListFileName, "<cardlist><carditem>");
    CliResult broken = RunCli("overview " + m_dir.Path().string());
    EXPECT_EQ(broken.exitCode, 1);
    ASSERT_EQ(broken.output.rfind("a\t3/10[30%]\nb\t", 0), 0u) << broken.output;
    EXPECT_NE(broken.output.find("\nz\t5/5[100%]\n"), std::string::npos) << broken.output;
    TCardInfos ignored;
    try {
        ReadCardList(m_dir / "b" / kCardListFileName, ignored);
        FAIL() << "the broken file read";
    } catch (const VastrelleError& error) {
        EXPECT_NE(broken.output.find(std::string("b\t") + OneLine(error.what()) + "\n"),
                  std::string::npos)
            << broken.output;
    }

    EXPECT_EQ(std::count(broken.output.begin(), broken.output.end(), '\n'), 3);
    EXPECT_EQ(OneLine("first\r\nsecond\n\nthird\n"), "first / second / third");

    EXPECT_EQ(RunCli("overview").exitCode, 2);
    EXPECT_EQ(RunCli("overview " + (m_dir / "nowhere").string()).output, "");
}

TEST_F(CardCountTest, ExportsWriteTheCommandLineFormatsAndReplaceWhole) {
    TCardInfos cards = Cards(3, 1);
    cards[2].Title = Sjis("タイトル, \"引用\"");
    AddCardType("a", cards);
    EXPECT_EQ(MissingCardsText(cards), "2\t\n3\tタイトル, \"引用\"\n");
    EXPECT_EQ(CardsCsvText(cards), RunCli("export " + (m_dir / "a").string()).output);
    EXPECT_EQ(MissingCardsText(cards), RunCli("missing " + (m_dir / "a").string()).output);

    fs::path file = m_dir / "out.csv";
    WriteFileBytes(file, "an older and much longer export");
    WriteExportFile(file, CardsCsvText(cards));
    EXPECT_EQ(ReadFileBytes(file), CardsCsvText(cards));
    EXPECT_THROW(WriteExportFile(m_dir / "nowhere" / "out.csv", "x"), VastrelleError);
}
