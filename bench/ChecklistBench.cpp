// The checklist import on 10,000 rows: the dialog's preview (read, map, plan against a card type
// of 10,000 cards) and the merge that saves it, beside the baselines of the same run: reading
// the card list alone and saving it unchanged through the card store (what any change costs).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>

#include "BenchSupport.h"
#include "cardlist/CardExport.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "checklist/ChecklistImport.h"
#include "save/CardStore.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCards = 10'000;

TCardInfos MakeCards(int count) {
    TCardInfos cards(count);
    for (int i = 0; i < count; ++i) {
        cards[i].Number = std::to_string(i + 1);
        cards[i].Title = *cp932::FromUtf8("炎の剣士 " + std::to_string(i + 1));
        cards[i].Comment = *cp932::FromUtf8("初版 プロモ");
    }
    return cards;
}

// 10,000 rows as a spreadsheet saves them: 9,000 match a card (a third of them owned now, each
// with a rarity), 1,000 are new.
fs::path ChecklistFile() {
    const fs::path file = BenchFolder("checklist") / "checklist.csv";
    if (fs::exists(file)) return file;
    std::ofstream out(file, std::ios::binary);
    out << "番号,カード名,レアリティ,所持\r\n";
    for (int i = 0; i < kCards; ++i) {
        const int number = i < 9'000 ? i + 1 : kCards + i;
        out << number << ",炎の剣士 " << number << ",\"RR, 2進化\"," << (i % 3 == 0 ? "○" : "")
            << "\r\n";
    }
    return file;
}

fs::path FreshCardType() {
    const fs::path program = BenchFolder("checklist-program");
    fs::remove_all(program / "t");
    CreateCardType(program, "t");
    WriteCardList(MakeCards(kCards), program / "t");
    return program / "t";
}

TChecklistRows Rows(const fs::path& file) {
    const TTable table = ReadTableFile(file, {});
    return ChecklistRowsOf(table, GuessMapping(table));
}

void PeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_PreviewOf10000Rows(benchmark::State& state) {
    const fs::path file = ChecklistFile();
    const TCardInfos cards = MakeCards(kCards);
    for (auto _ : state) {
        TChecklistPlan plan = PlanChecklistMerge(cards, Rows(file));
        benchmark::DoNotOptimize(plan);
    }
    PeakMemory(state);
}

void BM_MergeOf10000RowsInto10000Cards(benchmark::State& state) {
    const fs::path file = ChecklistFile();
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = FreshCardType();
        state.ResumeTiming();
        TChecklistPlan plan = MergeChecklist(folder, Rows(file));
        benchmark::DoNotOptimize(plan);
    }
    PeakMemory(state);
}

void BM_ImportOf10000RowsAsNewCardType(benchmark::State& state) {
    const fs::path file = ChecklistFile();
    const fs::path program = BenchFolder("checklist-new");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(program / "n");
        state.ResumeTiming();
        ImportChecklistAsCardType(program, "n", Rows(file));
    }
    PeakMemory(state);
}

// Baselines: the card list read, and saved unchanged through the card store.
void BM_BaselineReadCardList(benchmark::State& state) {
    const fs::path folder = FreshCardType();
    for (auto _ : state) {
        TCardInfos cards;
        ReadCardList(folder / kCardListFileName, cards);
        benchmark::DoNotOptimize(cards);
    }
    PeakMemory(state);
}

void BM_BaselineSaveCards(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = FreshCardType();
        state.ResumeTiming();
        TCardInfos cards;
        ReadCardList(folder / kCardListFileName, cards);
        benchmark::DoNotOptimize(SaveCards(folder, std::move(cards)));
    }
    PeakMemory(state);
}

}  // namespace

BENCHMARK(BM_BaselineReadCardList)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_PreviewOf10000Rows)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_BaselineSaveCards)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_MergeOf10000RowsInto10000Cards)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_ImportOf10000RowsAsNewCardType)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

BENCHMARK_MAIN();
