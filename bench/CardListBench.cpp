// Card list reader and writer on 10,000 and 100,000 realistic cards, against libxml2's own
// streaming parse (xmllint --stream), a plain conversion (iconv) and a plain fsync'd copy (dd) of
// the same file. The reader runs with its fast path and through the parser alone, also on files
// the fast path leaves to the parser at once (a comment before the cards) or only at their end (a
// comment after them).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

#include "BenchCards.h"
#include "BenchSupport.h"
#include "cardlist/CardCount.h"
#include "cardlist/CardList.h"
#include "text/Cp932.h"

namespace {

enum Shape { kWritten, kCommentFirst, kCommentLast };
constexpr const char* kShapeNames[] = {"written", "comment-first", "comment-last"};

// The writer's file, or the same with a comment that the fast path leaves to the parser.
std::filesystem::path CardListFile(int count, int shape) {
    auto written = CardTypeFolder(count) / kCardListFileName;
    if (shape == kWritten) return written;
    auto file = BenchFolder("cards-" + std::to_string(count) + "-" + kShapeNames[shape]) /
                kCardListFileName;
    if (!std::filesystem::exists(file)) {
        std::ifstream in(written, std::ios::binary);
        std::string text(std::istreambuf_iterator<char>(in), {});
        if (shape == kCommentFirst)
            text.insert(text.find('\n') + 1, "<!-- hand-edited -->\r\n");
        else
            text += "<!-- hand-edited -->\r\n";
        std::ofstream(file, std::ios::binary) << text;
    }
    return file;
}

template <void (*Read)(const std::filesystem::path&, TCardInfos&, TCardListIdentity*)>
void BM_Reader(benchmark::State& state) {
    auto file = CardListFile(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        TCardInfos cards;
        Read(file, cards, nullptr);
        benchmark::DoNotOptimize(cards.data());
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
    state.SetLabel(kShapeNames[state.range(1)]);
}

void BM_CountCardList(benchmark::State& state) {
    auto file = CardListFile(static_cast<int>(state.range(0)), kWritten);
    for (auto _ : state) benchmark::DoNotOptimize(CountCardList(file).Owned);
}

void BM_Iconv(benchmark::State& state) {
    auto file = CardTypeFolder(static_cast<int>(state.range(0))) / kCardListFileName;
    double cpu = 0;
    for (auto _ : state) {
        ProcessRun run = RunProcess({"iconv", "-f", "CP932", "-t", "UTF-8", file.string()});
        state.SetIterationTime(run.seconds);
        cpu += run.cpuSeconds;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}

void BM_XmllintStream(benchmark::State& state) {
    auto file = CardTypeFolder(static_cast<int>(state.range(0))) / kCardListFileName;
    double cpu = 0;
    for (auto _ : state) {
        ProcessRun run = RunProcess({"xmllint", "--stream", "--noout", file.string()});
        state.SetIterationTime(run.seconds);
        cpu += run.cpuSeconds;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}

void BM_CliStatus(benchmark::State& state) {
    auto folder = CardTypeFolder(static_cast<int>(state.range(0)));
    long rss = 0;
    double cpu = 0;
    for (auto _ : state) {
        ProcessRun run = RunProcess({VASTRELLE_CLI, "status", folder.string()});
        state.SetIterationTime(run.seconds);
        rss = std::max(rss, run.maxRssKiB);
        cpu += run.cpuSeconds;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
    state.counters["peak_MB"] = static_cast<double>(rss) / 1024.0;
}

// Whole processes on the 100,000-card file, paired: each iteration runs every command once, in
// turn, so that a busy machine slows them alike. Counters: the median CPU (user + system) and
// wall milliseconds of each, the peak memory of `vastrelle-cli status`, and the ratios. With
// VASTRELLE_BASELINE_CLI naming an older vastrelle-cli, that one runs too, on the writer's file
// and on the two files the fast path leaves to the parser.
void BM_PairedProcesses(benchmark::State& state) {
    auto folder = CardTypeFolder(100000);
    auto file = folder / kCardListFileName;
    std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"status", {VASTRELLE_CLI, "status", folder.string()}},
        {"iconv", {"iconv", "-f", "CP932", "-t", "UTF-8", file.string()}},
        {"xmllint", {"xmllint", "--stream", "--noout", file.string()}},
        {"cat", {"cat", file.string()}},
    };
    for (int shape : {kCommentFirst, kCommentLast})
        commands.push_back(
            {std::string("status_") + kShapeNames[shape],
             {VASTRELLE_CLI, "status", CardListFile(100000, shape).parent_path().string()}});
    if (const char* baseline = std::getenv("VASTRELLE_BASELINE_CLI")) {
        commands.push_back({"baseline", {baseline, "status", folder.string()}});
        for (int shape : {kCommentFirst, kCommentLast})
            commands.push_back(
                {std::string("baseline_") + kShapeNames[shape],
                 {baseline, "status", CardListFile(100000, shape).parent_path().string()}});
    }
    std::map<std::string, std::vector<double>> cpu, wall;
    long statusPeakKiB = 0, baselinePeakKiB = 0;
    for (auto _ : state) {
        for (const auto& [name, argv] : commands) {
            ProcessRun run = RunProcess(argv);
            cpu[name].push_back(run.cpuSeconds * 1000);
            wall[name].push_back(run.seconds * 1000);
            if (name == "status") statusPeakKiB = std::max(statusPeakKiB, run.maxRssKiB);
            if (name == "baseline") baselinePeakKiB = std::max(baselinePeakKiB, run.maxRssKiB);
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
    };
    for (const auto& [name, argv] : commands) {
        state.counters[name + "_cpu_ms"] = median(cpu[name]);
        state.counters[name + "_wall_ms"] = median(wall[name]);
    }
    auto ratio = [&](const std::string& a, const std::string& b) {
        state.counters[a + "/" + b + "_cpu"] = median(cpu[a]) / median(cpu[b]);
        state.counters[a + "/" + b + "_wall"] = median(wall[a]) / median(wall[b]);
    };
    ratio("status", "xmllint");
    ratio("status", "iconv");
    state.counters["status_peak_MB"] = static_cast<double>(statusPeakKiB) / 1024.0;
    if (baselinePeakKiB > 0) {
        state.counters["baseline_peak_MB"] = static_cast<double>(baselinePeakKiB) / 1024.0;
        ratio("status", "baseline");
        for (int shape : {kCommentFirst, kCommentLast})
            ratio(std::string("status_") + kShapeNames[shape],
                  std::string("baseline_") + kShapeNames[shape]);
    }
}

void BM_Writer(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    TCardInfos cards = MakeCards(count);
    auto folder = BenchFolder("write-" + std::to_string(count));
    for (auto _ : state) WriteCardList(cards, folder);
}

void BM_DdFsync(benchmark::State& state) {
    auto file = CardTypeFolder(static_cast<int>(state.range(0))) / kCardListFileName;
    auto copy = BenchFolder("dd") / "copy.dat";
    for (auto _ : state)
        state.SetIterationTime(
            RunProcess({"dd", "if=" + file.string(), "of=" + copy.string(), "bs=1M", "conv=fsync"})
                .seconds);
}

}  // namespace

void ShapeArgs(benchmark::internal::Benchmark* b) {
    b->Args({10000, kWritten});
    for (int shape : {kWritten, kCommentFirst, kCommentLast}) b->Args({100000, shape});
}

BENCHMARK_TEMPLATE(BM_Reader, ReadCardList)->Apply(ShapeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Reader, ReadCardListByParser)
    ->Apply(ShapeArgs)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountCardList)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iconv)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmllintStream)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliStatus)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PairedProcesses)->Iterations(BenchRounds(11))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Writer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdFsync)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
