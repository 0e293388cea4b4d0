// Every writer of the command-line tool either finishes or leaves every file as it was: each
// file-system call it makes, reads and listings included, is failed in turn.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "CliRun.h"
#include "Commands.h"
#include "SaveLeftovers.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "files/FileOps.h"
#include "pictures/CardImages.h"
#include "save/CardHistory.h"
#include "save/CardStore.h"
#include "save/HistoryIndex.h"

namespace fs = std::filesystem;
using fileops::testing::TCall;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";

struct TWriter {
    const char* name;
    int (*command)(const Args&);
    std::function<Args(const fs::path& program, const fs::path& templates)> args;
};

// The files as they are, and whether the run reported a failure.
struct TOutcome {
    int exitCode;
    TreeSnapshot tree;
};

class WriterFaultSweepTest : public testing::Test {
protected:
    // The program folder every writer starts from:
    //   type/    two cards registered and the second undone (so there is a redo), and an
    //            orphan picture c.jpg with its thumbnails;
    //   thumbs/  one picture whose small thumbnail is broken;
    //   <旧 in Shift_JIS>/ and 絵だけ/  card types whose folder or picture names are Shift_JIS.
    // Beside it the template castles.template with its picture folder.
    void SetUp() override {
        history::testing::SetNow(1767225600);
        const fs::path type = m_golden / "type";
        fs::create_directories(type / "image");
        WriteCardList({}, type);
        const TSideChange keep;
        SaveCard(type, ReadCardsAsRead(type), std::nullopt, {"", "", "1", "", true, ""},
                 {TSideEdit::Replace, {"a.jpg", ReadFileBytes(kImages / "photo.jpg"), nullptr}},
                 keep);
        SaveCard(type, ReadCardsAsRead(type), std::nullopt, {"", "", "2", "", false, ""},
                 {TSideEdit::Replace, {"b.jpg", ReadFileBytes(kImages / "gray.jpg"), nullptr}},
                 keep);
        Undo(type);
        WriteFileBytes(type / "image" / "c.jpg", ReadFileBytes(kImages / "cmyk.jpg"));
        MakeThumbnails(type / "image", "c.jpg");

        const fs::path thumbs = m_golden / "thumbs";
        fs::create_directories(thumbs / "image");
        WriteCardList({{"d.jpg", "", "1", "", false, ""}}, thumbs);
        WriteFileBytes(thumbs / "image" / "d.jpg", ReadFileBytes(kImages / "photo.jpg"));
        MakeThumbnails(thumbs / "image", "d.jpg");
        WriteFileBytes(thumbs / "image" / "d.thm", "");

        for (const std::string& folder : {Sjis("旧"), std::string("絵だけ")}) {
            fs::create_directories(m_golden / folder / "image");
            WriteCardList({{Sjis("表.jpg"), "", "1", "", false, ""}}, m_golden / folder);
            WriteFileBytes(m_golden / folder / "image" / Sjis("表.jpg"),
                           ReadFileBytes(kImages / "gray.jpg"));
        }

        fs::create_directories(m_templates / "castles");
        WriteCardList({{"e.jpg", "f.jpg", "1", "", false, ""}}, m_templates.Path());
        fs::rename(m_templates / kCardListFileName, m_templates / "castles.template");
        for (const char* name : {"e.jpg", "f.jpg"})
            fs::copy_file(kImages / "photo.jpg", m_templates / "castles" / name);
        m_before = SnapshotTreeWithFolders(m_golden);
    }

    void TearDown() override {
        fileops::testing::Reset();
        history::testing::SetNow(0);
    }

    // Runs the writer in a fresh copy of the program folder, failing call `n` (0: none).
    TOutcome Run(const TWriter& writer, long n, int error) {
        fs::remove_all(m_program);
        fs::copy(m_golden, m_program, fs::copy_options::recursive);
        fileops::testing::FailCall(n, error);
        fileops::testing::IncludeReads();
        const int exitCode =
            RunCommandQuietly(writer.command, writer.args(m_program, m_templates.Path()));
        m_calls = fileops::testing::CallCount();
        m_failed = n > 0 && n <= static_cast<long>(fileops::testing::Record().size())
                       ? std::optional(fileops::testing::Record()[n - 1])
                       : std::nullopt;
        fileops::testing::Reset();
        return {exitCode, SnapshotTreeWithFolders(m_program)};
    }

    // Without what a failed removal after the work was done may leave for the next save.
    TreeSnapshot WithoutLeftovers() {
        for (const char* type : {"type", "thumbs"}) RemoveSaveLeftovers(m_program / type);
        return SnapshotTreeWithFolders(m_program);
    }

    TempDir m_dir{MemoryTempBase()};
    fs::path m_golden = m_dir / "golden";
    fs::path m_program = m_dir / "program";
    TempDir m_templates{MemoryTempBase()};
    TreeSnapshot m_before;
    long m_calls = 0;
    std::optional<fileops::testing::TRecord> m_failed;
};

// The entries of a snapshot under one top-level folder.
TreeSnapshot Under(const TreeSnapshot& tree, const std::string& top) {
    TreeSnapshot part;
    for (const auto& [path, state] : tree)
        if (path == top + "/" || path.starts_with(top + "/")) part.emplace(path, state);
    return part;
}

std::string Top(const std::string& path) { return path.substr(0, path.find('/')); }

// Migration changes each card type on its own: every top-level folder of `after` must be that
// of `before` or that of `result` (a renamed folder counting as the same card type).
std::string MixOfOldAndNew(const TreeSnapshot& before, const TreeSnapshot& result,
                           const TreeSnapshot& after) {
    std::set<std::string> oldTops, newTops;
    for (const auto& entry : before) oldTops.insert(Top(entry.first));
    for (const auto& entry : result) newTops.insert(Top(entry.first));
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> gone, made;
    for (const std::string& top : oldTops)
        if (newTops.count(top))
            pairs.push_back({top, top});
        else
            gone.push_back(top);
    for (const std::string& top : newTops)
        if (!oldTops.count(top)) made.push_back(top);
    if (gone.size() != made.size() || gone.size() > 1) return "more than one folder renamed";
    if (!gone.empty()) pairs.push_back({gone[0], made[0]});
    std::string wrong;
    std::size_t covered = 0;
    for (const auto& [from, to] : pairs) {
        TreeSnapshot part = Under(after, from);
        if (to != from) part.merge(Under(after, to));
        covered += part.size();
        TreeSnapshot old = Under(before, from), renamed = Under(result, to);
        if (part != old && part != renamed) wrong += "half migrated: " + from + "\n";
    }
    if (covered != after.size()) wrong += "entries outside every card type\n";
    return wrong;
}

}  // namespace

TEST_F(WriterFaultSweepTest, EveryWriterFinishesOrLeavesEveryFileAsItWasAtEveryFailedCall) {
    auto inType = [](const std::string& extra) {
        return [extra](const fs::path& p, const fs::path&) {
            Args args = {(p / "type").string()};
            if (!extra.empty()) args.push_back(extra);
            return args;
        };
    };
    const TWriter writers[] = {
        {"import", CmdImport,
         [](const fs::path& p, const fs::path& t) {
             return Args{p.string(), "城", (t / "castles.template").string()};
         }},
        {"undo", CmdUndo, inType("")},
        {"redo", CmdRedo, inType("")},
        {"restore", CmdRestore, inType("1")},
        {"create", CmdCreate,
         [](const fs::path& p, const fs::path&) {
             return Args{p.string(), "新しい種類"};
         }},
        {"migrate", CmdMigrate,
         [](const fs::path& p, const fs::path&) { return Args{p.string()}; }},
        {"check --repair", CmdCheck,
         [](const fs::path& p, const fs::path&) {
             return Args{(p / "thumbs").string(), "--repair"};
         }},
        {"check --remove-orphans", CmdCheck, inType("--remove-orphans")},
    };
    int total = 0;
    for (const TWriter& writer : writers) {
        SCOPED_TRACE(writer.name);
        const TOutcome done = Run(writer, 0, 0);
        ASSERT_EQ(done.exitCode, 0);
        ASSERT_NE(TreeDifferences(m_before, done.tree), "") << "the writer changed nothing";
        const long calls = m_calls;
        int failures = 0, finished = 0;
        for (int error : {EIO, ENOSPC}) {
            for (long n = 1; n <= calls; ++n) {
                const TOutcome run = Run(writer, n, error);
                const std::string where =
                    "call " + std::to_string(n) + " (" +
                    (m_failed ? std::string(fileops::testing::CallName(m_failed->Call)) + " " +
                                    m_failed->Path
                              : std::string("not reached")) +
                    "), errno " + std::to_string(error);
                ++total;
                if (run.exitCode != 0) {
                    ++failures;
                    EXPECT_EQ(run.exitCode, 1) << where;
                    if (std::string(writer.name) == "migrate")
                        EXPECT_EQ(MixOfOldAndNew(m_before, done.tree, run.tree), "") << where;
                    else
                        EXPECT_EQ(TreeDifferences(m_before, run.tree), "") << where;
                    continue;
                }
                ++finished;
                if (TreeDifferences(done.tree, run.tree).empty()) continue;
                // Only the removal of what the work no longer needs may fail unseen.
                const bool removal = m_failed && (m_failed->Call == TCall::Unlink ||
                                                  m_failed->Call == TCall::RemoveFolder);
                EXPECT_TRUE(removal) << where << ": a false success\n"
                                     << TreeDifferences(done.tree, run.tree);
                EXPECT_EQ(TreeDifferences(done.tree, WithoutLeftovers()), "") << where;
            }
        }
        std::printf("%s: %ld calls, %d faults: %d reported and changed nothing, %d finished\n",
                    writer.name, calls, failures + finished, failures, finished);
    }
    RecordProperty("faults", total);
}
