// vastrelle-cli add, edit and remove: the card dialog's checks and the card save from a script.
#include <gtest/gtest.h>

#include <cerrno>

#include "CliRun.h"
#include "Commands.h"
#include "FailureMessage.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"
#include "files/FileOps.h"
#include "pictures/CardImages.h"

namespace fs = std::filesystem;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class CliEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_scans);
        for (const char* name : {"photo.jpg", "gray.jpg", "cmyk.jpg"})
            fs::copy_file(kImages / name, m_scans / name);
        fs::copy_file(kImages / "photo.jpg", m_scans / "写真.jpg");
        fs::copy_file(kImages / "photo.jpg", m_scans / "scan.png");
        WriteFileBytes(m_scans / "text.jpg", "not a picture");
    }

    // A card type holding one card with photo.jpg in front and gray.jpg at the back.
    void MakeCardType() {
        fs::remove_all(m_type);
        fs::create_directories(m_type / "image");
        WriteCardList({}, m_type);
        ASSERT_EQ(Run("add " + Quoted(m_type) + " --number 1 --front " + Scan("photo.jpg") +
                      " --back " + Scan("gray.jpg"))
                      .exitCode,
                  0);
    }

    CliResult Run(const std::string& arguments) { return RunCli(arguments); }
    std::string Scan(const char* name) const { return Quoted(m_scans / name); }
    TCardInfos Cards() const {
        TCardInfos cards;
        ReadCardList(m_type / kCardListFileName, cards);
        return cards;
    }
    std::string Image(const std::string& name) const {
        return ReadFileBytes(m_type / "image" / name);
    }

    TempDir m_dir{MemoryTempBase()};
    fs::path m_scans = m_dir / "scans";
    fs::path m_type = m_dir / "type";
};

}  // namespace

TEST_F(CliEditTest, AddAppendsACardWithItsTextsAndCopiesItsPicturesWithThumbnails) {
    MakeCardType();
    const CliResult run = Run("add " + Quoted(m_type) +
                              " --number 'No.2' --title 'ソード & 盾' --comment '50%' --owned" +
                              " --front " + Scan("写真.jpg") + " --back " + Scan("cmyk.jpg"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const TCardInfos cards = Cards();
    ASSERT_EQ(cards.size(), 2u);
    TCardInfo added{Sjis("写真.jpg"), "cmyk.jpg", "No.2", Sjis("ソード & 盾"), false, "50%"};
    SetOwned(added, true, TodayText());  // owned from today
    EXPECT_EQ(cards[1], added);
    EXPECT_EQ(Image("写真.jpg"), ReadFileBytes(m_scans / "写真.jpg"));
    EXPECT_EQ(Image("cmyk.jpg"), ReadFileBytes(m_scans / "cmyk.jpg"));
    for (const char* thumbnail : {"写真.thm", "写真.thm_large", "cmyk.thm", "cmyk.thm_large"})
        EXPECT_TRUE(fs::is_regular_file(m_type / "image" / thumbnail)) << thumbnail;
}

TEST_F(CliEditTest, APictureTheDialogWouldRefuseIsRefusedWithItsReasonAndNothingChanges) {
    MakeCardType();
    const TreeSnapshot before = SnapshotTree(m_type);
    struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"add " + Quoted(m_type) + " --front " + Scan("photo.jpg"),
         "既に同じファイル名で登録されているので登録できません\n"},
        {"edit " + Quoted(m_type) + " 1 --back " + Scan("photo.jpg"),
         "既に同じファイル名で登録されているので登録できません\n"},
        {"add " + Quoted(m_type) + " --front " + Scan("scan.png"),
         (m_scans / "scan.png").string() +
             " は登録できません: 登録できる画像は拡張子が .jpg か .jpeg の JPEG ファイルです\n"},
        {"add " + Quoted(m_type) + " --front " + Scan("text.jpg"), "JPEG エラー #53\n"},
        {"add " + Quoted(m_type) + " --front " + Scan("none.jpg"),
         "ファイル " + (m_scans / "none.jpg").string() + " は開けません\n"},
        {"edit " + Quoted(m_type) + " 2 --title x", "2 番目のカードはありません\n"},
        {"remove " + Quoted(m_type) + " 2", "2 番目のカードはありません\n"},
        {"add " + Quoted(m_type) + " --title '\xF0\x9F\x83\x8F'",
         "「\xF0\x9F\x83\x8F」には Shift_JIS で表せない文字が含まれています\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const CliResult run = Run(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments;
        EXPECT_EQ(run.output, message) << arguments;
        EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_type)), "") << arguments;
    }
}

TEST_F(CliEditTest, EditKeepsWhatIsNotGivenAndReplacesOrRemovesSides) {
    MakeCardType();
    ASSERT_EQ(Run("edit " + Quoted(m_type) + " 1 --title 'new title' --owned").exitCode, 0);
    TCardInfo edited{"photo.jpg", "gray.jpg", "1", "new title", false, ""};
    SetOwned(edited, true, TodayText());
    EXPECT_EQ(Cards()[0], edited);

    // A file of the side's own picture's name replaces it, as after the dialog's Yes.
    fs::copy_file(m_scans / "cmyk.jpg", m_dir / "photo.jpg");
    CliResult run = Run("edit " + Quoted(m_type) + " 1 --not-owned --front " +
                        Quoted(m_dir / "photo.jpg") + " --no-back");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Cards()[0], (TCardInfo{"photo.jpg", "", "1", "new title", false, ""}));
    EXPECT_EQ(Image("photo.jpg"), ReadFileBytes(kImages / "cmyk.jpg"));
    EXPECT_FALSE(fs::exists(m_type / "image" / "gray.jpg"));
    EXPECT_FALSE(fs::exists(m_type / "image" / "gray.thm"));

    run = Run("remove " + Quoted(m_type) + " 1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Cards().empty());
    EXPECT_TRUE(fs::exists(m_type / "image" / "photo.jpg")) << "a removed card's pictures stay";
}

TEST_F(CliEditTest, ACardListThatDoesNotReadIsNeverWritten) {
    fs::create_directories(m_type / "image");
    const std::string broken = "<?xml version=\"1.0\"?>\r\n<cardlist><carditem>";
    WriteFileBytes(m_type / kCardListFileName, broken);
    for (const std::string& arguments :
         {"add " + Quoted(m_type) + " --title x", "edit " + Quoted(m_type) + " 1 --title x",
          "remove " + Quoted(m_type) + " 1"}) {
        EXPECT_EQ(Run(arguments).exitCode, 1) << arguments;
        EXPECT_EQ(ReadFileBytes(m_type / kCardListFileName), broken) << arguments;
    }
    EXPECT_EQ(Run("add " + Quoted(m_dir / "none") + " --title x").exitCode, 1);
    EXPECT_FALSE(fs::exists(m_dir / "none"));
}

TEST_F(CliEditTest, APictureMakesAMissingImageFolderAndAFolderForACardListIsRefused) {
    fs::create_directories(m_type);
    WriteFileBytes(m_dir / "empty.json", "[]");
    ASSERT_EQ(RunCli("write " + Quoted(m_type), (m_dir / "empty.json").string()).exitCode, 0);
    EXPECT_FALSE(fs::exists(m_type / "image")) << "made only when a picture needs it";
    const CliResult run = Run("add " + Quoted(m_type) + " --number 1 --front " + Scan("photo.jpg"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Image("photo.jpg"), ReadFileBytes(m_scans / "photo.jpg"));

    fs::remove(m_type / kCardListFileName);
    fs::create_directory(m_type / kCardListFileName);
    EXPECT_EQ(RunCli("write " + Quoted(m_type), (m_dir / "empty.json").string()).output,
              "カード種類フォルダ[cardlist.dat]の保存に失敗しました。\n");
}

TEST_F(CliEditTest, WrongArgumentsAreUsageErrors) {
    MakeCardType();
    for (const std::string& arguments :
         {std::string("add"), "add " + Quoted(m_type) + " --title", "add " + Quoted(m_type) + " x",
          "add " + Quoted(m_type) + " --no-front", "edit " + Quoted(m_type),
          "edit " + Quoted(m_type) + " first", "edit " + Quoted(m_type) + " 1 --owned --not-owned",
          "edit " + Quoted(m_type) + " 1 --no-front --front " + Scan("cmyk.jpg"),
          "remove " + Quoted(m_type), "remove " + Quoted(m_type) + " 1 2"}) {
        const CliResult run = Run(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments << ": " << run.output;
    }
}

// The three commands through the one card save: a failure at any file-system step leaves the
// card type as it was.
TEST_F(CliEditTest, AFailureAtAnyStepOfTheCommandsLeavesTheCardTypeAsItWas) {
    const std::string type = m_type.string();
    const std::vector<Args> commands = {
        {type, "--number", "2", "--front", (m_scans / "cmyk.jpg").string()},
        {type, "1", "--front", (m_scans / "cmyk.jpg").string(), "--no-back"},
        {type, "1"}};
    int (*const run[])(const Args&) = {CmdAdd, CmdEdit, CmdRemove};
    int points = 0;
    for (std::size_t c = 0; c < commands.size(); ++c) {
        MakeCardType();
        fileops::testing::Watch();
        run[c](commands[c]);
        const long calls = fileops::testing::CallCount();
        fileops::testing::Reset();
        for (long n = 1; n <= calls; ++n) {
            MakeCardType();
            const TreeSnapshot before = SnapshotTree(m_type);
            fileops::testing::FailCall(n, ENOSPC);
            const std::string message = MessageOf([&] { run[c](commands[c]); });
            const fileops::testing::TRecord failed = fileops::testing::Record().at(n - 1);
            fileops::testing::Reset();
            ++points;
            if (message == "no failure" && failed.Call == fileops::testing::TCall::Unlink)
                continue;  // a temporary file's removal (CardStoreTest covers what stays)
            // The flush after the history gave up a replaced copy (CardHistoryTest covers it).
            if (message == "no failure" &&
                failed.Path.starts_with((m_type / ".history").string() + "/") &&
                failed.Call != fileops::testing::TCall::Write &&
                failed.Call != fileops::testing::TCall::CreateUnique)
                continue;
            EXPECT_NE(message, "no failure") << c << ", call " << n;
            EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_type)), "") << c << ", call " << n;
        }
    }
    std::printf("failure points injected: %d\n", points);
}
