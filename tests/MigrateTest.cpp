// Renaming card type folders and pictures copied from Windows with Shift_JIS names.
#include "cardtypes/Migrate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "CliRun.h"
#include "RestrictedChild.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

// Bytes that are neither UTF-8 nor Shift_JIS: 0x85 0x40 is an unassigned code.
const std::string kNeitherName = "\x85\x40.jpg";

class MigrateTest : public testing::Test {
protected:
    // A card type folder copied from Windows: its name and its pictures' names in CP932.
    fs::path AddWindowsCardType(const std::string& utf8Name,
                                const std::vector<std::string>& utf8Pictures) {
        const fs::path folder = m_dir / Sjis(utf8Name);
        fs::create_directories(folder / kImageFolderName);
        TCardInfos cards(1);
        for (const std::string& picture : utf8Pictures) {
            WriteFileBytes(folder / kImageFolderName / Sjis(picture), "picture " + picture);
            cards[0].FrontImageFileName = Sjis(picture);
        }
        WriteCardList(cards, folder);
        return folder;
    }

    TempDir m_dir;
};

TEST_F(MigrateTest, RenamesShiftJisFolderAndPicturesToUtf8AndTheyAreListed) {
    const fs::path old = AddWindowsCardType("城めぐり", {"表.jpg", "表.thm"});
    fs::create_directories(m_dir / "plain" / kImageFolderName);
    WriteFileBytes(m_dir / "plain" / kCardListFileName, EmptyCardListText());
    const std::string cardList = ReadFileBytes(old / kCardListFileName);
    EXPECT_EQ(ListCardTypes(m_dir.Path()), std::vector<std::string>{"plain"});

    std::vector<TCardTypeMigration> plans = PlanMigration(m_dir.Path());
    ASSERT_EQ(plans.size(), 1u);  // the UTF-8 card type needs nothing
    ASSERT_TRUE(plans[0].CanRename());
    ASSERT_EQ(plans[0].Renames.size(), 3u);
    EXPECT_EQ(plans[0].Renames.back().To, m_dir / "城めぐり");  // the folder goes last
    ApplyMigration(plans[0]);

    const fs::path renamed = m_dir / "城めぐり";
    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(ReadFileBytes(renamed / kImageFolderName / "表.jpg"), "picture 表.jpg");
    EXPECT_TRUE(fs::exists(renamed / kImageFolderName / "表.thm"));
    // Only the names on disk change: the card list names its pictures in CP932 already.
    EXPECT_EQ(ReadFileBytes(renamed / kCardListFileName), cardList);
    EXPECT_EQ(ListCardTypes(m_dir.Path()), (std::vector<std::string>{"plain", Sjis("城めぐり")}));
    EXPECT_TRUE(PlanMigration(m_dir.Path()).empty());
}

TEST_F(MigrateTest, CardTypeWithAConflictOrAnUnconvertibleNameIsLeftWhole) {
    // The new folder name is taken already.
    const fs::path taken = AddWindowsCardType("重複", {"一.jpg"});
    fs::create_directory(m_dir / "重複");
    // A picture name that is no Shift_JIS either keeps its whole card type as it is.
    const fs::path odd = AddWindowsCardType("奇妙", {"二.jpg"});
    WriteFileBytes(odd / kImageFolderName / kNeitherName, "x");
    // Two pictures whose new name is the same as an existing one.
    const fs::path clash = m_dir / "clash";
    fs::create_directories(clash / kImageFolderName);
    WriteFileBytes(clash / kCardListFileName, EmptyCardListText());
    WriteFileBytes(clash / kImageFolderName / Sjis("三.jpg"), "old bytes");
    WriteFileBytes(clash / kImageFolderName / "三.jpg", "utf-8 twin");
    const TreeSnapshot before = SnapshotTree(m_dir.Path());

    std::vector<TCardTypeMigration> plans = PlanMigration(m_dir.Path());
    ASSERT_EQ(plans.size(), 3u);
    for (const TCardTypeMigration& plan : plans) {
        EXPECT_FALSE(plan.CanRename()) << plan.Folder;
        EXPECT_THROW(ApplyMigration(plan), VastrelleError);
    }
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_dir.Path())), "");
    EXPECT_TRUE(fs::is_directory(taken) && fs::is_directory(odd));
}

TEST_F(MigrateTest, FailedRenameUndoesTheRenamesBeforeIt) {
    const fs::path old = AddWindowsCardType("途中", {"a表.jpg", "b裏.jpg"});
    // Pictures can be renamed, but the folder itself cannot: the program folder is read-only.
    fs::permissions(old / kImageFolderName, fs::perms::all);
    fs::permissions(m_dir.Path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    std::string result = RunInChild(AsUnprivilegedUser(), [&] {
        std::vector<TCardTypeMigration> plans = PlanMigration(m_dir.Path());
        if (plans.size() != 1 || !plans[0].CanRename()) return std::string("bad plan");
        try {
            ApplyMigration(plans[0]);
            return std::string("renamed");
        } catch (const VastrelleError& error) {
            return std::string(error.what());
        }
    });
    fs::permissions(m_dir.Path(), fs::perms::owner_all);
    EXPECT_NE(result.find("の名前を変更できません"), std::string::npos) << result;
    EXPECT_TRUE(fs::exists(old / kImageFolderName / Sjis("a表.jpg")));
    EXPECT_TRUE(fs::exists(old / kImageFolderName / Sjis("b裏.jpg")));
    EXPECT_FALSE(fs::exists(old / kImageFolderName / "a表.jpg"));
}

TEST_F(MigrateTest, HiddenFoldersAndFoldersWithoutCardListAreLeftAlone) {
    fs::create_directories(m_dir / Sjis("メモ") / kImageFolderName);  // no cardlist.dat
    fs::create_directories(m_dir / ("." + Sjis("隠し")) / kImageFolderName);
    WriteFileBytes(m_dir / ("." + Sjis("隠し")) / kCardListFileName, EmptyCardListText());
    EXPECT_TRUE(PlanMigration(m_dir.Path()).empty());
    EXPECT_TRUE(PlanMigration(m_dir / "missing").empty());
}

TEST(MigrateNames, Utf8CheckAndEscapes) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("城.jpg"));
    EXPECT_FALSE(IsValidUtf8(Sjis("城.jpg")));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xE3\x81"));      // cut short
    EXPECT_EQ(EscapedName(Sjis("表") + "/城\\a\n"), "\\x95\\x5c/城\\x5ca\\x0a");
}

TEST_F(MigrateTest, CommandPrintsRenamesDryRunChangesNothingAndUnconvertibleExitsOne) {
    AddWindowsCardType("表", {"表.jpg"});
    const TreeSnapshot before = SnapshotTree(m_dir.Path());
    const std::string folder = "'" + m_dir.Path().string() + "'";

    CliResult dry = RunCli("migrate " + folder + " --dry-run");
    EXPECT_EQ(dry.exitCode, 0) << dry.output;
    EXPECT_NE(dry.output.find("\\x95\\x5c/image/\\x95\\x5c.jpg -> \\x95\\x5c/image/表.jpg"),
              std::string::npos)
        << dry.output;
    EXPECT_NE(dry.output.find("\\x95\\x5c -> 表\n"), std::string::npos) << dry.output;
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_dir.Path())), "");

    CliResult real = RunCli("migrate " + folder);
    EXPECT_EQ(real.exitCode, 0) << real.output;
    EXPECT_TRUE(fs::exists(m_dir / "表" / kImageFolderName / "表.jpg"));

    const fs::path odd = AddWindowsCardType("奇妙", {});
    WriteFileBytes(odd / kImageFolderName / kNeitherName, "x");
    CliResult failed = RunCli("migrate " + folder);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(
        failed.output.find("変換できない名前: " + EscapedName(Sjis("奇妙")) + "/image/\\x85@.jpg"),
        std::string::npos)
        << failed.output;
    EXPECT_TRUE(fs::exists(odd));
    EXPECT_EQ(RunCli("migrate").exitCode, 2);
}

}  // namespace
