// The main window following another program's change of the card list, offscreen: from the end
// of the other program's write until the list shows the change and has painted, at 10,000
// cards. The baseline
// in the same run is the list refresh of the same card type (RefreshList). Both report the
// process's user and system time per round beside the wall time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "CardListView.h"
#include "CardTypeDocument.h"
#include "Main.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCards = 10000;

class BenchFolder {
public:
    BenchFolder() {
        fs::create_directories(Folder() / "image");
        m_cards.resize(kCards);
        for (int i = 0; i < kCards; ++i) {
            TCardInfo& card = m_cards[static_cast<std::size_t>(i)];
            card.Number = std::to_string(i + 1);
            card.Title = "\x83\x4a\x81\x5b\x83\x68 " + std::to_string(i + 1);  // カード n
            card.Comment = "comment";
            card.Owned = i % 3 == 0;
        }
        WriteCardList(m_cards, Folder());
        std::ofstream(Path() / "setting.ini", std::ios::binary)
            << "[lastsetting]\r\ncardname=cards\r\n[layout]\r\ndetail=1\r\n";
    }
    fs::path Path() const { return m_dir.path().toStdString(); }
    fs::path Folder() const { return Path() / "cards"; }
    // Another program's save: one owned mark changed, the file replaced.
    void ChangeOutside(int round) {
        TCardInfo& card = m_cards[static_cast<std::size_t>(round % kCards)];
        card.Owned = !card.Owned;
        WriteCardList(m_cards, Folder());
    }

private:
    QTemporaryDir m_dir;
    TCardInfos m_cards;
};

struct TCpu {
    double User = 0, Sys = 0;
    static TCpu Now() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
        return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
    }
};

void SetCounters(benchmark::State& state, TCpu start) {
    TCpu end = TCpu::Now();
    double rounds = static_cast<double>(state.iterations());
    state.counters["user_ms"] = (end.User - start.User) * 1000 / rounds;
    state.counters["sys_ms"] = (end.Sys - start.Sys) * 1000 / rounds;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_RefreshList(benchmark::State& state) {
    BenchFolder folder;
    TVastrelleMainForm form(folder.Path());
    form.show();
    TCpu start = TCpu::Now();
    for (auto _ : state) {
        form.RefreshList("cards");
        form.ListView()->CurrentView()->viewport()->grab();
    }
    SetCounters(state, start);
}

// Includes the watcher's coalescing delay, which is most of it.
void BM_OutsideChangeShown(benchmark::State& state) {
    BenchFolder folder;
    TVastrelleMainForm form(folder.Path());
    form.show();
    bool shown = false;
    QObject::connect(form.Document(), &TCardTypeDocument::CardsReset,
                     [&shown](bool, bool outside) { shown = shown || outside; });
    int round = 0;
    TCpu start = TCpu::Now();
    for (auto _ : state) {
        shown = false;
        folder.ChangeOutside(++round);
        QElapsedTimer timer;
        timer.start();
        while (!shown && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        form.ListView()->CurrentView()->viewport()->grab();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (!shown) state.SkipWithError("the change was not shown");
    }
    SetCounters(state, start);
}

}  // namespace

BENCHMARK(BM_RefreshList)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OutsideChangeShown)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
