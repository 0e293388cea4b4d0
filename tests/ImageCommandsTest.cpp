// vastrelle-cli thumbnails and check.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "TempDir.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

namespace {

const fs::path kPhoto = fs::path(VASTRELLE_TEST_DATA_DIR) / "images" / "photo.jpg";

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class ImageCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(m_images); }
    void Cards(const TCardInfos& cards) { WriteCardList(cards, m_temp.Path()); }
    void Picture(const std::string& name) { fs::copy_file(kPhoto, m_images / name); }

    TempDir m_temp;
    fs::path m_images = m_temp / "image";
};

TCardInfo Card(const std::string& number, const std::string& front, const std::string& back = "") {
    TCardInfo card;
    card.Number = number;
    card.FrontImageFileName = front;
    card.BackImageFileName = back;
    return card;
}

}  // namespace

TEST_F(ImageCommandsTest, ThumbnailsMakesBothFilesOrReportsTheDecoderError) {
    Picture("写真.jpg");
    CliResult run = RunCli("thumbnails " + Quoted(m_images) + " 写真.jpg");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(fs::is_regular_file(m_images / "写真.thm"));
    EXPECT_TRUE(fs::is_regular_file(m_images / "写真.thm_large"));

    WriteFileBytes(m_images / "text.jpg", "not a picture");
    run = RunCli("thumbnails " + Quoted(m_images) + " text.jpg");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "JPEG エラー #53\n");
    EXPECT_EQ(RunCli("thumbnails " + Quoted(m_images)).exitCode, 2);
}

TEST_F(ImageCommandsTest, CheckReportsMissingFilesAndOrphansAndRepairsThumbnails) {
    Cards({Card("1", "a.jpg", Sjis("裏.jpg")), Card("2", "c.jpg"), Card("3", "../x.jpg"),
           Card("4", "c.jpg")});
    Picture("a.jpg");
    Picture("c.jpg");
    ASSERT_EQ(RunCli("thumbnails " + Quoted(m_images) + " a.jpg").exitCode, 0);
    WriteFileBytes(m_images / "old.jpg", "left by a deleted card");
    fs::create_directory(m_images / "folder");

    CliResult run = RunCli("check " + Quoted(m_temp.Path()));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output,
              "missing picture: 裏.jpg (card 1, back)\n"
              "missing thumbnail: c.thm_large (picture c.jpg)\n"
              "missing thumbnail: c.thm (picture c.jpg)\n"
              "missing picture: ../x.jpg (card 3, front)\n"
              "orphan: old.jpg\n");
    EXPECT_FALSE(fs::exists(m_images / "c.thm"));

    run = RunCli("check " + Quoted(m_temp.Path()) + " --repair");
    EXPECT_EQ(run.exitCode, 1);  // the missing pictures and the orphan stay
    EXPECT_NE(run.output.find("repaired: c.jpg\n"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(m_images / "c.thm"));
    EXPECT_TRUE(fs::is_regular_file(m_images / "c.thm_large"));

    Cards({Card("1", "a.jpg"), Card("2", "c.jpg", "old.jpg")});
    fs::remove(m_images / "c.thm");
    run = RunCli("check " + Quoted(m_temp.Path()) + " --repair");
    EXPECT_EQ(run.exitCode, 1) << "old.jpg is not a picture, so its thumbnails cannot be made";
    EXPECT_NE(run.output.find("cannot repair old.jpg: JPEG エラー #"), std::string::npos);
    WriteFileBytes(m_images / "old.jpg", ReadFileBytes(kPhoto));
    run = RunCli("check " + Quoted(m_temp.Path()) + " --repair");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    run = RunCli("check " + Quoted(m_temp.Path()));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
}

TEST_F(ImageCommandsTest, CheckFailsOnAMissingCardList) {
    const CliResult run = RunCli("check " + Quoted(m_temp / "none"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("は開けません"), std::string::npos);
    EXPECT_EQ(RunCli("check " + Quoted(m_temp.Path()) + " --fix").exitCode, 2);
}

TEST_F(ImageCommandsTest, CheckRepairsEmptyOrBrokenThumbnailsAndLeavesTemporaryFilesAlone) {
    Cards({Card("1", "a.jpg"), Card("2", "b.jpg")});
    Picture("a.jpg");
    Picture("b.jpg");
    ASSERT_EQ(RunCli("thumbnails " + Quoted(m_images) + " a.jpg").exitCode, 0);
    ASSERT_EQ(RunCli("thumbnails " + Quoted(m_images) + " b.jpg").exitCode, 0);
    const std::string good = ReadFileBytes(m_images / "a.thm");
    WriteFileBytes(m_images / "a.thm", "");  // a power cut before the data reached the disk
    WriteFileBytes(m_images / "b.thm_large", good.substr(0, good.size() / 2));
    WriteFileBytes(m_images / ".vastrelle-Ab12Cd", "a killed save's temporary file");

    CliResult run = RunCli("check " + Quoted(m_temp.Path()));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output,
              "broken thumbnail: a.thm (picture a.jpg)\n"
              "broken thumbnail: b.thm_large (picture b.jpg)\n");
    run = RunCli("check " + Quoted(m_temp.Path()) + " --repair");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(ReadFileBytes(m_images / "a.thm"), good);
    EXPECT_EQ(RunCli("check " + Quoted(m_temp.Path())).output, "");
}

TEST_F(ImageCommandsTest, CheckFailsWhenItCannotListTheImageFolder) {
    Cards({Card("1", "")});
    fs::remove(m_images);
    const CliResult run = RunCli("check " + Quoted(m_temp.Path()));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find((m_images).string() + " は開けません"), std::string::npos)
        << run.output;
}
