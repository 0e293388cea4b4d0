// The history's cost per change: one-card edits through the command-line tool on 1,000, 10,000
// and 100,000 cards, and the size of .history after them. With VASTRELLE_BASELINE_CLI naming an
// older vastrelle-cli, that one makes the same edits on its own copy in the same run, edit for
// edit, so that both meet the same load of the machine.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>

#include "BenchCards.h"
#include "BenchSupport.h"
#include "save/CardHistory.h"

namespace fs = std::filesystem;

namespace {

std::uintmax_t HistoryBytes(const fs::path& folder) {
    std::uintmax_t bytes = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder / ".history", ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_regular_file(ec)) bytes += it->file_size(ec);
    return bytes;
}

struct TSide {
    std::string Name;
    std::string Cli;
    fs::path Folder;
    std::map<std::string, std::vector<double>> Times;  // wall, user, sys in ms; peak in MB
    double LastSave = 0;                               // bytes; below zero when the history shrank
};

// Counters per side (ours, and baseline when given): the medians of each edit's wall, user and
// sys time and peak memory, the history's size after the edits, and what the last edit added;
// then the time to bring the oldest kept version back.
void BM_OneCardEdits(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const int edits = BenchRounds(50) == 1 ? 2 : 50;
    std::vector<TSide> sides{{"ours", VASTRELLE_CLI, {}, {}, 0}};
    if (const char* baseline = std::getenv("VASTRELLE_BASELINE_CLI"))
        sides.push_back({"baseline", baseline, {}, {}, 0});
    for (auto _ : state) {
        for (TSide& side : sides) {
            side.Folder = BenchFolder("history-" + std::to_string(count) + "-" + side.Name);
            fs::remove_all(side.Folder);
            fs::create_directories(side.Folder);
            fs::copy_file(CardTypeFolder(count) / kCardListFileName,
                          side.Folder / kCardListFileName);
        }
        for (int edit = 0; edit < edits; ++edit) {
            const std::string position = std::to_string(1 + (edit * 7919) % count);
            for (TSide& side : sides) {
                const std::uintmax_t before = HistoryBytes(side.Folder);
                const ProcessRun run = RunProcess({side.Cli, "edit", side.Folder.string(), position,
                                                   "--title", "edit " + std::to_string(edit)});
                if (run.exitCode != 0) state.SkipWithError("edit failed");
                side.Times["wall_ms"].push_back(run.seconds * 1000);
                side.Times["user_ms"].push_back(run.userSeconds * 1000);
                side.Times["sys_ms"].push_back(run.sysSeconds * 1000);
                side.Times["peak_MB"].push_back(static_cast<double>(run.maxRssKiB) / 1024);
                side.LastSave =
                    static_cast<double>(HistoryBytes(side.Folder)) - static_cast<double>(before);
            }
        }
        for (TSide& side : sides) {
            const int oldest = ListHistory(side.Folder).back().Version;
            const ProcessRun run =
                RunProcess({side.Cli, "restore", side.Folder.string(), std::to_string(oldest)});
            side.Times["restore_oldest_ms"].push_back(run.seconds * 1000);
        }
    }
    for (TSide& side : sides) {
        for (const auto& [name, values] : side.Times)
            state.counters[side.Name + "_" + name] = Median(values);
        state.counters[side.Name + "_history_MB"] =
            static_cast<double>(HistoryBytes(side.Folder)) / 1e6;
        state.counters[side.Name + "_last_save_kB"] = side.LastSave / 1e3;
    }
    state.counters["card_list_MB"] =
        static_cast<double>(fs::file_size(CardTypeFolder(count) / kCardListFileName)) / 1e6;
}

}  // namespace

BENCHMARK(BM_OneCardEdits)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
