// Full disks and refused writes: every writer of the core reports its message and leaves every
// file that was on disk byte for byte as it was, with no temporary file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <optional>
#include <set>

#include "FailureMessage.h"
#include "RestrictedChild.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Settings.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "pictures/CardImages.h"

namespace fs = std::filesystem;

namespace {

const fs::path kData = VASTRELLE_TEST_DATA_DIR;

TCardInfos ManyCards() {
    TCardInfos cards(40);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        cards[i].Number = std::to_string(i);
        cards[i].Title = Sjis("新しいカード & [" + std::to_string(i) + "]");
        cards[i].Owned = i % 2 == 0;
    }
    return cards;
}

enum class Fault { FileSizeLimit, ReadOnlyFolder, ReadOnlyFile };

// One writer, run in a child against a program folder P holding setting.ini and the card type
// "old" with its card list and a picture a.jpg with thumbnails.
struct Writer {
    const char* name;
    std::function<void(const fs::path& program)> run;
    std::function<std::string(const fs::path& program)> message;
    // Where a refused write is made: the folder, and the existing file it would replace (none
    // for writers that only make new files).
    fs::path folder;
    std::optional<fs::path> file;
    // File size limits at which a write is cut short, beyond the tiny ones every writer meets.
    std::vector<off_t> extraLimits;
    // The message when the folder is read-only, where it differs.
    std::optional<std::string> readOnlyFolderMessage;
};

std::string ImagePath(const fs::path& program, const char* name) {
    return (program / "old" / "image" / name).string();
}

std::string CannotCreate(const fs::path& program, const char* name) {
    return FormatMessage(msg::kCannotCreate, ImagePath(program, name));
}

const std::string kPhoto = ReadFileBytes(kData / "images" / "photo.jpg");

std::vector<Writer> Writers() {
    const fs::path image = fs::path("old") / "image";
    return {
        {"WriteCardList",
         [](const fs::path& p) { WriteCardList(ManyCards(), p / "old"); },
         [](const fs::path&) { return std::string(msg::kCardListSaveFailed); },
         "old",
         fs::path("old") / kCardListFileName,
         {static_cast<off_t>(CardListText(ManyCards()).size()) - 1},
         std::nullopt},
        {"CreateCardType",
         [](const fs::path& p) { CreateCardType(p, "new"); },
         [](const fs::path&) { return std::string(msg::kCardListCreateFailed); },
         ".",
         std::nullopt,
         {static_cast<off_t>(EmptyCardListText().size()) - 1},
         msg::kCardTypeFolderFailed},
        {"ImportTemplate",
         [](const fs::path& p) {
             ImportTemplate(p, "new", kData / "templates" / "mixed.template");
         },
         [](const fs::path&) { return std::string(msg::kCardListCreateFailed); },
         ".",
         std::nullopt,
         {200},
         msg::kCardTypeFolderFailed},
        {"StoreImage over a picture",
         [](const fs::path& p) { StoreImage(p / "old" / "image", kPhoto, "a.jpg"); },
         [](const fs::path& p) { return CannotCreate(p, "a.jpg"); },
         image,
         image / "a.jpg",
         {static_cast<off_t>(kPhoto.size()) - 1},
         std::nullopt},
        {"StoreImage of a new picture",
         [](const fs::path& p) { StoreImage(p / "old" / "image", kPhoto, "b.jpg"); },
         [](const fs::path& p) { return CannotCreate(p, "b.jpg"); },
         image,
         std::nullopt,
         {static_cast<off_t>(kPhoto.size()) - 1},
         std::nullopt},
        {"StoreImageSide under the same name",
         [](const fs::path& p) { StoreImageSide(p / "old" / "image", "a.jpg", kPhoto, "a.jpg"); },
         [](const fs::path& p) { return CannotCreate(p, "a.jpg"); },
         image,
         image / "a.jpg",
         {},
         std::nullopt},
        {"StoreImageSide under a new name",
         [](const fs::path& p) { StoreImageSide(p / "old" / "image", "a.jpg", kPhoto, "b.jpg"); },
         [](const fs::path& p) { return CannotCreate(p, "b.jpg"); },
         image,
         std::nullopt,
         {},
         std::nullopt},
        {"WriteSettings",
         [](const fs::path& p) {
             WriteSettings(p, Sjis("新しい種類"), ViewChecks{false, false, true, false, false});
         },
         [](const fs::path& p) {
             return FormatMessage(msg::kCannotWrite, (p / kSettingsFileName).string());
         },
         ".",
         fs::path(kSettingsFileName),
         {100},
         std::nullopt},
    };
}

// Thumbnails come after the picture: a limit the picture fits under fails at the large one.
constexpr off_t kPictureFitsThumbnailDoesNot = 10 * 1024 + 100;

class WriteFaultTest : public testing::Test {
protected:
    fs::path Program() const { return m_dir / "program"; }

    void MakeProgramFolder() {
        fs::remove_all(Program());
        fs::create_directories(Program() / "old" / "image");
        WriteFileBytes(Program() / kSettingsFileName,
                       "; kept\r\n[lastsetting]\r\ncardname=old\r\n[layout]\r\ndetail=1\r\n");
        WriteCardList({TCardInfo{"a.jpg", "", "1", "old card", true, ""}}, Program() / "old");
        WriteFileBytes(Program() / "old" / "image" / "a.jpg", kPhoto);
        MakeThumbnails(Program() / "old" / "image", "a.jpg");
        // The child may drop to an unprivileged user: only the fault under test refuses it.
        fs::permissions(m_dir.Path(), fs::perms::all, fs::perm_options::add);
        for (const auto& entry : fs::recursive_directory_iterator(Program()))
            fs::permissions(entry.path(), entry.is_directory() ? fs::perms::all : fs::perms(0666));
        fs::permissions(Program(), fs::perms::all);
    }

    // Runs the writer under the fault in a fresh program folder; the failure text, or "written".
    std::string RunFaulted(const Writer& writer, Fault fault, off_t limit = 0) {
        MakeProgramFolder();
        ChildRestrictions restrictions = AsUnprivilegedUser();
        if (fault == Fault::FileSizeLimit) restrictions.fileSizeLimit = limit;
        if (fault == Fault::ReadOnlyFolder)
            fs::permissions(Program() / writer.folder, fs::perms(0555));
        if (fault == Fault::ReadOnlyFile)
            fs::permissions(Program() / *writer.file, fs::perms(0444));
        const TreeSnapshot before = SnapshotTree(m_dir.Path());
        std::string result = RunInChild(restrictions, [&] {
            writer.run(Program());
            return std::string("written");
        });
        EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_dir.Path())), "")
            << writer.name << ", fault " << static_cast<int>(fault) << ", limit " << limit;
        ++m_faults;
        return result;
    }

    TempDir m_dir;
    int m_faults = 0;
};

}  // namespace

TEST_F(WriteFaultTest, EveryWriterReportsAndKeepsEveryFileUnderEveryFault) {
    for (const Writer& writer : Writers()) {
        const std::string expected = "exception: " + writer.message(Program());
        std::vector<off_t> limits = {0, 1, 16, 40};
        limits.insert(limits.end(), writer.extraLimits.begin(), writer.extraLimits.end());
        if (std::string(writer.name).starts_with("StoreImageSide"))
            limits.push_back(kPictureFitsThumbnailDoesNot);
        for (off_t limit : limits) {
            std::string result = RunFaulted(writer, Fault::FileSizeLimit, limit);
            // The side's thumbnails are written after its picture and are named after it.
            if (limit == kPictureFitsThumbnailDoesNot)
                EXPECT_TRUE(result.ends_with(".thm_large を作成できません")) << result;
            else
                EXPECT_EQ(result, expected) << writer.name << ", limit " << limit;
        }
        EXPECT_EQ(
            RunFaulted(writer, Fault::ReadOnlyFolder),
            writer.readOnlyFolderMessage ? "exception: " + *writer.readOnlyFolderMessage : expected)
            << writer.name;
        if (writer.file) {
            EXPECT_EQ(RunFaulted(writer, Fault::ReadOnlyFile), expected) << writer.name;
        }

        // Without a fault the same writer succeeds: the faults above are what refused it.
        MakeProgramFolder();
        EXPECT_EQ(RunInChild(AsUnprivilegedUser(),
                             [&] {
                                 writer.run(Program());
                                 return std::string("written");
                             }),
                  "written")
            << writer.name;
    }
    RecordProperty("faults", m_faults);
    std::printf("faults injected: %d, files found changed: 0 unless reported above\n", m_faults);
}

// Every step of every writer, the flushes of the folders included, is a failure when it fails:
// none is reported as success. Only the removal of a temporary file may fail unseen.
TEST_F(WriteFaultTest, EveryWriterReportsAFailureAtEveryStepItsFoldersFlushesIncluded) {
    int points = 0;
    for (const Writer& writer : Writers()) {
        if (std::string(writer.name).starts_with("StoreImage")) continue;  // CardStoreTest
        MakeProgramFolder();
        fileops::testing::Watch();
        writer.run(Program());
        const long calls = fileops::testing::CallCount();
        std::set<std::string> flushed;
        for (const auto& call : fileops::testing::Record())
            if (call.Call == fileops::testing::TCall::Fsync) flushed.insert(call.Path);
        fileops::testing::Reset();
        // The folders whose names the writer changed: the program folder for a new card type
        // or setting.ini, the card type folder for its image folder and card list.
        const std::string name = writer.name;
        std::vector<fs::path> folders;
        if (name == "WriteCardList") folders = {Program() / "old"};
        if (name == "WriteSettings") folders = {Program()};
        if (name == "CreateCardType" || name == "ImportTemplate") {
            folders = {Program()};
            // The new card type is built, and flushed, under a hidden name.
            const bool built = std::any_of(flushed.begin(), flushed.end(), [&](const auto& path) {
                return fs::path(path).parent_path() == Program() &&
                       fs::path(path).filename().string().starts_with(".");
            });
            EXPECT_TRUE(built) << name << " does not flush the new card type's folder";
        }
        for (const fs::path& folder : folders)
            EXPECT_TRUE(flushed.count(folder.string())) << name << " does not flush " << folder;
        for (long n = 1; n <= calls; ++n) {
            MakeProgramFolder();
            fileops::testing::FailCall(n, EIO);
            const std::string message = MessageOf([&] { writer.run(Program()); });
            const fileops::testing::TRecord failed = fileops::testing::Record().at(n - 1);
            fileops::testing::Reset();
            ++points;
            if (message != "no failure") continue;
            EXPECT_TRUE(failed.Call == fileops::testing::TCall::Unlink &&
                        fs::path(failed.Path).filename().string().starts_with(".vastrelle-"))
                << writer.name << ": a failed " << fileops::testing::CallName(failed.Call) << " of "
                << failed.Path << " was reported as success";
        }
    }
    std::printf("failure points injected: %d\n", points);
}
