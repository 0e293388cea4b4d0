// Orphans: the files of an image folder that no card names, with the thumbnails that belong to
// them, and their removal into the history, which undo takes back.
#include "pictures/Orphans.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "files/VastrelleError.h"
#include "save/CardHistory.h"
#include "save/CardStore.h"

namespace fs = std::filesystem;

namespace {

const std::string kPhoto =
    ReadFileBytes(fs::path(VASTRELLE_TEST_DATA_DIR) / "images" / "photo.jpg");

class OrphansTest : public ::testing::Test {
protected:
    // Card 1 names a.jpg and x.jpg; x.jpeg shares x.jpg's thumbnails; old.jpg was a deleted
    // card's picture, with its thumbnails; lone.thm lost its picture; notes.txt is any file.
    void SetUp() override {
        fs::create_directories(m_image / "folder");
        WriteCardList({{"a.jpg", "x.jpg", "1", "", false, ""}}, m_folder);
        for (const char* file : {"a.jpg", "a.thm", "a.thm_large", "x.jpg", "x.thm", "x.thm_large",
                                 "x.jpeg", "old.jpg", "old.thm", "old.thm_large", "lone.thm",
                                 "lone.thm_large", "notes.txt", ".vastrelle-Ab12Cd"})
            WriteFileBytes(m_image / file, std::string("bytes of ") + file);
    }

    TempDir m_dir{MemoryTempBase()};
    fs::path m_folder = m_dir / "type";
    fs::path m_image = m_folder / "image";
};

std::vector<std::string> Names(const std::vector<TOrphan>& orphans) {
    std::vector<std::string> names;
    for (const TOrphan& orphan : orphans) names.push_back(orphan.Name);
    return names;
}

}  // namespace

TEST_F(OrphansTest, OrphansComeWithTheirThumbnailsAndNamedFilesAreNone) {
    const std::vector<TOrphan> orphans = ListOrphans(m_folder);
    EXPECT_EQ(Names(orphans),
              (std::vector<std::string>{"lone.thm", "notes.txt", "old.jpg", "x.jpeg"}));
    EXPECT_EQ(orphans[0].Files, (std::vector<fs::path>{"lone.thm", "lone.thm_large"}));
    EXPECT_EQ(orphans[2].Files, (std::vector<fs::path>{"old.jpg", "old.thm", "old.thm_large"}));
    EXPECT_EQ(orphans[3].Files, (std::vector<fs::path>{"x.jpeg"})) << "x.thm is x.jpg's";
}

TEST_F(OrphansTest, ChosenOrphansGoIntoTheHistoryAndUndoBringsThemBack) {
    const TreeSnapshot before = SnapshotTree(m_image);
    const std::string cardList = ReadFileBytes(m_folder / kCardListFileName);
    EXPECT_EQ(RemoveOrphans(m_folder, {"old.jpg", "lone.thm", "a.jpg", "nothing.jpg"}), 2u)
        << "a named picture and an unknown name are passed over";
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_image)),
              "removed lone.thm\nremoved lone.thm_large\nremoved old.jpg\nremoved old.thm\n"
              "removed old.thm_large\n");
    EXPECT_EQ(ReadFileBytes(m_folder / kCardListFileName), cardList);
    EXPECT_EQ(Names(ListOrphans(m_folder)), (std::vector<std::string>{"notes.txt", "x.jpeg"}));

    ASSERT_TRUE(CanUndo(m_folder));
    Undo(m_folder);
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_image)), "");
    Redo(m_folder);
    EXPECT_FALSE(fs::exists(m_image / "old.jpg"));
    EXPECT_EQ(RemoveOrphans(m_folder, {"zzz.jpg"}), 0u);
    EXPECT_FALSE(CanRedo(m_folder)) << "nothing to remove records nothing";
}

TEST_F(OrphansTest, AnUnreadableCardListOrImageFolderIsAFailure) {
    WriteFileBytes(m_folder / kCardListFileName, "<cardlist>");
    EXPECT_THROW(ListOrphans(m_folder), VastrelleError);
    EXPECT_THROW(RemoveOrphans(m_folder, {"old.jpg"}), VastrelleError);
    EXPECT_TRUE(fs::exists(m_image / "old.jpg"));
    WriteCardList({}, m_folder);
    fs::remove_all(m_image);
    EXPECT_THROW(ListOrphans(m_folder), VastrelleError);
}
