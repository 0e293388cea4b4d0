// A writer killed at any moment leaves the old file or the new one, whole, never a mix or a
// truncation: a child rewrites the file over and over and is killed with SIGKILL at random.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>

#include "CardsAsRead.h"
#include "TempDir.h"
#include "cardlist/CardList.h"
#include "cardtypes/Settings.h"
#include "files/VastrelleError.h"
#include "pictures/CardImages.h"
#include "save/CardHistory.h"
#include "save/CardStore.h"
#include "save/HistoryIndex.h"
#include "save/VersionStore.h"

namespace fs = std::filesystem;

namespace {

constexpr int kKills = 200;

TCardInfos Cards(std::size_t count, const std::string& title) {
    TCardInfos cards(count);
    for (std::size_t i = 0; i < count; ++i) {
        cards[i].Number = std::to_string(i + 1);
        cards[i].Title = Sjis(title) + std::to_string(i);
        cards[i].Comment = Sjis("コメント\r\n二行目 50%");
        cards[i].FrontImageFileName = std::to_string(i) + ".jpg";
        cards[i].Owned = i % 3 == 0;
    }
    return cards;
}

// Outcome of the kills: how often the old and the new file were found.
struct KillCounts {
    int oldFound = 0;
    int newFound = 0;
    int tempFilesLeft = 0;  // hidden temporary files of killed writes, removed after each kill
};

// Runs writeNew and writeOld alternately in a child and kills it after a random delay, kKills
// times; after each kill `check` names what it found ("old", "new" or anything else, a failure).
KillCounts KillWhileWriting(const fs::path& folder, const std::function<void()>& writeOld,
                            const std::function<void()>& writeNew,
                            const std::function<std::string()>& check) {
    writeOld();
    // A delay of up to four rewrites lets kills land anywhere in a write and between writes.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) writeNew(), writeOld();
    const auto rewrite = (std::chrono::steady_clock::now() - start) / 10;
    std::mt19937 random(20240611);
    long most = std::chrono::duration_cast<std::chrono::microseconds>(rewrite).count() * 4 + 200;

    KillCounts counts;
    for (int kill = 0; kill < kKills; ++kill) {
        // A machine loaded by other tests writes slower than it did when timed: kills that all
        // land before the first write ends would never see the other state.
        if (kill > 0 && kill % 40 == 0 && (counts.oldFound == 0 || counts.newFound == 0)) most *= 2;
        std::uniform_int_distribution<long> delay(0, most);
        pid_t pid = ::fork();
        if (pid == 0) {
            try {
                for (;;) writeNew(), writeOld();
            } catch (...) {
            }
            ::_exit(1);  // a write that failed is no crash test
        }
        if (pid < 0) {
            ADD_FAILURE() << "no fork";
            return counts;
        }
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            ADD_FAILURE() << "the writer failed";
            return counts;
        }
        const std::string found = check();
        if (found != "old" && found != "new") {
            ADD_FAILURE() << "after kill " << kill << ": " << found;
            return counts;
        }
        ++(found == "old" ? counts.oldFound : counts.newFound);
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.path().filename().string().starts_with(".")) continue;
            fs::remove(entry.path());
            ++counts.tempFilesLeft;
        }
    }
    return counts;
}

// What a kill must never leave in a card type: a card list naming a picture or thumbnail that is
// not there, or a history index that does not read or names a version that is not whole.
// Returns "" when all is well, else what is wrong; `cards` gets the card list read.
std::string Inconsistency(const fs::path& folder, TCardInfos& cards) {
    ReadCardList(folder / kCardListFileName, cards);
    for (const TCardInfo& card : cards)
        for (const std::string& name : {card.FrontImageFileName, card.BackImageFileName}) {
            if (name.empty()) continue;
            for (const std::string& file :
                 {name, ReplaceExtension(name, ".thm"), ReplaceExtension(name, ".thm_large")})
                if (!fs::is_regular_file(folder / "image" / file) ||
                    fs::file_size(folder / "image" / file) == 0)
                    return "the card list names " + file + ", which is not there";
        }
    const std::optional<THistoryIndex> index = ReadHistoryIndex(folder);
    if (!index) return "a history index that does not read";
    for (const THistoryVersion& version : index->Versions) {
        TCardInfos kept;
        try {
            ReadCardListBytes(ReadVersionBytes(folder, *index, version.Number), folder, kept);
        } catch (const std::exception& e) {
            return "version " + std::to_string(version.Number) + " is not whole: " + e.what();
        }
    }
    return "";
}

}  // namespace

TEST(CrashConsistency, KilledCardListWriterLeavesTheOldOrTheNewFileWhole) {
    TempDir dir;
    const TCardInfos oldCards = Cards(3, "古いカード");
    const TCardInfos newCards = Cards(2000, "新しいカード");
    const std::string oldText = CardListText(oldCards);
    const std::string newText = CardListText(newCards);
    const KillCounts counts = KillWhileWriting(
        dir.Path(), [&] { WriteCardList(oldCards, dir.Path()); },
        [&] { WriteCardList(newCards, dir.Path()); },
        [&]() -> std::string {
            const std::string bytes = ReadFileBytes(dir / kCardListFileName);
            TCardInfos cards;
            ReadCardList(dir / kCardListFileName, cards);
            if (bytes == oldText && cards == oldCards) return "old";
            if (bytes == newText && cards == newCards) return "new";
            return "a file of " + std::to_string(bytes.size()) + " bytes and " +
                   std::to_string(cards.size()) + " cards";
        });
    std::printf("card list: %d kills survived (old file %d, new file %d, temporary files %d)\n",
                kKills, counts.oldFound, counts.newFound, counts.tempFilesLeft);
    EXPECT_GT(counts.oldFound, 0);
    EXPECT_GT(counts.newFound, 0);
}

TEST(CrashConsistency, KilledSettingsWriterLeavesTheOldOrTheNewFileWhole) {
    TempDir dir;
    const fs::path ini = dir / kSettingsFileName;
    // Lines of other programs' keys must survive too; the padding makes each write take longer.
    WriteFileBytes(ini, "; mine\r\n[other]\r\nkey=" + std::string(200000, 'x') + "\r\n");
    const std::string oldName = Sjis("古い種類");
    const std::string newName = Sjis("新しい種類の長い名前");
    const ViewChecks oldView = {true, false, false, false, false};
    const ViewChecks newView = {false, false, false, false, true};
    auto writeOld = [&] { WriteSettings(dir.Path(), oldName, oldView); };
    auto writeNew = [&] { WriteSettings(dir.Path(), newName, newView); };
    writeNew();
    const std::string newText = ReadFileBytes(ini);
    writeOld();
    const std::string oldText = ReadFileBytes(ini);
    const KillCounts counts =
        KillWhileWriting(dir.Path(), writeOld, writeNew, [&]() -> std::string {
            const std::string bytes = ReadFileBytes(ini);
            const TSettings read = ReadSettings(dir.Path(), {});
            if (bytes == oldText && read.CardName == oldName &&
                read.CheckedView == ViewItem::Detail)
                return "old";
            if (bytes == newText && read.CardName == newName &&
                read.CheckedView == ViewItem::TitleBackImgLarge)
                return "new";
            return "a file of " + std::to_string(bytes.size()) + " bytes";
        });
    std::printf("settings: %d kills survived (old file %d, new file %d, temporary files %d)\n",
                kKills, counts.oldFound, counts.newFound, counts.tempFilesLeft);
    EXPECT_GT(counts.oldFound, 0);
    EXPECT_GT(counts.newFound, 0);
}

// A card save killed at any moment leaves a card list that names only pictures that exist, with
// their thumbnails: a new name is in place before the card list names it, and a name that is
// replaced keeps its old bytes until then.
TEST(CrashConsistency, KilledCardSaveLeavesACardListNamingOnlyPicturesThatExist) {
    TempDir dir{MemoryTempBase()};
    const fs::path folder = dir / "type";
    const fs::path image = folder / "image";
    fs::create_directories(image);
    const fs::path images = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";
    const std::string photo = ReadFileBytes(images / "photo.jpg");
    const std::string gray = ReadFileBytes(images / "gray.jpg");
    const std::string progressive = ReadFileBytes(images / "progressive.jpg");
    // Old: a.jpg and b.jpg; new: c.jpg (a new name) and b.jpg with other bytes.
    const TCardInfos oldCards = {{"a.jpg", "b.jpg", "1", "card", true, ""}};
    const TCardInfos newCards = {{"c.jpg", "b.jpg", "1", "card", true, ""}};
    auto saveAs = [&](const std::string& front, const std::string& frontBytes,
                      const std::string& backBytes) {
        TCardInfos cards;
        ReadCardList(folder / kCardListFileName, cards);
        SaveCard(folder, AsReadNow(folder, cards), 0, cards.at(0),
                 {TSideEdit::Replace, {front, frontBytes, nullptr}},
                 {TSideEdit::Replace, {"b.jpg", backBytes, nullptr}});
    };
    WriteCardList(oldCards, folder);
    const KillCounts counts = KillWhileWriting(
        image, [&] { saveAs("a.jpg", photo, gray); }, [&] { saveAs("c.jpg", progressive, photo); },
        [&]() -> std::string {
            TCardInfos cards;
            if (std::string wrong = Inconsistency(folder, cards); !wrong.empty()) return wrong;
            const bool isOld = cards == oldCards;
            if (!isOld && cards != newCards) return "a card list of neither state";
            // The front changes its name, so its bytes are the new ones once it is named.
            if (ReadFileBytes(image / cards[0].FrontImageFileName) != (isOld ? photo : progressive))
                return "the front picture has the wrong bytes";
            return isOld ? "old" : "new";
        });
    std::printf("card save: %d kills survived (old %d, new %d, temporary files %d)\n", kKills,
                counts.oldFound, counts.newFound, counts.tempFilesLeft);
    EXPECT_GT(counts.oldFound, 0);
    EXPECT_GT(counts.newFound, 0);
}

// Undo and redo killed at any moment leave the card list of one of the two versions, naming only
// pictures that exist, and a history whose index names only whole versions; a kill between the
// card list and the index leaves a card list that the next undo takes for a change made outside
// the history.
TEST(CrashConsistency, KilledUndoAndRedoLeaveAConsistentCardTypeAndHistory) {
    TempDir dir{MemoryTempBase()};
    const fs::path folder = dir / "type";
    const fs::path image = folder / "image";
    fs::create_directories(image);
    const fs::path images = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";
    WriteCardList({}, folder);
    SaveCard(folder, AsReadNow(folder, {}), std::nullopt, {"", "", "1", "card", true, ""},
             {TSideEdit::Replace, {"a.jpg", ReadFileBytes(images / "photo.jpg"), nullptr}},
             {TSideEdit::Replace, {"b.jpg", ReadFileBytes(images / "gray.jpg"), nullptr}});
    const TCardInfos oldCards = {{"a.jpg", "b.jpg", "1", "card", true, ""}};
    TCardInfos cards;
    ReadCardList(folder / kCardListFileName, cards);
    SaveCard(folder, AsReadNow(folder, cards), 0, cards[0],
             {TSideEdit::Replace, {"c.jpg", ReadFileBytes(images / "cmyk.jpg"), nullptr}},
             {TSideEdit::Replace, {"b.jpg", ReadFileBytes(images / "progressive.jpg"), nullptr}});
    const TCardInfos newCards = {{"c.jpg", "b.jpg", "1", "card", true, ""}};
    auto quietly = [](const std::function<void()>& step) {
        try {
            step();
        } catch (const VastrelleError&) {  // nothing to undo or redo after a kill in between
        }
    };
    const KillCounts counts = KillWhileWriting(
        image, [&] { quietly([&] { Undo(folder); }); }, [&] { quietly([&] { Redo(folder); }); },
        [&]() -> std::string {
            TCardInfos read;
            if (std::string wrong = Inconsistency(folder, read); !wrong.empty()) return wrong;
            if (read == oldCards) return "old";
            if (read == newCards) return "new";
            return "a card list of neither version";
        });
    std::printf("undo and redo: %d kills survived (old %d, new %d, temporary files %d)\n", kKills,
                counts.oldFound, counts.newFound, counts.tempFilesLeft);
    EXPECT_GT(counts.oldFound, 0);
    EXPECT_GT(counts.newFound, 0);
}
