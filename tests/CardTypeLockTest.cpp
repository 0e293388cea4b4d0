// The card type lock between processes: writers at once lose nothing, a killed holder blocks
// nobody, and a file system without locks still saves.
#include "save/CardTypeLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "CliRun.h"
#include "TempDir.h"
#include "cardlist/CardList.h"
#include "cardtypes/ConflictCopies.h"
#include "files/PendingFile.h"
#include "save/CardStore.h"

namespace fs = std::filesystem;

namespace {

fs::path MakeCardType(const TempDir& dir) {
    const fs::path folder = dir / "type";
    fs::create_directories(folder / "image");
    WriteCardList({}, folder);
    return folder;
}

// Registers `count` cards as the command-line tool does: the lock held from the read to the
// write, the store taking it again inside.
void Register(const fs::path& folder, const std::string& prefix, int count) {
    for (int i = 0; i < count; ++i) {
        TCardTypeLock lock(folder);
        TCardsAsRead read = ReadCardsAsRead(folder);
        TCardInfo card;
        card.Number = prefix + std::to_string(i);
        SaveCard(folder, std::move(read), std::nullopt, card, {}, {});
    }
}

pid_t Fork(const std::function<void()>& child) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            child();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CardTypeLockTest, TwoProcessesAddingAtOnceLoseNoCard) {
    TempDir dir{MemoryTempBase()};  // 400 saves, each flushed
    const fs::path folder = MakeCardType(dir);
    const pid_t a = Fork([&] { Register(folder, "a", 200); });
    const pid_t b = Fork([&] { Register(folder, "b", 200); });
    EXPECT_EQ(ExitCode(a), 0);
    EXPECT_EQ(ExitCode(b), 0);
    std::set<std::string> numbers;
    for (const TCardInfo& card : ReadCardsAsRead(folder).Cards) numbers.insert(card.Number);
    EXPECT_EQ(numbers.size(), 400u);
}

TEST(CardTypeLockTest, AKilledHolderDoesNotBlockTheNextSave) {
    TempDir dir;
    const fs::path folder = MakeCardType(dir);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = Fork([&] {
        TCardTypeLock lock(folder);
        (void)!::write(ready[1], "x", 1);
        ::pause();
    });
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ::kill(holder, SIGKILL);
    EXPECT_EQ(ExitCode(holder), -1);
    Register(folder, "n", 1);  // would wait for ever on a lock the kernel kept
    EXPECT_EQ(ReadCardsAsRead(folder).Cards.size(), 1u);
}

TEST(CardTypeLockTest, AFileSystemWithoutLocksStillSaves) {
    TempDir dir;
    const fs::path folder = MakeCardType(dir);
    cardtypelock::testing::RefuseLocks(ENOLCK);
    {
        TCardTypeLock lock(folder);
        EXPECT_FALSE(lock.Held());
        Register(folder, "n", 2);
    }
    cardtypelock::testing::RefuseLocks(0);
    EXPECT_EQ(ReadCardsAsRead(folder).Cards.size(), 2u);
    EXPECT_TRUE(TCardTypeLock(folder).Held());
}

// Names beside the card list: the copies sync tools and merges leave are found, the card list
// itself and the program's own files (the lock among them) are not.
TEST(CardTypeLockTest, ConflictCopiesAreNamedAndTheProgramsOwnFilesAreNot) {
    const std::vector<std::pair<std::string, bool>> names = {
        {"cardlist.sync-conflict-20261209-101010-ABCDEFG.dat", true},
        {"cardlist (conflicted copy 2026-12-09).dat", true},
        {"cardlist.dat.orig", true},
        {"CardList-LAPTOP.dat", true},
        {"cardlist.dat", false},
        {"cardlists.txt", false},
        {"cardlist", false},
        {kCardTypeLockFileName, false},
        {".vastrelle-AbC123", false},
        {".history", false},
    };
    for (const auto& [name, copy] : names) EXPECT_EQ(IsConflictCopyName(name), copy) << name;
    EXPECT_FALSE(IsTemporaryFileName(kCardTypeLockFileName));

    TempDir dir;
    const fs::path folder = MakeCardType(dir);
    {
        TCardTypeLock lock(folder);  // leaves its lock file
    }
    WriteFileBytes(folder / "cardlist (conflicted copy 2026-12-09).dat", "x");
    fs::create_directory(folder / "cardlist.old");  // a folder is no copy
    EXPECT_EQ(FindConflictCopies(folder),
              std::vector<std::string>{"cardlist (conflicted copy 2026-12-09).dat"});
    const CliResult check = RunCli("check " + folder.string());
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.output.find("conflict copy: cardlist (conflicted copy 2026-12-09).dat"),
              std::string::npos)
        << check.output;
}
