// Undo, redo and restore over the history that every card save keeps in .history: the card list
// and the picture files of each version come back byte for byte, several steps deep and in a
// fresh process; pruning keeps every picture a kept version names; a failure at any step of an
// undo, a redo, a restore or a save into a full history leaves every file as it was.
#include "save/CardHistory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <map>

#include "CardsAsRead.h"
#include "CliRun.h"
#include "SaveLeftovers.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/FileOps.h"
#include "files/PendingFile.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "save/CardStore.h"
#include "save/HistoryIndex.h"
#include "save/HistoryRecord.h"
#include "save/VersionStore.h"
#include "save/ZstdFrames.h"

namespace fs = std::filesystem;
using fileops::testing::TCall;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";
const std::string kPhoto = ReadFileBytes(kImages / "photo.jpg");
const std::string kGray = ReadFileBytes(kImages / "gray.jpg");
const std::string kCmyk = ReadFileBytes(kImages / "cmyk.jpg");

TSideChange Replace(const std::string& name, const std::string& bytes) {
    return {TSideEdit::Replace, {name, bytes, nullptr}};
}
const TSideChange kKeep{};
const TSideChange kRemove{TSideEdit::Remove, {}};

class CardHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        history::testing::SetNow(1700000000);
        fs::create_directories(m_image);
        WriteCardList({}, m_folder);
    }
    void TearDown() override {
        fileops::testing::Reset();
        history::testing::SetNow(0);
    }

    TCardInfos Cards() const {
        TCardInfos cards;
        ReadCardList(m_folder / kCardListFileName, cards);
        return cards;
    }
    std::string Image(const std::string& name) const { return ReadFileBytes(m_image / name); }
    // The card list and the image folder: what undo must bring back exactly.
    TreeSnapshot Visible() const {
        TreeSnapshot snapshot = SnapshotTree(m_folder);
        std::erase_if(snapshot, [](const auto& entry) { return entry.first.starts_with("."); });
        return snapshot;
    }
    // Every picture the card list names is there with both thumbnails.
    std::string MissingFiles() const {
        std::string missing;
        for (const TCardInfo& card : Cards())
            for (const std::string& name : {card.FrontImageFileName, card.BackImageFileName}) {
                if (name.empty()) continue;
                for (const std::string& file :
                     {name, ReplaceExtension(name, ".thm"), ReplaceExtension(name, ".thm_large")})
                    if (!fs::is_regular_file(m_image / file)) missing += file + " ";
            }
        return missing;
    }

    TempDir m_dir{MemoryTempBase()};
    fs::path m_folder = m_dir / "type";
    fs::path m_image = m_folder / "image";
};

}  // namespace

TEST_F(CardHistoryTest, EachKindOfChangeIsUndoneAndRedoneWithItsFiles) {
    std::vector<TreeSnapshot> states{Visible()};
    // Register with two pictures.
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "1", "one", false, ""},
             Replace("a.jpg", kPhoto), Replace("b.jpg", kGray));
    states.push_back(Visible());
    // Edit: the front replaced by another file of the same name, the back removed.
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, {"", "", "1", "one edited", false, ""},
             Replace("a.jpg", kCmyk), kRemove);
    states.push_back(Visible());
    EXPECT_FALSE(fs::exists(m_image / "b.jpg"));
    // Edit: the front replaced by a new name.
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, Cards()[0], Replace("c.jpg", kGray), kKeep);
    states.push_back(Visible());
    // The owned mark.
    TCardInfos owned = Cards();
    owned[0].Owned = true;
    SaveCards(m_folder, owned);
    states.push_back(Visible());
    // Delete: the pictures stay, as they always did.
    DeleteCard(m_folder, AsReadNow(m_folder, Cards()), 0);
    states.push_back(Visible());
    EXPECT_TRUE(fs::exists(m_image / "c.jpg"));

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(CanUndo(m_folder)) << i;
        Undo(m_folder);
        EXPECT_EQ(TreeDifferences(states[i - 1], Visible()), "") << "undo to state " << i - 1;
    }
    EXPECT_FALSE(CanUndo(m_folder));
    EXPECT_THROW(Undo(m_folder), VastrelleError);
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(CanRedo(m_folder)) << i;
        Redo(m_folder);
        EXPECT_EQ(TreeDifferences(states[i], Visible()), "") << "redo to state " << i;
    }
    EXPECT_FALSE(CanRedo(m_folder));
    EXPECT_THROW(Redo(m_folder), VastrelleError);

    // The picture replaced under its own name comes back byte for byte, thumbnails included.
    Undo(m_folder), Undo(m_folder), Undo(m_folder), Undo(m_folder);
    EXPECT_EQ(Image("a.jpg"), kPhoto);
    EXPECT_EQ(Image("b.jpg"), kGray);
    EXPECT_EQ(states[1], Visible());
}

TEST_F(CardHistoryTest, ANewChangeAfterUndoEndsTheRedoAndRestoreIsItselfUndone) {
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "1", "", false, ""},
             Replace("a.jpg", kPhoto), kKeep);
    const TreeSnapshot one = Visible();
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, Cards()[0], Replace("a.jpg", kGray), kKeep);
    const TreeSnapshot two = Visible();
    Undo(m_folder);
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "2", "", false, ""},
             kKeep, kKeep);
    EXPECT_FALSE(CanRedo(m_folder));
    const std::vector<THistoryEntry> entries = ListHistory(m_folder);
    ASSERT_EQ(entries.size(), 3u);  // the empty list, one card, two cards
    EXPECT_TRUE(entries[0].Current);
    EXPECT_EQ(entries[0].Status, "0/2[0%]");
    EXPECT_EQ(entries[2].Status, "0/0");
    EXPECT_EQ(entries[0].Time, HistoryTimeText(1700000000));

    const TreeSnapshot three = Visible();
    RestoreVersion(m_folder, entries[1].Version);
    EXPECT_EQ(TreeDifferences(one, Visible()), "");
    EXPECT_EQ(ListHistory(m_folder).size(), 4u);
    Undo(m_folder);
    EXPECT_EQ(TreeDifferences(three, Visible()), "");
    EXPECT_THROW(RestoreVersion(m_folder, 99), VastrelleError);
    (void)two;
}

TEST_F(CardHistoryTest, AFreshProcessStillUndoesAndRedoes) {
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "1", "", true, ""},
             Replace("a.jpg", kPhoto), kKeep);
    const TreeSnapshot one = Visible();
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, Cards()[0], Replace("a.jpg", kCmyk), kKeep);
    const TreeSnapshot two = Visible();
    const std::string folder = "'" + m_folder.string() + "'";
    CliResult run = RunCli("undo " + folder);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(TreeDifferences(one, Visible()), "");
    run = RunCli("redo " + folder);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(TreeDifferences(two, Visible()), "");
}

TEST_F(CardHistoryTest, PruningKeepsFiftyVersionsBackAndEveryPictureTheyName) {
    // 60 changes: each registers a card with a new picture, every fifth replaces the first card's
    // picture under its own name, every seventh removes the last card's picture.
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "0", "", false, ""},
             Replace("first.jpg", kPhoto), kKeep);
    for (int i = 1; i < 60; ++i) {
        const std::string name = "p" + std::to_string(i) + ".jpg";
        if (i % 5 == 0)
            SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, Cards()[0],
                     Replace("first.jpg", i % 10 == 0 ? kPhoto : kGray), kKeep);
        else if (i % 7 == 0)
            SaveCard(m_folder, AsReadNow(m_folder, Cards()), Cards().size() - 1, Cards().back(),
                     kRemove, kKeep);
        else
            SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt,
                     {"", "", std::to_string(i), "", false, ""},
                     Replace(name, i % 2 ? kCmyk : kGray), kKeep);
        ASSERT_EQ(MissingFiles(), "") << "after change " << i;
    }
    const std::vector<THistoryEntry> entries = ListHistory(m_folder);
    ASSERT_EQ(entries.size(), kKeptPreviousVersions + 1);
    // Only the folders of kept versions remain.
    int folders = 0;
    for (const auto& entry : fs::directory_iterator(HistoryFolder(m_folder)))
        folders += entry.is_directory() ? 1 : 0;
    EXPECT_EQ(folders, static_cast<int>(entries.size()));

    for (std::size_t step = 0; step < kKeptPreviousVersions; ++step) {
        ASSERT_TRUE(CanUndo(m_folder)) << step;
        Undo(m_folder);
        ASSERT_EQ(MissingFiles(), "") << "after undo " << step + 1;
    }
    EXPECT_FALSE(CanUndo(m_folder));
    for (std::size_t step = 0; step < kKeptPreviousVersions; ++step) Redo(m_folder);
    EXPECT_EQ(ReadWholeFile(m_folder / kCardListFileName),
              ReadVersionBytes(m_folder, *ReadHistoryIndex(m_folder), entries[0].Version));
    EXPECT_EQ(MissingFiles(), "");
}

TEST_F(CardHistoryTest, AChangeMadeOutsideTheHistoryIsKeptAndCanBeUndone) {
    SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "1", "", false, ""},
             kKeep, kKeep);
    const TreeSnapshot recorded = Visible();
    // An older version of the program, or an editor, writes the card list.
    const std::string outside = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<cardlist/>\n";
    WriteFileBytes(m_folder / kCardListFileName, outside);
    EXPECT_TRUE(CanUndo(m_folder));
    EXPECT_FALSE(CanRedo(m_folder));
    Undo(m_folder);
    EXPECT_EQ(TreeDifferences(recorded, Visible()), "");
    Redo(m_folder);
    EXPECT_EQ(ReadFileBytes(m_folder / kCardListFileName), outside) << "kept byte for byte";
}

// The comparison goes a block at a time, and the kept version is a copy: a card list of several
// blocks rewritten in place, one byte changed near its end, is an outside change, and the
// version it was stays as written.
TEST_F(CardHistoryTest, AnInPlaceEditOfOneByteInALargeCardListIsAnOutsideChange) {
    TCardInfos cards(3000);
    for (std::size_t i = 0; i < cards.size(); ++i) cards[i].Number = std::to_string(i + 1);
    SaveCards(m_folder, cards);
    const std::string saved = ReadFileBytes(m_folder / kCardListFileName);
    ASSERT_GT(saved.size(), 3u * 65536);

    std::string edited = saved;
    const std::size_t last = edited.rfind("3000");
    ASSERT_NE(last, std::string::npos);
    edited[last] = '4';
    {
        std::fstream file(m_folder / kCardListFileName,
                          std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(last));
        file.put('4');
    }
    EXPECT_TRUE(CanUndo(m_folder));
    const std::vector<THistoryEntry> entries = ListHistory(m_folder);
    ASSERT_EQ(entries.size(), 2u) << "the empty card list it started with, then the save";
    EXPECT_EQ(ReadVersionBytes(m_folder, *ReadHistoryIndex(m_folder), entries[0].Version), saved);

    Undo(m_folder);
    EXPECT_EQ(ReadFileBytes(m_folder / kCardListFileName), saved);
    Redo(m_folder);
    EXPECT_EQ(ReadFileBytes(m_folder / kCardListFileName), edited);
}

// A kill after an undo or redo wrote the card list and before it wrote the index leaves the
// card list at the neighbouring version: the next step goes on from there, it does not take the
// card list for a change of its own and bring the undone card back.
TEST_F(CardHistoryTest, AStepKilledBeforeItsIndexIsTakenAsDone) {
    for (int number : {1, 2, 3})
        SaveCards(m_folder, TCardInfos(number, {"", "", std::to_string(number), "", false, ""}));
    const THistoryIndex index = *ReadHistoryIndex(m_folder);
    auto killedAt = [&](std::size_t version) {
        WriteFileBytes(m_folder / kCardListFileName,
                       ReadVersionBytes(m_folder, index, index.Versions.at(version).Number));
    };
    killedAt(2);  // an undo from 3 cards to 2
    EXPECT_EQ(Undo(m_folder).size(), 1u);
    EXPECT_EQ(Redo(m_folder).size(), 2u);
    EXPECT_EQ(Redo(m_folder).size(), 3u) << "the redo is still there";
    EXPECT_EQ(ReadHistoryIndex(m_folder)->Versions.size(), index.Versions.size());

    Undo(m_folder);
    Undo(m_folder);
    killedAt(2);  // a redo from 1 card to 2
    EXPECT_TRUE(CanRedo(m_folder));
    EXPECT_EQ(Redo(m_folder).size(), 3u);
    EXPECT_EQ(ReadHistoryIndex(m_folder)->Versions.size(), index.Versions.size());
}

namespace {

// Every kept version's card list, read back from the history, with the bytes it was saved as.
std::map<int, std::string> KeptVersions(const fs::path& folder) {
    std::map<int, std::string> versions;
    const THistoryIndex index = *ReadHistoryIndex(folder);
    for (const THistoryVersion& version : index.Versions)
        versions[version.Number] = ReadVersionBytes(folder, index, version.Number);
    return versions;
}

// The numbers of the versions that are missing or differ, for a short failure message.
std::string DifferentVersions(const std::map<int, std::string>& kept,
                              const std::map<int, std::string>& expected) {
    std::string differ;
    for (const auto& [number, bytes] : expected)
        if (!kept.count(number) || kept.at(number) != bytes) differ += std::to_string(number) + " ";
    if (kept.size() != expected.size()) differ += "and a different count";
    return differ;
}

std::uintmax_t HistoryBytes(const fs::path& folder) {
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(HistoryFolder(folder)))
        if (entry.is_regular_file()) bytes += entry.file_size();
    return bytes;
}

TCardInfos NumberedCards(std::size_t count, const std::string& title) {
    TCardInfos cards(count);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        cards[i].Number = std::to_string(i + 1);
        cards[i].Title = title + std::to_string(i);
    }
    return cards;
}

}  // namespace

// Versions are deltas against the ones after them, the newest whole: each comes back byte for
// byte, also after undo, a new branch and an unchanged save, and a small change costs little.
TEST_F(CardHistoryTest, DeltaVersionsComeBackByteForByteAfterEveryShapeOfChange) {
    const std::function<void(TCardInfos&)> changes[] = {
        [](TCardInfos& c) { c = NumberedCards(2000, "card "); },         // many appended
        [](TCardInfos& c) { c[1000].Title = "edited in the middle"; },   // one edited
        [](TCardInfos& c) { c.erase(c.begin() + 10, c.begin() + 20); },  // some deleted
        [](TCardInfos& c) { c.push_back(c[5]); },                        // one appended
        [](TCardInfos& c) { c = NumberedCards(1500, "rewritten "); },    // all rewritten
        [](TCardInfos& c) { c.clear(); },                                // emptied
        [](TCardInfos& c) { c = NumberedCards(2000, "card "); },         // back again
    };
    // The first save records the empty list it found as version 1.
    std::map<int, std::string> saved{{1, ReadFileBytes(m_folder / kCardListFileName)}};
    TCardInfos cards;
    for (const auto& change : changes) {
        change(cards);
        SaveCards(m_folder, cards);
        saved[ReadHistoryIndex(m_folder)->Position] = ReadFileBytes(m_folder / kCardListFileName);
    }
    EXPECT_EQ(DifferentVersions(KeptVersions(m_folder), saved), "");

    // An unchanged save adds nothing; a one-card edit adds a delta, not a copy.
    const std::uintmax_t before = HistoryBytes(m_folder);
    SaveCards(m_folder, Cards());
    EXPECT_EQ(ListHistory(m_folder).size(), saved.size());
    cards[1999].Owned = true;
    SaveCards(m_folder, cards);
    EXPECT_LT(HistoryBytes(m_folder), before + fs::file_size(m_folder / kCardListFileName) / 20);

    // Undo three steps, then a new change: the version undone to is stored against the new one.
    for (int i = 0; i < 3; ++i) Undo(m_folder);
    const std::string undone = ReadFileBytes(m_folder / kCardListFileName);
    const int position = ReadHistoryIndex(m_folder)->Position;
    TCardInfos branched = Cards();
    branched.push_back(cards[0]);
    SaveCards(m_folder, branched);
    EXPECT_EQ(KeptVersions(m_folder).at(position), undone);
    for (int i = 0; i < 5; ++i) Undo(m_folder);
    for (int i = 0; i < 5; ++i) Redo(m_folder);
    EXPECT_EQ(Cards(), branched);
}

// A history whose versions are whole copies, as earlier versions kept them, reads as it is; a
// save turns only the version before it into a delta.
TEST_F(CardHistoryTest, AHistoryOfWholeCopiesIsReadAndConvertedAsItIsRewritten) {
    for (std::size_t count : {10, 20, 30}) SaveCards(m_folder, NumberedCards(count, "t"));
    const std::map<int, std::string> kept = KeptVersions(m_folder);
    std::string index = ReadFileBytes(HistoryIndexPath(m_folder));
    index.replace(0, index.find('\n'), "vastrelle-history 1");
    WriteFileBytes(HistoryIndexPath(m_folder), index);
    for (const auto& [number, bytes] : kept) {
        for (const auto& entry : fs::directory_iterator(VersionFolder(m_folder, number)))
            if (entry.path().filename().native().starts_with("cardlist.")) fs::remove(entry);
        WriteFileBytes(VersionCardList(m_folder, number), bytes);
    }
    EXPECT_EQ(DifferentVersions(KeptVersions(m_folder), kept), "");
    Undo(m_folder);
    EXPECT_EQ(ReadFileBytes(m_folder / kCardListFileName), std::prev(kept.end(), 2)->second);
    Redo(m_folder);

    SaveCards(m_folder, NumberedCards(40, "t"));
    std::map<int, std::string> now = KeptVersions(m_folder);
    EXPECT_EQ(now.size(), kept.size() + 1);
    for (const auto& [number, bytes] : kept) EXPECT_EQ(now.at(number), bytes) << number;
    const int previous = kept.rbegin()->first;
    EXPECT_FALSE(fs::exists(VersionCardList(m_folder, previous))) << "converted";
    EXPECT_TRUE(fs::exists(VersionCardList(m_folder, kept.begin()->first))) << "left as it was";

    // A delta of the first kind, one frame against the whole version after it, reads as well;
    // so does a sum of the first kind: the card list is still taken for the current version.
    const THistoryIndex history = *ReadHistoryIndex(m_folder);
    const int newest = history.Versions.back().Number;
    WriteFileBytes(DeltaVersionFile(m_folder, previous, newest),
                   CompressFrame(now.at(previous), now.at(newest)));
    EXPECT_EQ(DifferentVersions(KeptVersions(m_folder), now), "");
    WriteFileBytes(VersionSumFile(m_folder, newest), VersionSum(now.at(newest)));
    SaveCards(m_folder, NumberedCards(41, "t"));
    EXPECT_EQ(ReadHistoryIndex(m_folder)->Versions.size(), history.Versions.size() + 1)
        << "no version recorded as changed outside";
}

// The sum of a card list read in pieces of any size is the sum of its whole bytes.
TEST(VersionSumTest, PiecesOfAnySizeSumAsTheWhole) {
    std::string bytes;
    for (int i = 0; i < 100; ++i) bytes += static_cast<char>(i * 37);
    for (std::size_t size : {1, 3, 7, 8, 9, 13, 64, 100}) {
        TVersionSummer summer(bytes.size());
        for (std::size_t at = 0; at < bytes.size(); at += size)
            summer.Add(std::string_view(bytes).substr(at, size));
        EXPECT_EQ(summer.Text(), VersionSum(bytes)) << size;
    }
}

// A whole copy made while its file is read comes back byte for byte: empty, small, and large
// enough to be compressed on zstd's threads.
TEST(ZstdFramesTest, AFileCompressedInPiecesComesBackWhole) {
    TempDir folder;
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{300} << 10, std::size_t{9} << 20}) {
        std::string bytes;
        bytes.reserve(size);
        for (std::size_t card = 0; bytes.size() < size; ++card)
            bytes += "<carditem><number>" + std::to_string(card * 7919 % 100003) + "</number>";
        bytes.resize(size);
        const fs::path file = folder.Path() / "cardlist.dat";
        WriteFileBytes(file, bytes);
        std::string frame, read;
        ASSERT_TRUE(CompressFileInPieces(
            file,
            [&frame](std::string_view piece) {
                frame.append(piece);
                return true;
            },
            [&read](std::string_view piece) { read.append(piece); }));
        EXPECT_EQ(read, bytes) << size;
        EXPECT_EQ(DecompressFrame(frame), bytes) << size;
    }
}

// A damaged delta, or one that is not against the version after it, is reported and changes
// nothing: never is another card list taken for the version.
TEST_F(CardHistoryTest, ADamagedDeltaIsReportedAndLeftAlone) {
    for (std::size_t count : {100, 101, 102}) SaveCards(m_folder, NumberedCards(count, "t"));
    const THistoryIndex index = *ReadHistoryIndex(m_folder);
    const int oldest = index.Versions[1].Number, next = index.Versions[2].Number;
    const fs::path delta = DeltaVersionFile(m_folder, oldest, next);
    ASSERT_TRUE(fs::exists(delta));
    const std::string good = ReadFileBytes(delta);
    const std::string nextBytes = ReadVersionBytes(m_folder, index, next);
    const std::string damages[] = {
        good.substr(0, good.size() / 2),  // cut short
        std::string(good).replace(good.size() / 2, 1, 1, good[good.size() / 2] ^ 0x20),
        ReadFileBytes(DeltaVersionFile(m_folder, index.Versions[0].Number,  // another base's
                                       oldest)),
        "",
    };
    for (const std::string& damaged : damages) {
        WriteFileBytes(delta, damaged);
        const TreeSnapshot before = SnapshotTree(m_folder);
        EXPECT_THROW(RestoreVersion(m_folder, oldest), VastrelleError);
        EXPECT_THROW(ReadVersionBytes(m_folder, index, index.Versions[0].Number), VastrelleError);
        EXPECT_EQ(TreeDifferences(before, SnapshotTree(m_folder)), "");
        EXPECT_TRUE(ReadVersionBytes(m_folder, index, next) == nextBytes) << "the others stay";
    }
}

TEST_F(CardHistoryTest, TheHistoryIsNoCardTypeAndADamagedIndexIsLeftAlone) {
    SaveCards(m_folder, {{"", "", "1", "", false, ""}});
    EXPECT_EQ(ListCardTypes(m_dir.Path()), std::vector<std::string>{"type"});

    const std::string damaged = "vastrelle-history 7\nsomething new\n";
    WriteFileBytes(HistoryIndexPath(m_folder), damaged);
    const TreeSnapshot history = SnapshotTree(HistoryFolder(m_folder));
    SaveCards(m_folder, {{"", "", "2", "", false, ""}});
    EXPECT_EQ(Cards().at(0).Number, "2") << "saving works as it did without a history";
    EXPECT_EQ(TreeDifferences(history, SnapshotTree(HistoryFolder(m_folder))), "");
    EXPECT_FALSE(CanUndo(m_folder));
    EXPECT_THROW(Undo(m_folder), VastrelleError);
}

TEST(HistoryIndexTest, TheIndexReadsBackAndAnythingButAWholeIndexIsRefused) {
    THistoryIndex index;
    index.Versions = {{3, "2026-01-02 03:04:05", "1/2[50%]"}, {5, "2026-01-02 03:04:06", "0/0"}};
    index.Position = 3;
    index.Next = 6;
    const std::string text = HistoryIndexText(index);
    EXPECT_EQ(ParseHistoryIndex(text), index);
    EXPECT_FALSE(ParseHistoryIndex(text.substr(0, text.size() - 1))) << "cut short";
    for (const std::string& bad :
         {std::string("vastrelle-history 1\nposition 4\nnext 6\n3\tt\ts\n"),  // no such version
          std::string("vastrelle-history 1\nposition 3\nnext 3\n3\tt\ts\n"),  // next too small
          std::string("vastrelle-history 1\nposition 3\nnext 9\n3\tt\ts\n2\tt\ts\n"),
          std::string("vastrelle-history 3\nposition 0\nnext 1\n"), std::string()})
        EXPECT_FALSE(ParseHistoryIndex(bad)) << bad;
    EXPECT_TRUE(ParseHistoryIndex("vastrelle-history 1\nposition 0\nnext 1\n"));
}

namespace {

// Runs `action` once to see its calls, then again from a fresh `setup` with each call failing
// in turn. A failure that is reported must leave every file as setup made it; one that is not
// may only be the removal of a leftover, and the files are then those of the run through, once
// the leftovers are gone.
void ExpectEveryFailureLeavesEverythingAsItWas(const fs::path& folder, bool links,
                                               const std::function<void()>& setup,
                                               const std::function<void()>& action) {
    setup();
    fileops::testing::Watch();
    if (!links) fileops::testing::FailEvery(TCall::Link, EPERM);
    action();
    const long calls = fileops::testing::CallCount();
    fileops::testing::Reset();
    const TreeSnapshot after = SnapshotTree(folder);
    for (long n = 1; n <= calls; ++n) {
        setup();
        const TreeSnapshot before = SnapshotTree(folder);
        fileops::testing::FailCall(n, EIO);
        if (!links) fileops::testing::FailEvery(TCall::Link, EPERM);
        bool reported = false;
        try {
            action();
        } catch (const VastrelleError&) {
            reported = true;
        }
        ASSERT_TRUE(fileops::testing::Failed()) << "call " << n;
        const fileops::testing::TRecord failed = fileops::testing::Record().at(n - 1);
        fileops::testing::Reset();
        const std::string where = "call " + std::to_string(n) + " (" +
                                  fileops::testing::CallName(failed.Call) + " " + failed.Path + ")";
        if (reported) {
            EXPECT_EQ(TreeDifferences(before, SnapshotTree(folder)), "") << where;
            continue;
        }
        // A removal, or the flush after versions or their replaced copies were given up, that
        // does not reach the disk leaves a leftover for the next save to take away.
        const bool removal = failed.Call == TCall::Unlink || failed.Call == TCall::RemoveFolder;
        const bool historyFlush = failed.Path.starts_with(HistoryFolder(folder).string()) &&
                                  failed.Call != TCall::CreateUnique && failed.Call != TCall::Write;
        EXPECT_TRUE(removal || historyFlush) << where << ": the failure was ignored";
        RemoveSaveLeftovers(folder);
        EXPECT_EQ(TreeDifferences(after, SnapshotTree(folder)), "") << where;
    }
}

}  // namespace

TEST_F(CardHistoryTest, AFailureAtAnyStepOfUndoRedoRestoreOrAFullHistoryLeavesEveryFile) {
    // Three versions after the empty list: a.jpg registered, replaced under its name, and a
    // second card with b.jpg; then one undo, so that there is something to redo.
    auto build = [&](int changes, bool undoLast) {
        fs::remove_all(m_folder);
        fs::create_directories(m_image);
        WriteCardList({}, m_folder);
        SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "1", "", false, ""},
                 Replace("a.jpg", kPhoto), kKeep);
        SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, Cards()[0], Replace("a.jpg", kGray),
                 kKeep);
        SaveCard(m_folder, AsReadNow(m_folder, Cards()), std::nullopt, {"", "", "2", "", false, ""},
                 Replace("b.jpg", kCmyk), kRemove);
        for (int i = 3; i < changes; ++i)
            SaveCards(m_folder, {{"", "", std::to_string(i), "", false, ""}});
        if (undoLast) Undo(m_folder);
    };
    struct {
        const char* name;
        std::function<void()> setup, action;
    } cases[] = {
        {"undo of a replaced picture", [&] { build(3, true); }, [&] { Undo(m_folder); }},
        {"redo", [&] { build(3, true); }, [&] { Redo(m_folder); }},
        {"restore of the first card", [&] { build(3, true); },
         [&] { RestoreVersion(m_folder, ListHistory(m_folder).at(2).Version); }},
        {"a save that ends the redo", [&] { build(3, true); },
         [&] {
             SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, Cards()[0],
                      Replace("c.jpg", kPhoto), kKeep);
         }},
        {"a save into a full history",
         [&] { build(static_cast<int>(kKeptPreviousVersions) + 2, false); },
         [&] {
             SaveCard(m_folder, AsReadNow(m_folder, Cards()), 0, Cards()[0],
                      Replace("c.jpg", kPhoto), kKeep);
         }},
    };
    // Once as on most file systems, once without hard links (FAT, say), where the history keeps
    // flushed copies.
    for (const bool links : {true, false})
        for (const auto& [name, setup, action] : cases) {
            SCOPED_TRACE(std::string(name) + (links ? "" : ", without hard links"));
            ExpectEveryFailureLeavesEverythingAsItWas(m_folder, links, setup, action);
        }
}
