#include "cardtypes/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "RestrictedChild.h"
#include "TempDir.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VASTRELLE_TEST_DATA_DIR) / "settings";

class SettingsTest : public testing::Test {
protected:
    fs::path IniPath() const { return m_dir / kSettingsFileName; }

    TSettings ReadText(const std::string& text, const std::vector<std::string>& items = {}) {
        WriteFileBytes(IniPath(), text);
        return ReadSettings(m_dir.Path(), items);
    }

    std::string CannotWrite() const { return FormatMessage(msg::kCannotWrite, IniPath().string()); }

    // Runs WriteSettings in a restricted child; the text of what it threw, or "written".
    // The folder is opened to everyone so that only the permission under test refuses.
    std::string WriteInChild(const ChildRestrictions& restrictions) {
        fs::permissions(m_dir.Path(), fs::perms::all, fs::perm_options::add);
        return RunInChild(restrictions, [&] {
            WriteSettings(m_dir.Path(), "new", ViewChecks{false, true, false, false, false});
            return std::string("written");
        });
    }

    TempDir m_dir;
};

constexpr ViewChecks kDetailOnly = {true, false, false, false, false};

}  // namespace

TEST_F(SettingsTest, FirstRunLoadsTheFirstListedCardTypeInDetailView) {
    TSettings settings = ReadSettings(m_dir.Path(), {"b", "a"});
    EXPECT_EQ(settings.CardName, "b");
    EXPECT_EQ(settings.CheckedView, ViewItem::Detail);

    EXPECT_EQ(ReadSettings(m_dir.Path(), {}).CardName, "");
}

TEST_F(SettingsTest, RememberedNameIsUsedEvenWhenNotListed) {
    EXPECT_EQ(ReadText("[lastsetting]\r\ncardname=gone\r\n", {"a"}).CardName, "gone");
    EXPECT_EQ(ReadText("[lastsetting]\r\ncardname=\r\n", {"a", "b"}).CardName, "a");
    EXPECT_EQ(ReadText("[lastsetting]\r\ncardname=\r\n", {}).CardName, "");
}

TEST_F(SettingsTest, ReadsAFileTheProgramWroteBefore) {
    fs::copy_file(kFixtures / "legacy.ini", IniPath());
    TSettings settings = ReadSettings(m_dir.Path(), {"other"});
    EXPECT_EQ(settings.CardName, Sjis("ソード第1弾"));
    EXPECT_EQ(settings.CheckedView, ViewItem::TitleFrontImgLarge);
}

TEST_F(SettingsTest, ViewKeysFormOneRadioGroupReadInOrder) {
    struct Case {
        const char* layout;
        std::optional<ViewItem> view;
    };
    const Case cases[] = {
        {"", ViewItem::Detail},  // no layout section at all
        {"[layout]\r\n", ViewItem::Detail},
        {"[layout]\r\ntitle_frontimg=1\r\n", ViewItem::TitleFrontImg},
        {"[layout]\r\ndetail=1\r\ntitle_backimg_large=1\r\n", ViewItem::TitleBackImgLarge},
        {"[layout]\r\ntitle_backimg=1\r\ntitle_frontimg=1\r\n", ViewItem::TitleBackImg},
        {"[layout]\r\ndetail=true\r\n", ViewItem::Detail},
        {"[layout]\r\ndetail=0\r\ntitle_frontimg=yes\r\n", std::nullopt},
        {"[layout]\r\ndetail=2\r\n", ViewItem::Detail},
        {"[layout]\r\ndetail=-1\r\n", ViewItem::Detail},
        {"[layout]\r\ndetail=0x0\r\n", std::nullopt},
        {"[layout]\r\ndetail=0\r\ntitle_frontimg=$1\r\n", ViewItem::TitleFrontImg},
        {"[LAYOUT]\r\nDETAIL=0\r\nTitle_BackImg=1\r\n", ViewItem::TitleBackImg},
        {"[layout]\r\ndetail=0\r\ntitle_frontimg=0\r\ntitle_backimg=0\r\n"
         "title_frontimg_large=0\r\ntitle_backimg_large=0\r\n",
         std::nullopt},
        {"[layout]\r\ntitle_frontimg_large=1\r\ntitle_backimg_large=0\r\n",
         ViewItem::TitleFrontImgLarge},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadText(c.layout).CheckedView, c.view) << c.layout;
}

TEST_F(SettingsTest, LongCardNameIsCutAt2047Bytes) {
    const std::string name(3000, 'n');
    EXPECT_EQ(ReadText("[lastsetting]\r\ncardname=" + name + "\r\n").CardName,
              name.substr(0, 2047));
}

TEST_F(SettingsTest, UnreadableFileReadsAsDefaults) {
    fs::create_directory(IniPath());
    TSettings settings = ReadSettings(m_dir.Path(), {"a"});
    EXPECT_EQ(settings.CardName, "a");
    EXPECT_EQ(settings.CheckedView, ViewItem::Detail);
}

TEST_F(SettingsTest, FileWrittenFromNothing) {
    const std::string expected = Sjis(
        "[lastsetting]\r\ncardname=表ソ\r\n"
        "[layout]\r\ndetail=0\r\ntitle_frontimg=0\r\ntitle_backimg=0\r\n"
        "title_frontimg_large=0\r\ntitle_backimg_large=1\r\n");
    WriteSettings(m_dir.Path(), Sjis("表ソ"), ViewChecks{false, false, false, false, true});
    EXPECT_EQ(ReadFileBytes(IniPath()), expected);
    // Writing the same values again changes nothing.
    WriteSettings(m_dir.Path(), Sjis("表ソ"), ViewChecks{false, false, false, false, true});
    EXPECT_EQ(ReadFileBytes(IniPath()), expected);
}

TEST_F(SettingsTest, WritingKeepsEveryOtherLineByteForByte) {
    fs::copy_file(kFixtures / "edited.ini", IniPath());
    WriteSettings(m_dir.Path(), Sjis("表ソ"), ViewChecks{false, false, true, false, false});
    EXPECT_EQ(ReadFileBytes(IniPath()), ReadFileBytes(kFixtures / "edited.expected.ini"));
}

TEST_F(SettingsTest, WrittenSettingsReadBackTheSame) {
    const std::string names[] = {"", "plain", " leading blank", "\"quoted\"", Sjis("ソード第1弾")};
    for (const std::string& name : names) {
        for (std::size_t view = 0; view <= kViewItemCount; ++view) {
            ViewChecks checks{};
            if (view < kViewItemCount) checks[view] = true;
            WriteSettings(m_dir.Path(), name, checks);
            TSettings settings = ReadSettings(m_dir.Path(), {});
            EXPECT_EQ(settings.CardName, name);
            EXPECT_EQ(settings.CheckedView, view < kViewItemCount
                                                ? std::optional(static_cast<ViewItem>(view))
                                                : std::nullopt);
        }
    }
}

TEST_F(SettingsTest, WriteIntoAMissingFolderIsRefusedWithThePath) {
    WriteFileBytes(m_dir / "file", "x");
    const fs::path folder = m_dir / "file";
    try {
        WriteSettings(folder, "a", kDetailOnly);
        FAIL() << "no failure";
    } catch (const VastrelleError& e) {
        EXPECT_STREQ(
            e.what(),
            FormatMessage(msg::kCannotWrite, (folder / kSettingsFileName).string()).c_str());
        EXPECT_EQ(e.Kind(), MessageKind::FailureReport);
    }
}

TEST_F(SettingsTest, ReadOnlyFileIsRefusedAndKept) {
    const std::string before = "[lastsetting]\r\ncardname=old\r\n";
    WriteFileBytes(IniPath(), before);
    fs::permissions(IniPath(),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(WriteInChild(AsUnprivilegedUser()), "exception: " + CannotWrite());
    EXPECT_EQ(ReadFileBytes(IniPath()), before);
}

TEST_F(SettingsTest, ReadOnlyFolderIsRefusedAndLeavesNoFile) {
    fs::permissions(m_dir.Path(), fs::perms(0555));
    EXPECT_EQ(RunInChild(AsUnprivilegedUser(),
                         [&] {
                             WriteSettings(m_dir.Path(), "new", kDetailOnly);
                             return std::string("written");
                         }),
              "exception: " + CannotWrite());
    EXPECT_FALSE(fs::exists(IniPath()));
}

TEST_F(SettingsTest, FileThatCannotBeReadIsRefusedRatherThanReplaced) {
    const std::string before = "[other]\r\nkeep=me\r\n";
    WriteFileBytes(IniPath(), before);
    fs::permissions(IniPath(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
    EXPECT_EQ(WriteInChild(AsUnprivilegedUser()), "exception: " + CannotWrite());
    EXPECT_EQ(ReadFileBytes(IniPath()), before);
}

TEST_F(SettingsTest, FullDiskKeepsTheOldFileWhole) {
    fs::copy_file(kFixtures / "edited.ini", IniPath());
    EXPECT_EQ(WriteInChild(WithFileSizeLimit(100)), "exception: " + CannotWrite());
    EXPECT_EQ(ReadFileBytes(IniPath()), ReadFileBytes(kFixtures / "edited.ini"));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(SettingsTest, WindowPlacementHasASectionOfItsOwnAndReadsBack) {
    const TWindowPlacement placement{-8, 30, 640, 480};
    WriteSettings(m_dir.Path(), "Cards", kDetailOnly, TListLayout{}, placement);
    const std::string text = ReadFileBytes(IniPath());
    EXPECT_NE(text.find("[window]\r\nleft=-8\r\ntop=30\r\nwidth=640\r\nheight=480\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("[lastsetting]\r\ncardname=Cards\r\n[layout]\r\ndetail=1\r\n"), 0u);
    EXPECT_EQ(ReadWindowPlacement(m_dir.Path()), placement);
    EXPECT_EQ(ReadSettings(m_dir.Path(), {}).CardName, "Cards");
}

TEST_F(SettingsTest, MissingOrDamagedWindowPlacementReadsAsNone) {
    EXPECT_EQ(ReadWindowPlacement(m_dir.Path()), std::nullopt);
    for (const char* text :
         {"[window]\nleft=1\ntop=2\nwidth=300\n", "[window]\nleft=1\ntop=2\nwidth=0\nheight=200\n",
          "[window]\nleft=x\ntop=2\nwidth=300\nheight=200\n",
          "[window]\nleft=1\ntop=2\nwidth=999999\nheight=200\n"}) {
        WriteFileBytes(IniPath(), text);
        EXPECT_EQ(ReadWindowPlacement(m_dir.Path()), std::nullopt) << text;
    }
}
