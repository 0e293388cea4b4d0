// The list layout in setting.ini: a section of its own beside the specified ones.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "cardtypes/Settings.h"

namespace {

class ListLayoutTest : public testing::Test {
protected:
    std::filesystem::path IniPath() const { return m_dir / kSettingsFileName; }
    TempDir m_dir;
};

const ViewChecks kDetail = {true, false, false, false, false};

}  // namespace

TEST_F(ListLayoutTest, RoundTripsBesideTheSpecifiedSectionsAndLeavesThemAsTheyWere) {
    TListLayout layout;
    layout.SortColumn = 2;
    layout.SortDescending = true;
    layout.ColumnWidths = {80, 300, 120, 40};
    layout.MissingOnly = true;
    WriteSettings(m_dir.Path(), "cards", kDetail, layout);

    TListLayout read = ReadListLayout(m_dir.Path());
    EXPECT_EQ(read.SortColumn, 2);
    EXPECT_TRUE(read.SortDescending);
    EXPECT_EQ(read.ColumnWidths, (std::vector<int>{80, 300, 120, 40}));
    EXPECT_TRUE(read.MissingOnly);

    // The specified sections come first, byte for byte as the plain writer makes them, so a
    // reader that knows only them sees the same file.
    std::string withLayout = ReadFileBytes(IniPath());
    TempDir plain;
    WriteSettings(plain.Path(), "cards", kDetail);
    std::string specified = ReadFileBytes(plain / kSettingsFileName);
    ASSERT_EQ(withLayout.rfind(specified, 0), 0u) << withLayout;
    EXPECT_EQ(withLayout.substr(specified.size()),
              "[list]\r\nsortcolumn=2\r\nsortdescending=1\r\ncolumnwidths=80,300,120,40\r\n"
              "missingonly=1\r\n");
    EXPECT_EQ(ReadSettings(m_dir.Path(), {}).CardName, "cards");

    // Writing the plain settings later keeps the layout section.
    WriteSettings(m_dir.Path(), "other", kDetail);
    EXPECT_EQ(ReadListLayout(m_dir.Path()).ColumnWidths, (std::vector<int>{80, 300, 120, 40}));
}

TEST_F(ListLayoutTest, MissingOrDamagedValuesReadAsDefaults) {
    TListLayout none = ReadListLayout(m_dir.Path());
    EXPECT_EQ(none.SortColumn, -1);
    EXPECT_FALSE(none.SortDescending);
    EXPECT_TRUE(none.ColumnWidths.empty());
    EXPECT_FALSE(none.MissingOnly);

    WriteFileBytes(IniPath(),
                   "[LIST]\r\nsortcolumn=-7\r\ncolumnwidths=100,abc,100,50\r\nmissingonly=yes\r\n");
    TListLayout damaged = ReadListLayout(m_dir.Path());
    EXPECT_EQ(damaged.SortColumn, -1);
    EXPECT_TRUE(damaged.ColumnWidths.empty());
    EXPECT_FALSE(damaged.MissingOnly);

    WriteFileBytes(IniPath(), "[list]\r\ncolumnwidths=100,0,100,50\r\n");
    EXPECT_TRUE(ReadListLayout(m_dir.Path()).ColumnWidths.empty());
    WriteFileBytes(IniPath(), "[list]\r\ncolumnwidths=100,99999999,100,50\r\n");
    EXPECT_TRUE(ReadListLayout(m_dir.Path()).ColumnWidths.empty());
    WriteFileBytes(IniPath(), "[list]\r\ncolumnwidths=\r\nsortcolumn=0x1\r\n");
    EXPECT_TRUE(ReadListLayout(m_dir.Path()).ColumnWidths.empty());
    EXPECT_EQ(ReadListLayout(m_dir.Path()).SortColumn, 1);
}
