// Main window timings, offscreen: the list refresh in each view with 10,000 and 100,000 cards
// that all have thumbnails on disk, the card list reader alone, and start-up to a painted window.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <memory>

#include "CardList.h"
#include "CardListView.h"
#include "Main.h"
#include "QtText.h"

namespace fs = std::filesystem;

namespace {

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + std::to_string() at -O3.
std::string Numbered(const char* prefix, int number, const char* suffix) {
    std::string text = prefix;
    text += std::to_string(number);
    text += suffix;
    return text;
}

constexpr int kCounts[] = {10000, 100000};
const char* const kViewActions[] = {"N10", "N11", "N12", "N13", "N14"};

std::string CardTypeName(int count) { return "cards" + std::to_string(count); }

// One program folder for the whole run. Every card has its own front thumbnail files; they are
// hard links to one bitmap of each size, which reads the same and keeps 100,000 cards' worth off
// the disk.
class BenchFolder {
public:
    BenchFolder() {
        QImage small(50, 37, QImage::Format_RGB888), large(100, 74, QImage::Format_RGB888);
        small.fill(Qt::darkCyan);
        large.fill(Qt::darkCyan);
        // A file takes only so many links; one source per batch of cards.
        for (int batch = 0; batch <= kCounts[1] / kLinksPerFile; ++batch) {
            small.save(QString::fromStdString(Source("small", batch).string()), "BMP");
            large.save(QString::fromStdString(Source("large", batch).string()), "BMP");
        }
        for (int count : kCounts) {
            fs::path folder = Path() / CardTypeName(count);
            fs::create_directories(folder / "image");
            TCardInfos cards(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) {
                TCardInfo& card = cards[static_cast<std::size_t>(i)];
                card.Number = std::to_string(i + 1);
                card.Title = Numbered("\x83\x4a\x81\x5b\x83\x68 ", i + 1, "");  // カード n
                card.Comment = "comment";
                card.Owned = i % 3 == 0;
                card.FrontImageFileName = Numbered("p", i, ".jpg");
                card.BackImageFileName = Numbered("q", i, ".jpg");
                fs::create_hard_link(Source("small", i / kLinksPerFile),
                                     folder / "image" / Numbered("p", i, ".thm"));
                fs::create_hard_link(Source("large", i / kLinksPerFile),
                                     folder / "image" / Numbered("p", i, ".thm_large"));
            }
            WriteCardList(cards, folder);
        }
    }
    fs::path Path() const { return m_dir.path().toStdString(); }
    void Remember(int count, const char* view) const {
        std::string keys[] = {"detail", "title_frontimg", "title_backimg", "title_frontimg_large",
                              "title_backimg_large"};
        std::ofstream ini(Path() / "setting.ini", std::ios::binary);
        ini << "[lastsetting]\r\ncardname=" << CardTypeName(count) << "\r\n[layout]\r\n";
        for (int i = 0; i < 5; ++i)
            ini << keys[i] << '=' << (kViewActions[i] == std::string(view) ? 1 : 0) << "\r\n";
    }

private:
    static constexpr int kLinksPerFile = 30000;
    fs::path Source(const char* size, int batch) const {
        return Path() / (std::string(size) + std::to_string(batch) + ".bmp");
    }

    QTemporaryDir m_dir;
};

BenchFolder& Folder() {
    static BenchFolder folder;
    return folder;
}

void PaintList(TVastrelleMainForm& form) {
    QAbstractItemView* view = form.ListView()->CurrentView();
    view->viewport()->grab();
}

void SetPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The list refresh with a view item already checked: from the call until the list is ready to
// paint (withPaint: and has painted its first screen, loading the thumbnails on it).
void BM_Refresh(benchmark::State& state, bool withPaint) {
    int count = static_cast<int>(state.range(0));
    const char* view = kViewActions[state.range(1)];
    Folder().Remember(count, "N10");
    TVastrelleMainForm form(Folder().Path());
    form.show();
    form.findChild<QAction*>(QString::fromLatin1(view))->setChecked(true);
    form.RefreshList(CardTypeName(count));
    form.ListView()->SelectRow(count / 2);
    for (auto _ : state) {
        form.RefreshList(CardTypeName(count));
        // Icon layouts are done when the view is next asked for geometry; ask now.
        form.ListView()->CurrentView()->doItemsLayout();
        if (withPaint) PaintList(form);
    }
    state.SetLabel(view);
    SetPeakMemory(state);
}

void BM_ReadCardList(benchmark::State& state) {
    fs::path file =
        Folder().Path() / CardTypeName(static_cast<int>(state.range(0))) / kCardListFileName;
    for (auto _ : state) {
        TCardInfos cards;
        ReadCardList(file, cards);
        benchmark::DoNotOptimize(cards.data());
    }
}

// Creating the main window on a program folder whose remembered card type has 10,000 cards,
// until it is shown and painted.
void BM_StartUp(benchmark::State& state) {
    Folder().Remember(10000, kViewActions[state.range(0)]);
    for (auto _ : state) {
        auto form = std::make_unique<TVastrelleMainForm>(Folder().Path());
        form->show();
        form->grab();
        QCoreApplication::processEvents();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    state.SetLabel(kViewActions[state.range(0)]);
}

void ViewArgs(benchmark::internal::Benchmark* b) {
    for (int count : kCounts)
        for (int view = 0; view < 5; ++view) b->Args({count, view});
}

}  // namespace

BENCHMARK_CAPTURE(BM_Refresh, ready, false)
    ->Apply(ViewArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Refresh, painted, true)
    ->Apply(ViewArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadCardList)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_StartUp)
    ->Arg(0)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
