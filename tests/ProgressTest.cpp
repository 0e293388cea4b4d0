#include <gtest/gtest.h>

#include "CliRun.h"
#include "TempDir.h"
#include "cardlist/Progress.h"

TEST(ProgressTest, DatesAreCheckedAsCalendarDays) {
    for (const char* good : {"2026-12-09", "2024-02-29", "2000-02-29", "1999-12-31"})
        EXPECT_TRUE(IsAcquiredDate(good)) << good;
    for (const char* bad : {"", "2026-12-9", "2026/12/09", "2026-13-01", "2026-00-10", "2026-04-31",
                            "2025-02-29", "1900-02-29", "2026-12-0a", "2026-12-09 "})
        EXPECT_FALSE(IsAcquiredDate(bad)) << bad;
}

TEST(ProgressTest, OneCumulativeLinePerDayWithUndatedCardsCountedFromTheStart) {
    // Out of order as a file may hold them; two undated (one hand-edited) start the count at 2.
    TCardProgress progress = ComputeProgress({{"2026-03-01", 4},
                                              {"", 0},
                                              {"2026-01-15", 7},
                                              {"2026-03-01", 2},
                                              {"2026-3-1", 5},
                                              {"2026-02-10", 1}},
                                             10);
    EXPECT_EQ(progress.Owned, 6u);
    EXPECT_EQ(progress.Undated, 2u);
    EXPECT_EQ(ProgressText(progress),
              "2026-01-15\t3\t3/10[30%]\n"
              "2026-02-10\t4\t4/10[40%]\n"
              "2026-03-01\t6\t6/10[60%]\n");
    // Newest first; within a day the card later in the file first.
    ASSERT_EQ(progress.Recent.size(), 4u);
    EXPECT_EQ(progress.Recent[0].CardIndex, 4u);
    EXPECT_EQ(progress.Recent[1].CardIndex, 2u);
    EXPECT_EQ(progress.Recent[3].CardIndex, 7u);
}

TEST(ProgressTest, RecentListIsCappedAndEmptyInputGivesNoLines) {
    std::vector<TAcquisition> owned;
    for (std::size_t i = 0; i < 30; ++i)
        owned.push_back({"2026-01-" + std::to_string(10 + i % 20), i});
    TCardProgress progress = ComputeProgress(owned, 30);
    EXPECT_EQ(progress.Recent.size(), kRecentAcquisitions);
    EXPECT_EQ(progress.Days.size(), 20u);
    EXPECT_EQ(progress.Days.back().Owned, 30u);
    EXPECT_EQ(ProgressText(ComputeProgress({}, 0)), "");
}

// The command reads the dates from the card list file; an owned card without one counts from the
// start, a missing file is a failure.
TEST(ProgressTest, CommandPrintsOneLinePerDayFromTheCardListFile) {
    auto card = [](const char* number, bool owned, const char* acquired) {
        std::string item = "    <carditem>\r\n        <number>" + std::string(number) +
                           "</number>\r\n        <title></title>\r\n"
                           "        <imagefilename1></imagefilename1>\r\n"
                           "        <imagefilename2></imagefilename2>\r\n        <exist>" +
                           (owned ? "Y" : "N") + "</exist>\r\n        <comment></comment>\r\n";
        if (*acquired) item += "        <acquired>" + std::string(acquired) + "</acquired>\r\n";
        return item + "    </carditem>\r\n";
    };
    TempDir dir;
    WriteFileBytes(dir / "cardlist.dat",
                   "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<cardlist>\r\n" +
                       card("1", true, "2026-01-05") + card("2", true, "") +
                       card("3", true, "2026-02-01") + card("4", false, "") +
                       card("5", true, "2026-01-05") + "</cardlist>\r\n");
    CliResult result = RunCli("progress " + dir.Path().string());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "2026-01-05\t3\t3/5[60%]\n2026-02-01\t4\t4/5[80%]\n");
    EXPECT_EQ(RunCli("progress " + (dir / "none").string()).exitCode, 1);
}
