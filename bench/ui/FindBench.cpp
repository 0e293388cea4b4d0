// The main window's filter and sort on 100,000 cards, offscreen, from the change until the list
// is ready to paint, against the list refresh of the same card type (the baseline, measured in
// the same run); and the overview window's count of 50 card types of 1,000 cards.
#include <benchmark/benchmark.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>

#include "CardListView.h"
#include "CardTypeOverview.h"
#include "Main.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCount = 100000;

// One program folder with "cards", 100,000 cards numbered SV-1 to SV-100000 in shuffled order so
// that sorting has work to do; and another of 50 card types of 1,000 cards for the overview.
class BenchFolder {
public:
    BenchFolder() {
        TCardInfos cards(kCount);
        for (int i = 0; i < kCount; ++i) {
            TCardInfo& card = cards[static_cast<std::size_t>(i)];
            int number = static_cast<int>((static_cast<long long>(i) * 7919) % kCount) + 1;
            card.Number = "SV-";
            card.Number += std::to_string(number);
            card.Title = "\x83\x4a\x81\x5b\x83\x68 ";  // カード
            card.Title += std::to_string(number);
            card.Comment = "comment";
            card.Owned = i % 3 == 0;
        }
        Add(Path(), "cards", cards);
        TCardInfos small(cards.begin(), cards.begin() + 1000);
        for (int type = 0; type < 50; ++type) {
            std::string name = "type";
            name += std::to_string(type);
            Add(OverviewPath(), name, small);
        }
    }
    fs::path Path() const { return m_dir.path().toStdString(); }
    fs::path OverviewPath() const { return m_overviewDir.path().toStdString(); }

private:
    static void Add(const fs::path& folder, const std::string& name, const TCardInfos& cards) {
        fs::create_directories(folder / name / "image");
        WriteCardList(cards, folder / name);
    }
    QTemporaryDir m_dir;
    QTemporaryDir m_overviewDir;
};

BenchFolder& Folder() {
    static BenchFolder folder;
    return folder;
}

struct Window {
    std::unique_ptr<TVastrelleMainForm> Form;
    QLineEdit* Search = nullptr;
    QCheckBox* MissingOnly = nullptr;

    Window() : Form(std::make_unique<TVastrelleMainForm>(Folder().Path())) {
        Form->show();
        Form->RefreshList("cards");
        Search = Form->findChild<QLineEdit*>(QStringLiteral("SearchEdit"));
        MissingOnly = Form->findChild<QCheckBox*>(QStringLiteral("MissingOnly"));
        Ready();
    }
    void Ready() const { Form->ListView()->CurrentView()->doItemsLayout(); }
};

void BM_Refresh_Baseline(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        window.Form->RefreshList("cards");
        window.Ready();
    }
}

// Typing into the search field: two texts in turn, each matching 1,111 cards.
void BM_FilterText(benchmark::State& state) {
    Window window;
    window.Search->setText(QStringLiteral("x"));  // the search texts are made once per refresh
    const QString texts[] = {QString::fromUtf8("ｶｰﾄﾞ 12"), QString::fromUtf8("カード 13")};
    int turn = 0;
    for (auto _ : state) {
        window.Search->setText(texts[turn++ % 2]);
        window.Ready();
    }
}

// The first text typed after a refresh, which also makes every card's search text.
void BM_FilterTextFirst(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        state.PauseTiming();
        window.Search->clear();
        window.Form->RefreshList("cards");
        state.ResumeTiming();
        window.Search->setText(QString::fromUtf8("カード 12"));
        window.Ready();
    }
}

void BM_MissingOnly(benchmark::State& state) {
    Window window;
    bool on = false;
    for (auto _ : state) {
        window.MissingOnly->setChecked(on = !on);
        window.Ready();
    }
}

// A header click: ascending and descending in turn, by number (0) or by title (1); the cards
// are ranked by the column once, so these are the second and later clicks.
void BM_Sort(benchmark::State& state) {
    Window window;
    int column = static_cast<int>(state.range(0));
    bool descending = false;
    for (auto _ : state) {
        window.Form->ListView()->SortBy(column, descending = !descending);
        window.Ready();
    }
    state.SetLabel(column == 0 ? "number" : "title");
}

// A click on another column: number and title in turn, each ranking every card first.
void BM_SortOtherColumn(benchmark::State& state) {
    Window window;
    int column = 0;
    for (auto _ : state) {
        window.Form->ListView()->SortBy(column = 1 - column, false);
        window.Ready();
    }
}

void BM_OverviewWindow(benchmark::State& state) {
    TCardTypeOverviewForm overview(Folder().OverviewPath());
    for (auto _ : state) overview.Recount();
}

}  // namespace

#define FIND_BENCH(name)                \
    BENCHMARK(name)                     \
        ->Unit(benchmark::kMillisecond) \
        ->UseRealTime()                 \
        ->Repetitions(7)                \
        ->ReportAggregatesOnly(true)
FIND_BENCH(BM_Refresh_Baseline);
FIND_BENCH(BM_FilterText);
FIND_BENCH(BM_FilterTextFirst);
FIND_BENCH(BM_MissingOnly);
FIND_BENCH(BM_Sort)->Arg(0)->Arg(1);
FIND_BENCH(BM_SortOtherColumn);
FIND_BENCH(BM_OverviewWindow);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
