// vastrelle-cli history, restore, undo, redo and check --remove-orphans, and the card commands
// kept in the history like the program's.
#include <gtest/gtest.h>

#include <regex>

#include "CliRun.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class CliHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_type / "image");
        fs::create_directories(m_scans / "other");
        WriteCardList({}, m_type);
        fs::copy_file(kImages / "photo.jpg", m_scans / "a.jpg");
        fs::copy_file(kImages / "gray.jpg", m_scans / "other" / "a.jpg");
    }

    CliResult Run(const std::string& command, const std::string& rest = "") {
        return RunCli(command + " " + Quoted(m_type) + (rest.empty() ? "" : " " + rest));
    }
    TreeSnapshot Visible() const {
        TreeSnapshot snapshot = SnapshotTree(m_type);
        std::erase_if(snapshot, [](const auto& entry) { return entry.first.starts_with("."); });
        return snapshot;
    }

    TempDir m_dir{MemoryTempBase()};
    fs::path m_type = m_dir / "type";
    fs::path m_scans = m_dir / "scans";
};

}  // namespace

TEST_F(CliHistoryTest, HistoryListsEveryVersionNewestFirstAndRestoreBringsOneBack) {
    ASSERT_EQ(Run("add", "--number 1 --owned --front " + Quoted(m_scans / "a.jpg")).exitCode, 0);
    const TreeSnapshot registered = Visible();
    ASSERT_EQ(Run("add", "--number 2").exitCode, 0);
    ASSERT_EQ(Run("edit", "1 --front " + Quoted(m_scans / "other" / "a.jpg")).exitCode, 0);
    ASSERT_EQ(Run("remove", "2").exitCode, 0);

    CliResult run = Run("history");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::regex line(R"((\d+)\t\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t(.*))");
    std::vector<std::string> statuses;
    std::vector<int> versions;
    std::istringstream lines(run.output);
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        versions.push_back(std::stoi(match[1]));
        statuses.push_back(match[2]);
    }
    // The empty list the card type had, then each command.
    EXPECT_EQ(statuses,
              (std::vector<std::string>{"1/1[100%]", "1/2[50%]", "1/2[50%]", "1/1[100%]", "0/0"}));
    EXPECT_TRUE(std::is_sorted(versions.rbegin(), versions.rend()));

    run = Run("restore", std::to_string(versions[3]));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(TreeDifferences(registered, Visible()), "") << "the first picture is back";
    ASSERT_EQ(Run("undo").exitCode, 0);
    EXPECT_EQ(RunCli("status " + Quoted(m_type)).output, "1/1[100%]\n");
    EXPECT_EQ(ReadFileBytes(m_type / "image" / "a.jpg"), ReadFileBytes(m_scans / "other/a.jpg"));
    ASSERT_EQ(Run("redo").exitCode, 0);
    EXPECT_EQ(TreeDifferences(registered, Visible()), "");
}

TEST_F(CliHistoryTest, WriteIsUndoneAndWrongRequestsAreRefused) {
    WriteFileBytes(m_dir / "cards.json", R"([{"number": "7"}])");
    ASSERT_EQ(RunCli("write " + Quoted(m_type), (m_dir / "cards.json").string()).exitCode, 0);
    ASSERT_EQ(Run("undo").exitCode, 0);
    EXPECT_EQ(RunCli("status " + Quoted(m_type)).output, "0/0\n");

    CliResult run = Run("redo");
    ASSERT_EQ(run.exitCode, 0);
    run = Run("redo");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "やり直せる変更はありません\n");
    EXPECT_EQ(Run("restore", "99").output, "版 99 は履歴にありません\n");
    EXPECT_EQ(Run("restore", "x").exitCode, 2);
    EXPECT_EQ(Run("undo", "extra").exitCode, 2);
    EXPECT_EQ(RunCli("history " + Quoted(m_dir / "none")).output, "");
}

TEST_F(CliHistoryTest, CheckRemovesOrphansIntoTheHistoryAndUndoPutsThemBack) {
    ASSERT_EQ(Run("add", "--number 1 --front " + Quoted(m_scans / "a.jpg")).exitCode, 0);
    ASSERT_EQ(Run("remove", "1").exitCode, 0);
    const TreeSnapshot before = Visible();
    CliResult run = Run("check");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "orphan: a.jpg\norphan: a.thm\norphan: a.thm_large\n");
    run = Run("check", "--remove-orphans");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output,
              "removed orphan: a.jpg\nremoved orphan: a.thm\nremoved orphan: a.thm_large\n");
    EXPECT_TRUE(fs::is_empty(m_type / "image"));
    EXPECT_EQ(Run("check").output, "");
    ASSERT_EQ(Run("undo").exitCode, 0);
    EXPECT_EQ(TreeDifferences(before, Visible()), "");
    EXPECT_EQ(Run("check", "--remove-orphans --bad").exitCode, 2);
}
