// A folder of scans matched to cards by the numbers in the file names, and attached as one save.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "cardlist/CardListIdentity.h"
#include "cardtypes/CardTypes.h"
#include "files/VastrelleError.h"
#include "pictures/CardImages.h"
#include "save/CardHistory.h"
#include "scans/ScanAttach.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";

class ScanFolderTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_image);
        fs::create_directories(m_scans);
    }

    TScanPlan Plan(const TCardInfos& cards, TScanOptions options = {}) {
        return PlanScans(cards, m_image, m_scans, options);
    }

    // "023 front", "023 back", "new 100 front", "kept 023 front" or "refused: reason" for the
    // one file of the scan folder.
    std::string OutcomeOf(const TScanPlan& plan) {
        for (const auto* list : {&plan.Cards, &plan.NewCards})
            for (const TScanCard& card : *list)
                for (auto [side, word] : {std::pair{&card.Front, " front"}, {&card.Back, " back"}})
                    if (side->File)
                        return std::string(card.CardIndex ? "" : "new ") +
                               (side->Taken || !card.CardIndex ? "" : "kept ") +
                               cp932::ToUtf8Lossy(card.Number) + word;
        return plan.Refused.empty() ? "nothing" : "refused: " + plan.Refused.front().Reason;
    }

    TempDir m_dir;
    fs::path m_folder = m_dir / "type";
    fs::path m_image = m_folder / "image";
    fs::path m_scans = m_dir / "scans";
};

TCardInfo Card(const char* number, const std::string& front = "") {
    return {front, "", Sjis(number), "t", false, ""};
}

}  // namespace

TEST_F(ScanFolderTest, FileNamesNameTheCardAndSide) {
    const TCardInfos cards = {Card("023"), Card("SV-2"), Card("007"), Card("7"), Card("B-05")};
    const std::pair<const char*, const char*> table[] = {
        {"023.jpg", "023 front"},
        {"023.jpeg", "023 front"},
        {"023_b.jpg", "023 back"},
        {"023-back.jpg", "023 back"},
        {"023 BACK.jpg", "023 back"},
        {"023_裏.jpg", "023 back"},
        {"023裏.jpg", "023 back"},
        {"023_2.jpg", "023 back"},
        {"023-ura.jpg", "023 back"},
        {"023_表.jpg", "023 front"},
        {"023_f.jpg", "023 front"},
        {"023_1.jpg", "023 front"},
        {"23.jpg", "023 front"},      // leading zeros removed on both sides
        {"0023_b.jpg", "023 back"},   //
        {"SV-2.jpg", "SV-2 front"},   // a card's whole number wins over the side word
        {"SV-2_b.jpg", "SV-2 back"},  //
        {"7.jpg", "7 front"},         // exact before leading zeros
        {"07.jpg", "refused: この番号のカードが複数あります"},
        {"B-5.jpg", "new B-5 front"},    // zeros lead digits only at the start
        {"023b.jpg", "new 023b front"},  // a side word needs its separator
        {"100_b.jpg", "new 100 back"},
        {"023.JPG", "refused: 拡張子が .jpg / .jpeg ではありません"},
        {"023.png", "refused: 拡張子が .jpg / .jpeg ではありません"},
        {"023_é.jpg", "refused: 名前の「é」は Shift_JIS で保存できません"},
        {".023.jpg", "nothing"},  // hidden files are not scans
    };
    for (const auto& [file, expected] : table) {
        fs::remove_all(m_scans);
        fs::create_directories(m_scans);
        WriteFileBytes(m_scans / file, "x");
        EXPECT_EQ(OutcomeOf(Plan(cards, {.Create = true})), expected) << file;
    }
}

// The checks of a drop, pictures a card has already, and scans that would share thumbnails.
TEST_F(ScanFolderTest, TheChecksOfADropAndKeptPictures) {
    const TCardInfos cards = {Card("1", "1.jpg"), Card("2"), Card("3", "gone.jpg")};
    WriteFileBytes(m_image / "1.jpg", "old");
    WriteFileBytes(m_image / "other.jpg", "another card's");
    for (const char* file : {"1.jpg", "2.jpg", "2_b.jpeg", "2_b.jpg", "other.jpg", "gone.jpg"})
        WriteFileBytes(m_scans / file, "x");

    TScanPlan plan = Plan(cards);
    ASSERT_EQ(plan.Cards.size(), 2u);
    EXPECT_FALSE(plan.Cards[0].Front.Taken);  // card 1 keeps its picture
    EXPECT_TRUE(plan.Cards[1].Front.Taken);
    EXPECT_TRUE(plan.Cards[1].Back.Taken);
    ASSERT_EQ(plan.NewCards.size(), 2u);  // "gone" and "other", not made without Create
    EXPECT_FALSE(plan.NewCards[0].Front.Taken);
    std::vector<std::string> refused;
    for (const TScanRefusal& refusal : plan.Refused)
        refused.push_back(refusal.File.filename().string() + ": " + refusal.Reason);
    EXPECT_EQ(refused, (std::vector<std::string>{
                           "2_b.jpg: 同じカードの同じ面の画像がほかにあります",
                       }));

    plan = Plan(cards, {.Create = true, .Replace = true});
    EXPECT_TRUE(plan.Cards[0].Front.Taken);
    refused.clear();
    for (const TScanRefusal& refusal : plan.Refused)
        refused.push_back(refusal.File.filename().string() + ": " + refusal.Reason);
    EXPECT_EQ(refused, (std::vector<std::string>{
                           "2_b.jpg: 同じカードの同じ面の画像がほかにあります",
                           "gone.jpg: ほかのカードの画像と同じ名前です",
                           "other.jpg: 画像フォルダに同じ名前の画像があります",
                       }));
}

TEST_F(ScanFolderTest, AttachIsOneSaveThatUndoTakesBack) {
    WriteCardList({Card("1"), Card("2")}, m_folder);
    const std::string before = ReadFileBytes(m_folder / kCardListFileName);
    fs::copy_file(kImages / "photo.jpg", m_scans / "01.jpg");
    fs::copy_file(kImages / "gray.jpg", m_scans / "1_b.jpg");
    fs::copy_file(kImages / "cmyk.jpg", m_scans / "5.jpg");

    const TAttachResult result = AttachScans(m_folder, m_scans, {.Create = true});
    ASSERT_TRUE(result.Written);
    TCardInfos cards;
    ReadCardList(m_folder / kCardListFileName, cards);
    EXPECT_EQ(cards, result.Cards.Cards);
    EXPECT_EQ(result.Cards.Identity, CardListIdentityOf(m_folder / kCardListFileName));
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(cards[0].FrontImageFileName, "01.jpg");
    EXPECT_EQ(cards[0].BackImageFileName, "1_b.jpg");
    EXPECT_EQ(cards[2].Number, "5");
    EXPECT_FALSE(cards[2].Owned);
    EXPECT_EQ(ReadFileBytes(m_image / "01.jpg"), ReadFileBytes(kImages / "photo.jpg"));
    EXPECT_EQ(
        ReadFileBytes(m_image / "5.thm_large"),
        MakeThumbnailFiles(ReadFileBytes(kImages / "cmyk.jpg"), nullptr, m_image, "5.jpg").Large);

    Undo(m_folder);
    EXPECT_EQ(ReadFileBytes(m_folder / kCardListFileName), before);
    EXPECT_FALSE(fs::exists(m_image / "01.jpg"));
}

TEST_F(ScanFolderTest, ABrokenScanOrACancelWritesNothing) {
    WriteCardList({Card("1"), Card("2")}, m_folder);
    fs::copy_file(kImages / "photo.jpg", m_scans / "1.jpg");
    WriteFileBytes(m_scans / "2.jpg", "not a JPEG");
    try {
        AttachScans(m_folder, m_scans, {});
        ADD_FAILURE() << "attached a file that is not a JPEG";
    } catch (const VastrelleError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("2.jpg: JPEG エラー #")) << e.what();
    }
    EXPECT_TRUE(fs::is_empty(m_image));

    const TScanPlan plan = Plan({Card("1")});
    TScanProgress progress;
    progress.Cancel = true;
    EXPECT_FALSE(PrepareScans(plan.TakenFiles(), 2, &progress));
    EXPECT_TRUE(fs::is_empty(m_image));
}

TEST_F(ScanFolderTest, CommandLinePrintsThePlanAndWritesOnlyWithoutDryRun) {
    WriteCardList({Card("1"), Card("2")}, m_folder);
    fs::copy_file(kImages / "photo.jpg", m_scans / "1.jpg");
    fs::copy_file(kImages / "gray.jpg", m_scans / "7_b.jpg");
    WriteFileBytes(m_scans / "2.png", "x");
    const std::string args = m_folder.string() + " " + m_scans.string();
    const TreeSnapshot before = SnapshotTree(m_folder);

    const CliResult dry = RunCli("attach " + args + " --create --dry-run");
    EXPECT_EQ(dry.exitCode, 0);
    EXPECT_EQ(dry.output,
              "card\t1\tt\tfront 1.jpg\n"
              "new\t7\t\tback 7_b.jpg\n"
              "refused\t2.png\t拡張子が .jpg / .jpeg ではありません\n"
              "would attach 2 picture(s)\n");
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_folder)), "");

    const CliResult real = RunCli("attach " + args);
    EXPECT_EQ(real.exitCode, 0);
    EXPECT_TRUE(
        real.output.ends_with("unmatched\t7\t\tback 7_b.jpg\n"
                              "refused\t2.png\t拡張子が .jpg / .jpeg ではありません\n"
                              "attached 1 picture(s)\n"))
        << real.output;
    EXPECT_EQ(RunCli("attach " + args + " --bogus").exitCode, 2);
}
