// import-table and merge as a user runs them: a dry run writes nothing, refused rows fail the
// command after the others are taken.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

TEST(CliChecklistTest, ImportTableAndMergeWithAndWithoutDryRun) {
    TempDir program;
    const std::string checklist =
        (fs::path(VASTRELLE_TEST_DATA_DIR) / "checklists" / "spreadsheet-cp932.csv").string();
    const std::string p = program.Path().string();

    const CliResult dry = RunCli("import-table '" + p + "' set '" + checklist + "' --dry-run");
    EXPECT_EQ(dry.exitCode, 0) << dry.output;
    EXPECT_NE(dry.output.find("新規 10 枚、変更 0 枚、変更なし 0 枚"), std::string::npos);
    EXPECT_FALSE(fs::exists(program / "set"));

    ASSERT_EQ(RunCli("import-table '" + p + "' set '" + checklist + "'").exitCode, 0);
    WriteFileBytes(program / "more.tsv", "番号\t所持\n002\tY\n011\t\n012\t?\n");
    const TreeSnapshot before = SnapshotTree(program / "set");
    const CliResult preview =
        RunCli("merge '" + p + "/set' '" + p + "/more.tsv' --dry-run --encoding utf-8");
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(program / "set")), "");
    EXPECT_NE(preview.output.find("新規 1 枚、変更 1 枚、変更なし 0 枚"), std::string::npos)
        << preview.output;

    const CliResult merged = RunCli("merge '" + p + "/set' '" + p + "/more.tsv'");
    EXPECT_EQ(merged.exitCode, 1);
    EXPECT_NE(merged.output.find("4 行目: 所持の値「?」を読めません"), std::string::npos)
        << merged.output;
    TCardInfos cards;
    ReadCardList(program / "set" / kCardListFileName, cards);
    ASSERT_EQ(cards.size(), 11u);
    EXPECT_TRUE(cards[1].Owned);
    EXPECT_EQ(cards[10].Number, "011");

    EXPECT_EQ(RunCli("merge '" + p + "/set' x --columns number,rarity").exitCode, 2);
}
