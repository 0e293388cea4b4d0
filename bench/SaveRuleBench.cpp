// What the save rule costs: an owned toggle saved at 100,000 cards with the identity check (the
// lock, the file read and hashed before the save, the written bytes hashed) against the same save
// without it, in the same run. Pairs interleaved at random; compare the medians of CPU time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <random>

#include "BenchCards.h"
#include "BenchSupport.h"
#include "cardlist/CardList.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"

namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

void BM_ToggleSave(benchmark::State& state) {
    const bool checked = state.range(1) != 0;
    const std::filesystem::path folder =
        BenchFolder("save-rule-" + std::to_string(state.range(0)) + (checked ? "-checked" : ""));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    WriteCardList(MakeCards(static_cast<int>(state.range(0))), folder);
    TCardsAsRead read = ReadCardsAsRead(folder);
    double user = 0, sys = 0;
    std::size_t toggled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Each save starts from an empty history, so that the kept versions do not pile up.
        std::filesystem::remove_all(folder / ".history");
        TCardsAsRead copy = read;
        TCardInfo card = copy.Cards[toggled];
        card.Owned = !card.Owned;
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        state.ResumeTiming();
        if (checked) {
            read = SaveCardEdits(folder, std::move(copy), {{toggled, card}});
        } else {
            // As the store does: the status of the list replaced spares the history a read.
            std::size_t owned = 0;
            for (const TCardInfo& c : copy.Cards) owned += c.Owned ? 1 : 0;
            copy.Cards[toggled] = card;
            TCardChange change;
            change.ReplacedStatus = StatusLineText(owned, copy.Cards.size());
            change.Cards = std::move(copy.Cards);
            SaveCardChange(folder, change);
            read.Cards = std::move(change.Cards);
        }
        state.PauseTiming();
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        user += Seconds(after.ru_utime) - Seconds(before.ru_utime);
        sys += Seconds(after.ru_stime) - Seconds(before.ru_stime);
        toggled = (toggled + 1) % read.Cards.size();
        state.ResumeTiming();
    }
    state.counters["user_ms"] = benchmark::Counter(user * 1000 / state.iterations());
    state.counters["sys_ms"] = benchmark::Counter(sys * 1000 / state.iterations());
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    state.counters["peak_rss_MiB"] = benchmark::Counter(self.ru_maxrss / 1024.0);
    state.SetLabel(checked ? "with the identity check" : "baseline: no check");
    std::filesystem::remove_all(folder);
}

// The check alone, as a save does it before writing: the lock, then the file read and hashed.
void BM_IdentityCheck(benchmark::State& state) {
    const std::filesystem::path folder = BenchFolder("identity-" + std::to_string(state.range(0)));
    if (!std::filesystem::exists(folder / kCardListFileName))
        WriteCardList(MakeCards(static_cast<int>(state.range(0))), folder);
    for (auto _ : state) {
        TCardTypeLock lock(folder);
        benchmark::DoNotOptimize(CardListIdentityOf(folder / kCardListFileName));
    }
    state.SetBytesProcessed(
        state.iterations() *
        static_cast<std::int64_t>(std::filesystem::file_size(folder / kCardListFileName)));
}

}  // namespace

BENCHMARK(BM_IdentityCheck)->Arg(100000)->Repetitions(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToggleSave)
    ->ArgsProduct({{100000}, {0, 1}})
    ->Iterations(5)
    ->Repetitions(9)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
