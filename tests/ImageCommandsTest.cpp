// vastrelle-cli thumbnails and check.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "CardList.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

const fs::path kPhoto = fs::path(VASTRELLE_TEST_DATA_DIR) / "images" / "photo.jpg";

struct TRun {
    int ExitCode = -1;
    std::string Output;
};

TRun RunCli(const std::string& arguments) {
    TRun run;
    std::FILE* pipe = popen((std::string(VASTRELLE_CLI) + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.Output.append(buffer, n);
    const int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

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
    TRun run = RunCli("thumbnails " + Quoted(m_images) + " 写真.jpg");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_TRUE(fs::is_regular_file(m_images / "写真.thm"));
    EXPECT_TRUE(fs::is_regular_file(m_images / "写真.thm_large"));

    WriteFileBytes(m_images / "text.jpg", "not a picture");
    run = RunCli("thumbnails " + Quoted(m_images) + " text.jpg");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Output, "JPEG エラー #53\n");
    EXPECT_EQ(RunCli("thumbnails " + Quoted(m_images)).ExitCode, 2);
}

TEST_F(ImageCommandsTest, CheckReportsMissingFilesAndOrphansAndRepairsThumbnails) {
    Cards({Card("1", "a.jpg", Sjis("裏.jpg")), Card("2", "c.jpg"), Card("3", "../x.jpg"),
           Card("4", "c.jpg")});
    Picture("a.jpg");
    Picture("c.jpg");
    ASSERT_EQ(RunCli("thumbnails " + Quoted(m_images) + " a.jpg").ExitCode, 0);
    WriteFileBytes(m_images / "old.jpg", "left by a deleted card");
    fs::create_directory(m_images / "folder");

    TRun run = RunCli("check " + Quoted(m_temp.Path()));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Output,
              "missing picture: 裏.jpg (card 1, back)\n"
              "missing thumbnail: c.thm_large (picture c.jpg)\n"
              "missing thumbnail: c.thm (picture c.jpg)\n"
              "missing picture: ../x.jpg (card 3, front)\n"
              "orphan: old.jpg\n");
    EXPECT_FALSE(fs::exists(m_images / "c.thm"));

    run = RunCli("check " + Quoted(m_temp.Path()) + " --repair");
    EXPECT_EQ(run.ExitCode, 1);  // the missing pictures and the orphan stay
    EXPECT_NE(run.Output.find("repaired: c.jpg\n"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(m_images / "c.thm"));
    EXPECT_TRUE(fs::is_regular_file(m_images / "c.thm_large"));

    Cards({Card("1", "a.jpg"), Card("2", "c.jpg", "old.jpg")});
    fs::remove(m_images / "c.thm");
    run = RunCli("check " + Quoted(m_temp.Path()) + " --repair");
    EXPECT_EQ(run.ExitCode, 1) << "old.jpg is not a picture, so its thumbnails cannot be made";
    EXPECT_NE(run.Output.find("cannot repair old.jpg: JPEG エラー #"), std::string::npos);
    WriteFileBytes(m_images / "old.jpg", ReadFileBytes(kPhoto));
    run = RunCli("check " + Quoted(m_temp.Path()) + " --repair");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    run = RunCli("check " + Quoted(m_temp.Path()));
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output, "");
}

TEST_F(ImageCommandsTest, CheckFailsOnAMissingCardList) {
    const TRun run = RunCli("check " + Quoted(m_temp / "none"));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Output.find("は開けません"), std::string::npos);
    EXPECT_EQ(RunCli("check " + Quoted(m_temp.Path()) + " --fix").ExitCode, 2);
}
