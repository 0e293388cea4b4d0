#include "cardtypes/CardTypes.h"

#include <gtest/gtest.h>

#include <functional>

#include "RestrictedChild.h"
#include "TempDir.h"
#include "cardlist/CardList.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VASTRELLE_TEST_DATA_DIR) / "templates";

const char* KindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::FailureReport:
            return "report";
        case MessageKind::Warning:
            return "warning";
        case MessageKind::ErrorAbort:
            return "abort";
        case MessageKind::ErrorOk:
            return "error";
    }
    return "?";
}

// "ok", or the box kind and text of the failure.
std::string Outcome(const std::function<void()>& action) {
    try {
        action();
        return "ok";
    } catch (const VastrelleError& e) {
        return std::string(KindName(e.Kind())) + ": " + e.what();
    }
}

std::string Expected(MessageKind kind, const std::string& text) {
    return std::string(KindName(kind)) + ": " + text;
}

std::size_t EntryCount(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class CardTypesTest : public testing::Test {
protected:
    // A folder that would be listed, under its file-system name.
    fs::path MakeCardType(const std::string& fsName) {
        fs::path folder = m_dir / fsName;
        fs::create_directory(folder);
        WriteFileBytes(folder / kCardListFileName, EmptyCardListText());
        return folder;
    }

    std::string Create(const std::string& name) {
        return Outcome([&] { CreateCardType(m_dir.Path(), name); });
    }

    std::string Import(const std::string& name, const fs::path& templatePath) {
        return Outcome([&] { ImportTemplate(m_dir.Path(), name, templatePath); });
    }

    std::string ImportText(const std::string& name, const std::string& templateText) {
        const fs::path templatePath = m_templates / "t.template";
        WriteFileBytes(templatePath, templateText);
        return Import(name, templatePath);
    }

    TempDir m_dir;
    TempDir m_templates;
};

}  // namespace

TEST_F(CardTypesTest, ListsOnlyPlainFoldersHoldingACardListFile) {
    const fs::path good = MakeCardType("good");
    fs::create_directory(m_dir / "no list");
    fs::create_directories(m_dir / "list is a folder" / kCardListFileName);
    MakeCardType(".hidden");
    fs::create_directory_symlink(good, m_dir / "linked folder");
    fs::create_directory(m_dir / "linked list");
    fs::create_symlink(good / kCardListFileName, m_dir / "linked list" / kCardListFileName);
    WriteFileBytes(m_dir / "plain file", "x");
    MakeCardType("bad \\ name");
    MakeCardType("\xF0\x9F\x83\x8F");  // a playing card emoji: no CP932 form
    // U+301C has the CP932 code of U+FF5E, which would name another folder.
    MakeCardType("\xE3\x80\x9C");

    EXPECT_EQ(ListCardTypes(m_dir.Path()), std::vector<std::string>{"good"});
}

TEST_F(CardTypesTest, ListingIsSortedByCp932Bytes) {
    for (const char* name : {"漾", "ｱ", "腕", "a", "B", "\xEF\xBD\x9E"})  // the last is U+FF5E
        MakeCardType(name);
    // UTF-8 would order 漾 before ｱ; CP932 puts E0 40 after B1.
    EXPECT_EQ(ListCardTypes(m_dir.Path()),
              (std::vector<std::string>{"B", "a", Sjis("～"), Sjis("腕"), Sjis("ｱ"), Sjis("漾")}));
}

TEST_F(CardTypesTest, ReadOnlyFolderIsNotListed) {
    fs::permissions(m_dir.Path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(MakeCardType("read only"), fs::perms(0555));
    fs::permissions(MakeCardType("writable"), fs::perms(0777));
    std::string listed = RunInChild(AsUnprivilegedUser(), [&] {
        std::string names;
        for (const std::string& name : ListCardTypes(m_dir.Path())) names += name + "|";
        return names;
    });
    EXPECT_EQ(listed, "writable|");
}

TEST_F(CardTypesTest, MissingProgramFolderListsNothing) {
    EXPECT_TRUE(ListCardTypes(m_dir / "missing").empty());
}

TEST_F(CardTypesTest, CurrentPathsAreSetForANameAndEmptiedOtherwise) {
    CurrentCardTypePaths paths;
    EXPECT_FALSE(paths.IsSet());
    ASSERT_TRUE(paths.Set(m_dir.Path(), Sjis("ソード")));
    EXPECT_EQ(paths.CardTypeFolder(), m_dir / "ソード");
    EXPECT_EQ(paths.ImageFolder(), m_dir / "ソード" / "image");

    EXPECT_FALSE(paths.Set(m_dir.Path(), ""));
    EXPECT_TRUE(paths.CardTypeFolder().empty());
    EXPECT_TRUE(paths.ImageFolder().empty());

    ASSERT_TRUE(paths.Set(m_dir.Path(), "a"));
    EXPECT_FALSE(paths.Set(m_dir.Path(), "../outside"));
    EXPECT_FALSE(paths.IsSet());
}

TEST_F(CardTypesTest, NameCheckRefusesWhatCouldLeaveTheProgramFolder) {
    for (const std::string& name :
         {std::string("a"), std::string(" leading blank"), std::string("a..."), std::string("a.b"),
          Sjis("ソ"), Sjis("表"), Sjis("ｶｰﾄﾞ")})
        EXPECT_TRUE(IsValidCardTypeName(name)) << name;
    for (const std::string& name :
         {std::string(""), std::string("."), std::string(".."), std::string("..."),
          std::string(".hidden"), std::string("a/b"), std::string("/"), std::string("a\\b"),
          std::string("\\"), std::string("tab\there"), std::string("line\nbreak"),
          std::string("del\x7F"), std::string("nul\0x", 5), std::string("lone lead \x81"),
          std::string("\xA0"), std::string("\x81\x00", 2)})
        EXPECT_FALSE(IsValidCardTypeName(name)) << name;
}

TEST_F(CardTypesTest, CreateMakesFoldersAndAnEmptyCardList) {
    const std::string name = Sjis("ソード 第1弾");
    EXPECT_EQ(Create(name), "ok");
    const fs::path folder = m_dir / "ソード 第1弾";
    EXPECT_TRUE(fs::is_directory(folder / "image"));
    EXPECT_TRUE(fs::is_empty(folder / "image"));
    EXPECT_EQ(ReadFileBytes(folder / kCardListFileName), EmptyCardListText());
    EXPECT_EQ(EntryCount(folder), 2u);
    EXPECT_EQ(ListCardTypes(m_dir.Path()), std::vector<std::string>{name});
}

TEST_F(CardTypesTest, RefusedNamesCreateNothingAnywhere) {
    const fs::path program = m_dir / "program";
    fs::create_directory(program);
    for (const std::string& name :
         {std::string("."), std::string(".."), std::string(".hidden"), std::string("../out"),
          std::string("a/b"), std::string("a\\b"), std::string("x\x01"), std::string("\x81")}) {
        EXPECT_EQ(Outcome([&] { CreateCardType(program, name); }),
                  Expected(MessageKind::Warning, msg::kBadCardTypeName))
            << name;
        EXPECT_EQ(Outcome([&] { ImportTemplate(program, name, m_dir / "missing.template"); }),
                  Expected(MessageKind::Warning, msg::kBadCardTypeName))
            << name;
    }
    EXPECT_TRUE(fs::is_empty(program));
    EXPECT_EQ(EntryCount(m_dir.Path()), 1u);
}

TEST_F(CardTypesTest, ExistingFolderIsRefusedListedOrNot) {
    MakeCardType("listed");
    fs::create_directory(m_dir / "half made");
    for (const char* name : {"listed", "half made"}) {
        EXPECT_EQ(Create(name), Expected(MessageKind::Warning, msg::kCardTypeExists));
        // The existing folder is reported before the template is even looked at.
        EXPECT_EQ(Import(name, m_dir / "missing.template"),
                  Expected(MessageKind::Warning, msg::kCardTypeExists));
    }
    EXPECT_FALSE(fs::exists(m_dir / "half made" / "image"));
    EXPECT_FALSE(fs::exists(m_dir / "half made" / kCardListFileName));
    EXPECT_EQ(ReadFileBytes(m_dir / "listed" / kCardListFileName), EmptyCardListText());
}

TEST_F(CardTypesTest, FolderThatCannotBeMadeIsAnAbortError) {
    WriteFileBytes(m_dir / "taken", "a file");
    EXPECT_EQ(Create("taken"), Expected(MessageKind::ErrorAbort, msg::kCardTypeFolderFailed));
    EXPECT_EQ(ReadFileBytes(m_dir / "taken"), "a file");
    // Only one level is made: the program folder must exist.
    EXPECT_EQ(Outcome([&] { CreateCardType(m_dir / "missing", "a"); }),
              Expected(MessageKind::ErrorAbort, msg::kCardTypeFolderFailed));
    EXPECT_FALSE(fs::exists(m_dir / "missing"));
}

// A card type is built under a hidden name and renamed into place whole: whatever step fails,
// nothing is left and the name stays free.
TEST_F(CardTypesTest, ImageFolderFailureLeavesNothing) {
    fs::permissions(m_dir.Path(), fs::perms::all, fs::perm_options::add);
    // Folders the child makes are not writable to it, so the image folder cannot be made.
    ChildRestrictions restrictions = AsUnprivilegedUser();
    restrictions.umask = 0222;
    for (bool import : {false, true}) {
        const std::string name = import ? "imported" : "created";
        const fs::path templatePath = kFixtures / "mixed.template";
        EXPECT_EQ(RunInChild(restrictions,
                             [&] { return import ? Import(name, templatePath) : Create(name); }),
                  Expected(MessageKind::ErrorAbort, msg::kImageFolderFailed));
        EXPECT_EQ(EntryCount(m_dir.Path()), 0u);
        EXPECT_EQ(Create(name), "ok");
        fs::remove_all(m_dir / name);
    }
}

TEST_F(CardTypesTest, CardListFailureLeavesNothing) {
    for (bool import : {false, true}) {
        const std::string name = import ? "imported" : "created";
        EXPECT_EQ(
            RunInChild(
                WithFileSizeLimit(10),
                [&] { return import ? Import(name, kFixtures / "mixed.template") : Create(name); }),
            Expected(MessageKind::ErrorAbort, msg::kCardListCreateFailed));
        EXPECT_EQ(EntryCount(m_dir.Path()), 0u) << "no folder and no temporary file";
    }
}

TEST_F(CardTypesTest, TemplateLinesAreWrittenWithCrLf) {
    struct Case {
        std::string text;
        std::string written;
    };
    const Case cases[] = {
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb\r\n"},
        {"a\rb\r", "a\r\nb\r\n"},
        {"a\r\nb", "a\r\nb\r\n"},
        {"a\r\rb\n\nc", "a\r\n\r\nb\r\n\r\nc\r\n"},
        {"\n", "\r\n"},
        {"", ""},
        {std::string("a\nb\0c\nd", 7), "a\r\nb\r\n"},
        {std::string("\0a\n", 3), ""},
        {Sjis("表ソ\n\tx "), Sjis("表ソ\r\n\tx \r\n")},  // bytes taken as they are
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "t" + std::to_string(n++);
        ASSERT_EQ(ImportText(name, c.text), "ok");
        EXPECT_EQ(ReadFileBytes(m_dir / name / kCardListFileName), c.written) << name;
        EXPECT_TRUE(fs::is_directory(m_dir / name / "image"));
    }
}

TEST_F(CardTypesTest, ImportedTemplateIsAReadableCardList) {
    ASSERT_EQ(Import("mixed", kFixtures / "mixed.template"), "ok");
    const fs::path folder = m_dir / "mixed";
    EXPECT_EQ(ReadFileBytes(folder / kCardListFileName),
              ReadFileBytes(kFixtures / "mixed.expected.dat"));
    TCardInfos cards;
    ReadCardList(folder / kCardListFileName, cards);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].Title, Sjis("ソード表紙"));
}

TEST_F(CardTypesTest, EmptyTemplateGivesAListedEmptyCardType) {
    ASSERT_EQ(ImportText("empty", ""), "ok");
    EXPECT_EQ(ReadFileBytes(m_dir / "empty" / kCardListFileName), "");
    EXPECT_EQ(ListCardTypes(m_dir.Path()), std::vector<std::string>{"empty"});
    TCardInfos cards;
    ReadCardList(m_dir / "empty" / kCardListFileName, cards);
    EXPECT_TRUE(cards.empty());
}

TEST_F(CardTypesTest, UnreadableTemplateIsReportedAndLeavesNothing) {
    const fs::path missing = m_templates / "missing.template";
    EXPECT_EQ(Import("a", missing), Expected(MessageKind::FailureReport,
                                             FormatMessage(msg::kCannotOpen, missing.string())));
    EXPECT_EQ(EntryCount(m_dir.Path()), 0u);

    // A folder opens but cannot be read.
    EXPECT_EQ(Import("b", m_templates.Path()),
              Expected(MessageKind::FailureReport,
                       FormatMessage(msg::kCannotOpen, m_templates.Path().string())));
    EXPECT_EQ(EntryCount(m_dir.Path()), 0u);
}

TEST_F(CardTypesTest, ProposedNameDropsOnlyTheLastExtension) {
    EXPECT_EQ(ProposedCardTypeName("/t/x.y.template"), "x.y");
    EXPECT_EQ(ProposedCardTypeName("plain.template"), "plain");
    EXPECT_EQ(ProposedCardTypeName("/dir.v2/no dot"), "no dot");
    EXPECT_EQ(ProposedCardTypeName("/t/.template"), "");
    EXPECT_EQ(ProposedCardTypeName("/t/ソード.template"), Sjis("ソード"));
}

// What a killed create or import left under its hidden name goes at the next one, once it is
// old enough not to belong to a build running now.
TEST_F(CardTypesTest, HiddenFoldersOfKilledBuildsGoWhenTheyAreStale) {
    for (const char* leftover : {".create-Ab12Cd", ".import-Ef34Gh"}) {
        fs::create_directories(m_dir / leftover / kImageFolderName);
        WriteFileBytes(m_dir / leftover / kCardListFileName, EmptyCardListText());
    }
    fs::create_directories(m_dir / ".mine");
    EXPECT_EQ(Create("a"), "ok");
    EXPECT_EQ(EntryCount(m_dir.Path()), 4u) << "fresh ones may belong to a running build";
    fileops::testing::SetStaleAge(std::chrono::seconds(0));
    EXPECT_EQ(Create("b"), "ok");
    fileops::testing::SetStaleAge(std::chrono::minutes(1));
    EXPECT_FALSE(fs::exists(m_dir / ".create-Ab12Cd"));
    EXPECT_FALSE(fs::exists(m_dir / ".import-Ef34Gh"));
    EXPECT_TRUE(fs::exists(m_dir / ".mine"));
}
