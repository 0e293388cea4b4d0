// Main window timings, offscreen: the list refresh in each view with 10,000 and 100,000 cards
// that all have thumbnails on disk, the card list reader alone, start-up to a painted window, a
// register or edit from the dialog's OK to the refreshed list, and the memory six saves take.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "../BenchSupport.h"
#include "CardInfoInputDlg.h"
#include "CardListView.h"
#include "Main.h"
#include "QtText.h"
#include "cardlist/CardList.h"

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

// Creating the main window on a program folder whose remembered card type has that many cards,
// until it is shown and painted.
void BM_StartUp(benchmark::State& state) {
    Folder().Remember(static_cast<int>(state.range(0)), kViewActions[state.range(1)]);
    for (auto _ : state) {
        auto form = std::make_unique<TVastrelleMainForm>(Folder().Path());
        form->show();
        form->grab();
        QCoreApplication::processEvents();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    state.SetLabel(kViewActions[state.range(1)]);
}

using Clock = std::chrono::steady_clock;

// Answers the card dialog when it opens: a changed title, then OK. `pressed` gets the moment of
// the click.
void AnswerCardDialog(const QString& title, Clock::time_point& pressed) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, title, &pressed] {
        auto* dialog = qobject_cast<TCardInfoInputForm*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        timer->stop();
        timer->deleteLater();
        dialog->findChild<QLineEdit*>(QStringLiteral("EditNumber"))->setText(title);
        dialog->findChild<QLineEdit*>(QStringLiteral("EditTitle"))->setText(title);
        dialog->findChild<QCheckBox*>(QStringLiteral("CheckBoxExist"))->setChecked(true);
        pressed = Clock::now();
        dialog->findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
    });
    timer->start(1);
}

// One register (edit false) or edit of the middle card, from OK until the list is refreshed and
// painted; the seconds it took.
double SaveOnce(TVastrelleMainForm& form, bool edit, int round) {
    Clock::time_point pressed;
    QString text = QStringLiteral("bench ") + QString::number(round);
    AnswerCardDialog(text, pressed);
    if (edit) {
        form.ListView()->SelectRow(static_cast<int>(form.Cards().size() / 2));
        form.N6Click();
    } else {
        form.N5Click();
    }
    form.ListView()->CurrentView()->doItemsLayout();
    PaintList(form);
    return std::chrono::duration<double>(Clock::now() - pressed).count();
}

// A fresh copy of the card type, so that registering does not grow the shared one.
std::string CopyOfCardType(int count) {
    std::string name = CardTypeName(count) + "-save";
    fs::path folder = Folder().Path() / name;
    fs::remove_all(folder);
    fs::create_directories(folder / "image");
    fs::copy_file(Folder().Path() / CardTypeName(count) / kCardListFileName,
                  folder / kCardListFileName);
    std::ofstream ini(Folder().Path() / "setting.ini", std::ios::binary);
    ini << "[lastsetting]\r\ncardname=" << name << "\r\n[layout]\r\ndetail=1\r\n";
    return name;
}

void BM_SaveAndRefresh(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    bool edit = state.range(1) == 1;
    CopyOfCardType(count);
    TVastrelleMainForm form(Folder().Path());
    auto* dialog = new TCardInfoInputForm(&form);
    form.SetDialogs(dialog, nullptr);
    form.show();
    int round = 0;
    for (auto _ : state) state.SetIterationTime(SaveOnce(form, edit, ++round));
    state.SetLabel(edit ? "edit" : "register");
    if (form.Cards().size() != static_cast<std::size_t>(count) + (edit ? 0 : round))
        state.SkipWithError("the save did not reach the list");
}

// Memory after start-up with 100,000 cards, then the peak while six edits are saved. The peak
// is reset after the program folder is made and after start-up (Linux: clear_refs 5).
void BM_SixSavesMemory(benchmark::State& state) {
    for (auto _ : state) {
        CopyOfCardType(100000);
        // What making the program folder freed goes back to the system, so that start-up
        // starts from a heap that holds nothing of it.
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        TVastrelleMainForm form(Folder().Path());
        auto* dialog = new TCardInfoInputForm(&form);
        form.SetDialogs(dialog, nullptr);
        form.show();
        PaintList(form);
        QCoreApplication::processEvents();
        double startRss = StatusKiB("VmRSS:") / 1024.0;
        double startPeak = StatusKiB("VmHWM:") / 1024.0;
        std::ofstream("/proc/self/clear_refs") << "5";
        for (int round = 1; round <= 6; ++round) SaveOnce(form, round % 2 == 0, round);
        double savePeak = StatusKiB("VmHWM:") / 1024.0;
        state.counters["startup_rss_MB"] = startRss;
        state.counters["startup_peak_MB"] = startPeak;
        state.counters["save_peak_MB"] = savePeak;
        state.counters["peak_over_rss"] = savePeak / startRss;
    }
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
    ->Args({10000, 0})
    ->Args({10000, 3})
    ->Args({100000, 0})
    ->Args({100000, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK(BM_SaveAndRefresh)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(6)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SixSavesMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
