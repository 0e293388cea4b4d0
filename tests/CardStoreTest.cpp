// One card save as a transaction: a failure injected at every file-system step leaves every file
// as it was; a save that runs through leaves the new pictures with both thumbnails; the calls
// come in an order that survives a power cut.
#include "save/CardStore.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <functional>

#include "CardsAsRead.h"
#include "RestrictedChild.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "files/FileOps.h"
#include "files/Messages.h"
#include "files/PendingFile.h"
#include "files/VastrelleError.h"
#include "save/HistoryIndex.h"
#include "scans/ScanAttach.h"

namespace fs = std::filesystem;
using fileops::testing::TCall;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";
const std::string kPhoto = ReadFileBytes(kImages / "photo.jpg");
const std::string kGray = ReadFileBytes(kImages / "gray.jpg");
const std::string kProgressive = ReadFileBytes(kImages / "progressive.jpg");
const std::string kCmyk = ReadFileBytes(kImages / "cmyk.jpg");
const fs::path kScans = fs::path(VASTRELLE_TEST_DATA_DIR) / "scans";

TNewPicture Picture(const std::string& name, const std::string& bytes) {
    return {name, bytes, nullptr};
}
TSideChange Replace(const std::string& name, const std::string& bytes) {
    return {TSideEdit::Replace, Picture(name, bytes)};
}
const TSideChange kKeep{};
const TSideChange kRemove{TSideEdit::Remove, {}};

// One change of the card type below, and what must hold after it ran through.
struct TScenario {
    const char* Name;
    std::function<void(const fs::path& folder, const TCardsAsRead& read)> Save;
    std::vector<std::pair<std::string, std::string>> Stored;  // picture name, bytes
    std::vector<std::string> Gone;                            // files the save removes
};

// A save made on the caller's cards, as the window makes them: on failure they must be as they
// were; on success the cards the file now holds, which are the caller's unless the change was
// re-applied onto a card list changed outside (then the caller's stay as they were).
void ExpectInPlace(const fs::path& folder, const TCardsAsRead& read,
                   const std::function<std::optional<TCardInfos>(TCardInfos&)>& save) {
    TCardInfos cards = read.Cards;
    std::optional<TCardInfos> reread;
    try {
        reread = save(cards);
    } catch (...) {
        EXPECT_EQ(cards, read.Cards) << "the cards are put back as they were";
        throw;
    }
    TCardInfos onDisk;
    ReadCardList(folder / kCardListFileName, onDisk);
    EXPECT_EQ(reread.value_or(cards), onDisk);
    if (reread) {
        EXPECT_EQ(cards, read.Cards) << "the caller's cards stay when re-applied";
    }
}

void SaveInPlace(const fs::path& folder, const TCardsAsRead& read, std::optional<std::size_t> index,
                 const TCardInfo& card, const TSideChange& front, const TSideChange& back) {
    TCardListIdentity written;
    ExpectInPlace(folder, read, [&](TCardInfos& cards) {
        return SaveCardInPlace(folder, cards, read.Identity, index, card, front, back, nullptr,
                               &written);
    });
}

// Many cards at once, as the list's commands change them.
void EditInPlace(const fs::path& folder, const TCardsAsRead& read, std::vector<TCardEdit> edits) {
    TCardListIdentity written;
    ExpectInPlace(folder, read, [&](TCardInfos& cards) {
        return SaveCardEditsInPlace(folder, cards, read.Identity, std::move(edits), &written);
    });
}

std::vector<TScenario> Scenarios() {
    TCardInfo texts{"", "", "9", "new", true, "c"};
    return {
        {"register with two pictures",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, std::nullopt, texts, Replace("n1.jpg", kCmyk),
                         Replace("n2.jpeg", kGray));
         },
         {{"n1.jpg", kCmyk}, {"n2.jpeg", kGray}},
         {}},
        {"replace a side by a new name",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, 0, texts, Replace("c.jpg", kCmyk), kKeep);
         },
         {{"c.jpg", kCmyk}},
         {"a.jpg", "a.thm", "a.thm_large"}},
        {"replace a side by the same name",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, 0, texts, Replace("a.jpg", kCmyk), kKeep);
         },
         {{"a.jpg", kCmyk}},
         {}},
        {"replace both sides, one by the same name, one by a new one",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, 0, texts, Replace("a.jpg", kGray), Replace("d.jpg", kCmyk));
         },
         {{"a.jpg", kGray}, {"d.jpg", kCmyk}},
         {"b.jpg", "b.thm", "b.thm_large"}},
        {"remove a side",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, 0, texts, kKeep, kRemove);
         },
         {},
         {"b.jpg", "b.thm", "b.thm_large"}},
        {"replace one side of a card whose sides share a file",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, 1, texts, Replace("e.jpg", kCmyk), kKeep);
         },
         {{"e.jpg", kCmyk}},
         {}},
        {"remove one side of a card whose sides share a file",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, 1, texts, kRemove, kKeep);
         },
         {},
         {}},
        {"replace x.jpg by x.jpeg, which shares its thumbnails",
         [=](const fs::path& f, const TCardsAsRead& c) {
             SaveInPlace(f, c, 0, texts, kKeep, Replace("b.jpeg", kCmyk));
         },
         {{"b.jpeg", kCmyk}},
         {"b.jpg"}},
        {"delete the first card, mark the last owned and append one, on the caller's cards",
         [=](const fs::path& f, const TCardsAsRead& c) {
             TCardInfo owned = c.Cards[2];
             owned.Owned = true;
             EditInPlace(f, c, {{0, std::nullopt}, {2, owned}, {std::nullopt, texts}});
         },
         {},
         {}},
        {"attach a folder of scans: new sides, a replaced one and a new card",
         [](const fs::path& f, const TCardsAsRead&) {
             AttachScans(f, kScans, {.Create = true, .Replace = true});
         },
         {{"3.jpg", kGray},
          {"03-back.jpg", kCmyk},
          {"1_b.jpg", kGray},
          {"9.jpg", ReadFileBytes(kImages / "corners.jpg")}},
         {"b.jpg"}},
        {"delete a card",
         [](const fs::path& f, const TCardsAsRead& c) { DeleteCard(f, c, 0); },
         {},
         {}},
    };
}

class CardStoreTest : public ::testing::Test {
protected:
    // The history records the time; pinned, so that two runs leave the same files.
    void SetUp() override { history::testing::SetNow(1700000000); }
    void TearDown() override {
        fileops::testing::Reset();
        history::testing::SetNow(0);
    }

    // Card 0: a.jpg and b.jpg; card 1: shared.jpg on both sides; card 2: no pictures.
    TCardInfos MakeCardType() {
        fs::remove_all(m_folder);
        fs::create_directories(m_image);
        for (auto [name, bytes] : {std::pair{"a.jpg", &kPhoto}, std::pair{"b.jpg", &kGray},
                                   std::pair{"shared.jpg", &kProgressive}}) {
            WriteFileBytes(m_image / name, *bytes);
            MakeThumbnails(m_image, name);
        }
        const TCardInfos cards = {{"a.jpg", "b.jpg", "1", Sjis("表と裏"), true, ""},
                                  {"shared.jpg", "shared.jpg", "2", "shared", false, ""},
                                  {"", "", "3", "none", false, ""}};
        WriteCardList(cards, m_folder);
        return cards;
    }

    TCardInfos ReadCards() const {
        TCardInfos cards;
        ReadCardList(m_folder / kCardListFileName, cards);
        return cards;
    }

    // What a save that ran through must leave: every named picture with both thumbnails, the
    // stored ones byte-identical to what was dropped, the released ones gone, nothing
    // temporary.
    void ExpectSaved(const TScenario& scenario) const {
        const TCardInfos cards = ReadCards();
        for (const TCardInfo& card : cards)
            for (const std::string& name : {card.FrontImageFileName, card.BackImageFileName}) {
                if (name.empty()) continue;
                EXPECT_TRUE(fs::is_regular_file(m_image / name)) << scenario.Name << ": " << name;
                for (auto extension : {kSmallThumbnailExtension, kLargeThumbnailExtension})
                    EXPECT_GT(fs::file_size(m_image / ReplaceExtension(name, extension)), 54u)
                        << scenario.Name << ": " << name;
            }
        for (const auto& [name, bytes] : scenario.Stored) {
            EXPECT_EQ(ReadFileBytes(m_image / name), bytes) << scenario.Name;
            const TThumbnailFiles thumbnails = MakeThumbnailFiles(bytes, nullptr, m_image, name);
            EXPECT_EQ(ReadFileBytes(m_image / ReplaceExtension(name, ".thm_large")),
                      thumbnails.Large)
                << scenario.Name;
            EXPECT_EQ(ReadFileBytes(m_image / ReplaceExtension(name, ".thm")), thumbnails.Small)
                << scenario.Name;
        }
        for (const std::string& name : scenario.Gone)
            EXPECT_FALSE(fs::exists(m_image / name)) << scenario.Name << ": " << name;
        EXPECT_EQ(TemporaryFiles(), 0) << scenario.Name;
    }

    int TemporaryFiles() const {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder))
            count += IsTemporaryFileName(entry.path().filename().native()) ? 1 : 0;
        return count;
    }

    TempDir m_dir{MemoryTempBase()};
    fs::path m_folder = m_dir / "type";
    fs::path m_image = m_folder / "image";
};

bool IsExpectedMessage(const std::string& message) {
    return message == msg::kCardListSaveFailed || message.ends_with(" を作成できません") ||
           message.ends_with(" に書き込めません");
}

}  // namespace

TEST_F(CardStoreTest, EverySaveLeavesTheNewStateWhenNothingFails) {
    for (const TScenario& scenario : Scenarios()) {
        const TCardInfos cards = MakeCardType();
        scenario.Save(m_folder, AsReadNow(m_folder, cards));
        ExpectSaved(scenario);
    }
}

TEST_F(CardStoreTest, AFailureAtAnyStepLeavesEveryFileAsItWas) {
    int points = 0, refused = 0, leftovers = 0;
    // Once as on most file systems, once without hard links (FAT, say), and once re-applied onto
    // a card list another program changed since it was read: a failure then leaves the file as
    // that program wrote it.
    for (const auto& [links, outside] : {std::pair{true, false}, {false, false}, {true, true}})
        for (const TScenario& scenario : Scenarios()) {
            auto prepare = [&] {
                const TCardsAsRead read = AsReadNow(m_folder, MakeCardType());
                if (outside) {
                    TCardInfos changed = read.Cards;
                    changed.push_back({"", "", "4", "added outside", false, ""});
                    WriteCardList(changed, m_folder);
                }
                return read;
            };
            const TCardsAsRead first = prepare();
            fileops::testing::Watch();
            if (!links) fileops::testing::FailEvery(TCall::Link, EPERM);
            scenario.Save(m_folder, first);
            const long calls = fileops::testing::CallCount();
            const TreeSnapshot after = SnapshotTree(m_folder);
            fileops::testing::Reset();

            for (long n = 1; n <= calls; ++n) {
                // Each step fails once, the kinds of failure taking turns: the step, not the errno,
                // decides what is left behind.
                const int error = std::array{EIO, ENOSPC, EACCES}[static_cast<std::size_t>(n % 3)];
                const TCardsAsRead read = prepare();
                const TreeSnapshot before = SnapshotTree(m_folder);
                fileops::testing::FailCall(n, error);
                if (!links) fileops::testing::FailEvery(TCall::Link, EPERM);
                std::string message;
                try {
                    scenario.Save(m_folder, read);
                } catch (const VastrelleError& e) {
                    message = e.what();
                }
                ASSERT_TRUE(fileops::testing::Failed()) << scenario.Name << ", call " << n;
                const fileops::testing::TRecord failed = fileops::testing::Record().at(n - 1);
                fileops::testing::Reset();
                ++points;
                const std::string where =
                    std::string(scenario.Name) + (outside ? " (re-applied)" : "") + ", call " +
                    std::to_string(n) + " (" + fileops::testing::CallName(failed.Call) + " " +
                    failed.Path + "), errno " + std::to_string(error);
                if (!message.empty()) {
                    ++refused;
                    EXPECT_TRUE(IsExpectedMessage(message)) << where << ": " << message;
                    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_folder)), "") << where;
                    continue;
                }
                // Only the removal of a temporary file may fail unseen: the file stays behind
                // as a leftover that the next save in the folder takes away.
                EXPECT_EQ(failed.Call, TCall::Unlink) << where << ": the failure was ignored";
                EXPECT_TRUE(IsTemporaryFileName(fs::path(failed.Path).filename().native()))
                    << where << ": the failure was ignored";
                ++leftovers;
                fileops::testing::SetStaleAge(std::chrono::seconds(0));
                RemoveStaleTemporaryFiles(m_image);
                RemoveStaleTemporaryFiles(m_folder);
                fileops::testing::SetStaleAge(std::chrono::minutes(1));
                EXPECT_EQ(TreeDifferences(after, SnapshotTree(m_folder)), "") << where;
            }
        }
    std::printf(
        "failure points injected: %d; save failed with every file as before: %d; save done with "
        "one temporary file left for the next save: %d\n",
        points, refused, leftovers);
    RecordProperty("failure_points", points);
}

// A file system without hard links (FAT, say): new names are renamed in, old bytes are kept in
// flushed copies, and every save still runs through.
TEST_F(CardStoreTest, EverySaveRunsThroughWithoutHardLinks) {
    for (const TScenario& scenario : Scenarios()) {
        const TCardInfos cards = MakeCardType();
        fileops::testing::FailEvery(TCall::Link, EPERM);
        scenario.Save(m_folder, AsReadNow(m_folder, cards));
        fileops::testing::Reset();
        ExpectSaved(scenario);
    }
}

// The durability order of a real save: a file is flushed and closed before it gets its name,
// and every change of a folder's names is flushed, the image folder's new names before the card
// list that names them, the card list before the old bytes of a name are given up.
TEST_F(CardStoreTest, ASaveFlushesEveryFileBeforeNamingItAndEveryFolderAfter) {
    const TCardInfos cards = MakeCardType();
    fileops::testing::Watch();
    SaveCard(m_folder, AsReadNow(m_folder, cards), 0, cards[0], Replace("a.jpg", kGray),
             Replace("d.jpg", kCmyk));
    const std::vector<fileops::testing::TRecord> calls = fileops::testing::Record();
    fileops::testing::Reset();

    auto index = [&](TCall call, const std::string& path, std::size_t from = 0) {
        for (std::size_t i = from; i < calls.size(); ++i)
            if (calls[i].Call == call && calls[i].Path == path) return static_cast<long>(i);
        return -1L;
    };
    auto folderFlushAfter = [&](const fs::path& folder, std::size_t from) {
        const long flush = index(TCall::Fsync, folder.string(), from);
        return flush >= 0 && index(TCall::Close, folder.string(), flush) >= 0 ? flush : -1L;
    };
    const std::string cardList = (m_folder / kCardListFileName).string();
    long cardListCommit = -1;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto& call = calls[i];
        if (call.Call != TCall::Rename && call.Call != TCall::Link) continue;
        const bool fromPending = index(TCall::CreateUnique, call.Path) >= 0;
        if (fromPending) {
            const long flushed = index(TCall::Fsync, call.Path);
            ASSERT_GE(flushed, 0) << call.Path << " was never flushed";
            const long closed = index(TCall::Close, call.Path, flushed);
            EXPECT_TRUE(closed >= 0 && closed < static_cast<long>(i))
                << call.Path << " not closed before it was named " << call.Target;
        }
        EXPECT_GE(folderFlushAfter(fs::path(call.Target).parent_path(), i), 0)
            << "no flush of the folder after naming " << call.Target;
        if (call.Target == cardList) cardListCommit = static_cast<long>(i);
    }
    ASSERT_GE(cardListCommit, 0);
    const std::string newPicture = (m_image / "d.jpg").string();
    const std::string samePicture = (m_image / "a.jpg").string();
    long published = -1, replaced = -1;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].Call == TCall::Link && calls[i].Target == newPicture) published = i;
        if (calls[i].Call == TCall::Rename && calls[i].Target == samePicture) replaced = i;
    }
    ASSERT_GE(published, 0);
    ASSERT_GE(replaced, 0);
    const long imageFlush = folderFlushAfter(m_image, published);
    EXPECT_TRUE(imageFlush >= 0 && imageFlush < cardListCommit)
        << "the new picture's name is not on disk before the card list names it";
    const long cardListFlush = folderFlushAfter(m_folder, cardListCommit);
    EXPECT_TRUE(cardListFlush >= 0 && cardListFlush < replaced)
        << "the old bytes of a.jpg go before the card list is on disk";
    const long removed = index(TCall::Unlink, (m_image / "b.jpg").string());
    EXPECT_GT(removed, cardListFlush) << "a released picture goes before the commit";
}

TEST_F(CardStoreTest, AReadOnlyOldPictureRefusesTheSaveBeforeAnythingChanges) {
    const TCardInfos cards = MakeCardType();
    fs::permissions(m_dir.Path(), fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.Path()))
        fs::permissions(entry.path(), entry.is_directory() ? fs::perms::all : fs::perms(0666));
    fs::permissions(m_image / "a.jpg", fs::perms(0444));
    const TreeSnapshot before = SnapshotTree(m_folder);
    for (const TSideChange& front : {Replace("c.jpg", kCmyk), kRemove, Replace("a.jpg", kCmyk)}) {
        const std::string result = RunInChild(AsUnprivilegedUser(), [&] {
            SaveCard(m_folder, AsReadNow(m_folder, cards), 0, cards[0], front, kKeep);
            return std::string("saved");
        });
        const std::string path = (m_image / "a.jpg").string();
        EXPECT_TRUE(result == "exception: " + FormatMessage(msg::kCannotWrite, path) ||
                    result == "exception: " + FormatMessage(msg::kCannotCreate, path))
            << result;
        EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_folder)), "");
    }
}

TEST_F(CardStoreTest, APictureThatDoesNotDecodeIsRefusedBeforeAnythingIsWritten) {
    const TCardInfos cards = MakeCardType();
    const TreeSnapshot before = SnapshotTree(m_folder);
    EXPECT_THROW(SaveCard(m_folder, AsReadNow(m_folder, cards), 0, cards[0],
                          Replace("a.jpg", "not a jpeg"), kKeep),
                 VastrelleError);
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_folder)), "");
}

TEST_F(CardStoreTest, ADecodedPictureGivesTheSameThumbnailsAsItsBytes) {
    const TCardInfos cards = MakeCardType();
    auto decoded = std::make_shared<const TBitmap>(DecodeJpeg(kPhoto));
    SaveCard(m_folder, AsReadNow(m_folder, cards), std::nullopt, cards[2],
             {TSideEdit::Replace, {"p.jpg", kPhoto, decoded}}, kKeep);
    const TThumbnailFiles expected = MakeThumbnailFiles(kPhoto, nullptr, m_image, "p.jpg");
    EXPECT_EQ(ReadFileBytes(m_image / "p.thm_large"), expected.Large);
    EXPECT_EQ(ReadFileBytes(m_image / "p.thm"), expected.Small);
}

TEST_F(CardStoreTest, LeftoversOfAKilledSaveGoAtTheNextSaveButFreshOnesStay) {
    const TCardInfos cards = MakeCardType();
    WriteFileBytes(m_image / ".vastrelle-AbC123", "left by a killed save");
    WriteFileBytes(m_folder / ".vastrelle-XyZ789", "left by a killed save");
    WriteFileBytes(m_image / ".vastrelle-notours", "not ours: the name does not fit");
    SaveCards(m_folder, cards);
    EXPECT_TRUE(fs::exists(m_image / ".vastrelle-AbC123")) << "younger than a minute";
    fileops::testing::SetStaleAge(std::chrono::seconds(0));
    SaveCards(m_folder, cards);
    fileops::testing::SetStaleAge(std::chrono::minutes(1));
    EXPECT_FALSE(fs::exists(m_image / ".vastrelle-AbC123"));
    EXPECT_FALSE(fs::exists(m_folder / ".vastrelle-XyZ789"));
    EXPECT_TRUE(fs::exists(m_image / ".vastrelle-notours"));
}
