// Counting every card type of a program folder of 50 card types of 1,000 realistic cards: the
// core's count, against reading the same files into card arrays (the baseline), and the whole
// `vastrelle-cli overview` process.
#include <benchmark/benchmark.h>

#include <random>

#include "BenchSupport.h"
#include "cardlist/CardCount.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "text/Cp932.h"

namespace {

constexpr int kCardTypes = 50;
constexpr int kCardsEach = 1000;

std::filesystem::path ProgramFolder() {
    auto folder = BenchFolder("overview-50x1000");
    if (std::filesystem::exists(folder / "type49" / kCardListFileName)) return folder;
    std::mt19937 random(7);
    const std::string title = *cp932::FromUtf8("ピカチュウ【ホロ】限定プロモ");
    const std::string comment = *cp932::FromUtf8("美品・スリーブ保管、交換用の２枚目");
    for (int type = 0; type < kCardTypes; ++type) {
        TCardInfos cards(kCardsEach);
        for (int i = 0; i < kCardsEach; ++i) {
            cards[i].Number = "SV-" + std::to_string(i + 1);
            cards[i].Title = title;
            cards[i].Comment = comment;
            cards[i].FrontImageFileName = "front_" + std::to_string(i) + ".jpg";
            cards[i].BackImageFileName = "back_" + std::to_string(i) + ".jpg";
            cards[i].Owned = random() % 2 == 0;
        }
        auto cardType = folder / ("type" + std::to_string(type));
        std::filesystem::create_directories(cardType / "image");
        WriteCardList(cards, cardType);
    }
    return folder;
}

void BM_CountCardTypes(benchmark::State& state) {
    auto folder = ProgramFolder();
    for (auto _ : state) benchmark::DoNotOptimize(CountCardTypes(folder).size());
}

void BM_ReadEveryCardList_Baseline(benchmark::State& state) {
    auto folder = ProgramFolder();
    for (auto _ : state) {
        std::size_t total = 0;
        for (const std::string& name : ListCardTypes(folder)) {
            TCardInfos cards;
            ReadCardList(folder / name / kCardListFileName, cards);
            total += cards.size();
        }
        benchmark::DoNotOptimize(total);
    }
}

void BM_OverviewCommand(benchmark::State& state) {
    auto folder = ProgramFolder().string();
    for (auto _ : state) {
        ProcessRun run = RunProcess({VASTRELLE_CLI, "overview", folder});
        state.SetIterationTime(run.seconds);
        state.counters["cpu_ms"] = run.cpuSeconds * 1000;
    }
}

}  // namespace

BENCHMARK(BM_CountCardTypes)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadEveryCardList_Baseline)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OverviewCommand)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
