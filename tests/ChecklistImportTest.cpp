// Checklists as collectors bring them, imported into new card types and merged into loaded ones;
// the writes under a failure at every file-system step.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "SaveLeftovers.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardExport.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "checklist/ChecklistImport.h"
#include "files/FileOps.h"
#include "files/PendingFile.h"
#include "files/VastrelleError.h"
#include "save/CardStore.h"

namespace fs = std::filesystem;

namespace {

const fs::path kChecklists = fs::path(VASTRELLE_TEST_DATA_DIR) / "checklists";

TChecklistRows RowsOfFile(const fs::path& file) {
    const TTable table = ReadTableFile(file, {});
    return ChecklistRowsOf(table, GuessMapping(table));
}

TChecklistRows RowsOfText(const std::string& utf8) {
    const TTable table = ReadTableText(utf8, {});
    return ChecklistRowsOf(table, GuessMapping(table));
}

TCardInfos CardsOf(const fs::path& cardTypeFolder) {
    TCardInfos cards;
    ReadCardList(cardTypeFolder / kCardListFileName, cards);
    return cards;
}

TCardInfo Card(const char* number, const char* title, bool owned = false,
               const char* comment = "") {
    return {"", "", Sjis(number), Sjis(title), owned, Sjis(comment)};
}

}  // namespace

// The user changes nothing: the rarity column is ignored as no header name maps it.
TEST(ChecklistImportTest, TheFourChecklistsImportIntoTheSameTenCards) {
    TempDir program;
    std::optional<TCardInfos> first;
    for (const char* file : {"spreadsheet-cp932.csv", "online-sheet-utf8.csv",
                             "unicode-text-utf16.txt", "web-page-paste.txt"}) {
        const TChecklistRows rows = RowsOfFile(kChecklists / file);
        EXPECT_TRUE(rows.Refused.empty()) << file;
        ImportChecklistAsCardType(program.Path(), file, rows);
        TCardInfos cards = CardsOf(program / file);
        ASSERT_EQ(cards.size(), 10u) << file;
        EXPECT_EQ(cards[2].Number, "003") << file;
        EXPECT_EQ(cards[2].Title, Sjis("雷の竜王 ex")) << file;
        const bool hasOwned = std::string_view(file) != "web-page-paste.txt";
        for (std::size_t i = 0; i < cards.size(); ++i) {
            const bool owned = i == 0 || i == 2 || i == 6 || i == 9;
            EXPECT_EQ(cards[i].Owned, hasOwned && owned) << file << " card " << i;
            EXPECT_EQ(cards[i].Comment, "") << file;
            cards[i].Owned = false;
        }
        if (!first) first = cards;
        EXPECT_EQ(cards, *first) << file;
    }
}

TEST(ChecklistImportTest, AnExportedCardTypeImportsIntoTheSameCardListByteForByte) {
    TempDir program;
    TCardInfos cards = {
        {"a.jpg", "b.jpeg", "001", Sjis("表, \"引用\" & <x>"), true, Sjis("二行\r\nの;コメント\t")},
        {"", "", " 002 ", Sjis("ＳＰ-2"), false, ""},
        {"", "", "", "", false, ""},  // an empty card between others
        {"", "", "001", Sjis("同じ番号"), true, Sjis("●")},
        {"c.jpg", "", "@#38;", "[%*]", false, "\"quoted\""},
    };
    cards[0].Count = 3;  // copies and the want mark come back through 枚数 and 欲しい
    cards[1].Want = true;
    CreateCardType(program.Path(), "original");
    WriteCardList(cards, program / "original");
    WriteFileBytes(program / "export.csv", CardsCsvText(cards));

    ImportChecklistAsCardType(program.Path(), "imported", RowsOfFile(program / "export.csv"));
    EXPECT_EQ(ReadFileBytes(program / "imported" / kCardListFileName),
              ReadFileBytes(program / "original" / kCardListFileName));
}

TEST(ChecklistImportTest, MergeUpdatesMatchedCardsAppendsTheRestAndRefusesAmbiguousRows) {
    TempDir program;
    CreateCardType(program.Path(), "t");
    const fs::path folder = program / "t";
    TCardInfos before = {Card("001", "A", false, "kept"),
                         Card("ＳＰ-2", "B", true),
                         Card("005", "E"),
                         Card("005", "E2"),
                         Card("010", "J", true),
                         Card("", "no number")};
    before[1].FrontImageFileName = "sp.jpg";
    SaveCards(folder, before);

    const TChecklistPlan plan = MergeChecklist(
        folder, RowsOfText("No.,タイトル,所持,表画像\n"
                           " 001 ,A,1,\n"          // trimmed: owned turns on, comment kept
                           "sp-2,,,x.jpg\n"        // width and case folded: empty owned is not
                           "005,X,1,\n"            // two cards 005: refused
                           "001,A2,0,\n"           // 001 again: refused
                           "010,J,○,\n"            // unchanged
                           "009,新しい,Y,n.jpg\n"  // appended, with its picture name
                           ",no number,,\n"));     // no number never matches: appended
    // A merge dates what it makes owned.
    TCardInfos expected = before;
    SetOwned(expected[0], true, TodayText());
    expected[1].Owned = false;  // sp.jpg stays: pictures are not a merge's to change
    expected.push_back(Card("009", "新しい", true));
    expected.back().Acquired = TodayText();
    expected.back().FrontImageFileName = "n.jpg";
    expected.push_back(Card("", "no number"));
    EXPECT_EQ(CardsOf(folder), expected);
    EXPECT_EQ(plan.New, 2u);
    EXPECT_EQ(plan.Changed, 2u);
    EXPECT_EQ(plan.Unchanged, 1u);
    EXPECT_EQ(plan.NewlyOwned, std::vector<std::size_t>{0});
    EXPECT_EQ(plan.ChangedCards, (std::vector<std::size_t>{0, 1}));
    ASSERT_EQ(plan.Refused.size(), 2u);
    EXPECT_EQ(RefusalText(plan.Refused[0]),
              "4 行目: 番号「005」のカードが複数あるため、どれを更新するか決められません");
    EXPECT_EQ(RefusalText(plan.Refused[1]),
              "5 行目: 番号「001」のカードは 2 行目で取り込み済みです");
}

// Every file-system call of both imports made to fail in turn: each either fails with every file
// as it was, or (a temporary file's removal) succeeds leaving a leftover the next save removes.
TEST(ChecklistImportTest, AFailureAtAnyStepLeavesTheCardTypeAsItWas) {
    const std::string csv = "No.,タイトル,所持\n001,changed,1\n100,new,0\n";
    struct Scenario {
        const char* name;
        std::function<void(const fs::path& program)> run;
    };
    const std::vector<Scenario> scenarios = {
        {"merge", [&](const fs::path& p) { MergeChecklist(p / "t", RowsOfText(csv)); }},
        {"new card type",
         [&](const fs::path& p) { ImportChecklistAsCardType(p, "new", RowsOfText(csv)); }},
    };
    for (const Scenario& scenario : scenarios) {
        long calls = 0;
        TreeSnapshot after;
        for (long n = 0; n == 0 || n <= calls; ++n) {
            TempDir program(MemoryTempBase());
            CreateCardType(program.Path(), "t");
            SaveCards(program / "t", {Card("001", "old"), Card("002", "kept", true)});
            const TreeSnapshot before = SnapshotTree(program.Path());
            n == 0 ? fileops::testing::Watch() : fileops::testing::FailCall(n, EIO);
            bool threw = false;
            try {
                scenario.run(program.Path());
            } catch (const VastrelleError&) {
                threw = true;
            }
            const bool failed = fileops::testing::Failed();
            if (n == 0) calls = fileops::testing::CallCount();
            const std::string where = std::string(scenario.name) + ", call " + std::to_string(n);
            fileops::testing::Reset();
            if (n == 0) {
                after = SnapshotTree(program.Path());
                continue;
            }
            ASSERT_TRUE(failed) << where;
            if (threw) {
                EXPECT_EQ(TreeDifferences(before, SnapshotTree(program.Path())), "") << where;
                continue;
            }
            // What a failed removal left is taken away as the next save would.
            for (const auto& entry : fs::directory_iterator(program.Path()))
                if (fs::exists(entry.path() / kCardListFileName)) RemoveSaveLeftovers(entry.path());
            const TreeSnapshot now = SnapshotTree(program.Path());
            // The history names its versions by time: compare what the user sees.
            EXPECT_EQ(CardsOf(program / (scenario.name[0] == 'm' ? "t" : "new")).size(),
                      scenario.name[0] == 'm' ? 3u : 2u)
                << where;
            EXPECT_EQ(now.size(), after.size()) << where;
        }
        EXPECT_GT(calls, 3) << scenario.name;
    }
}
