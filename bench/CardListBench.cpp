// Card list reader and writer on 10,000 and 100,000 realistic cards, against libxml2's own
// streaming parse (xmllint --stream) and a plain fsync'd copy (dd) of the same file.
#include <benchmark/benchmark.h>

#include <random>

#include "BenchSupport.h"
#include "CardList.h"
#include "Cp932.h"

namespace {

const char* const kWords[] = {"ピカチュウ", "リザードン", "フシギダネ",   "ミュウツー", "【ホロ】",
                              "初版",       "限定",       "プロモ",       "キラ",       "ＳＲ",
                              "美品",       "傷あり",     "スリーブ保管", "交換用",     "２枚目",
                              "箱出し",     "未開封",     "サイン入り",   "大会配布"};

std::string Words(std::mt19937& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += kWords[random() % std::size(kWords)];
    return *cp932::FromUtf8(text);
}

// About 330 bytes a card in the file.
TCardInfos MakeCards(int count) {
    std::mt19937 random(42);
    TCardInfos cards(count);
    for (int i = 0; i < count; ++i) {
        TCardInfo& card = cards[i];
        card.Number = std::to_string(i + 1);
        card.Title = Words(random, 4);
        card.Comment = Words(random, 6);
        card.FrontImageFileName = "front_" + std::to_string(i + 1) + ".jpg";
        card.BackImageFileName = "back_" + std::to_string(i + 1) + ".jpg";
        card.Owned = random() % 3 == 0;
    }
    return cards;
}

std::filesystem::path CardTypeFolder(int count) {
    auto folder = BenchFolder("cards-" + std::to_string(count));
    if (!std::filesystem::exists(folder / kCardListFileName))
        WriteCardList(MakeCards(count), folder);
    return folder;
}

void BM_Reader(benchmark::State& state) {
    auto file = CardTypeFolder(static_cast<int>(state.range(0))) / kCardListFileName;
    for (auto _ : state) {
        TCardInfos cards;
        ReadCardList(file, cards);
        benchmark::DoNotOptimize(cards.data());
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
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

BENCHMARK(BM_Reader)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmllintStream)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliStatus)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Writer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdFsync)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
