// The window as a whole process, offscreen: from the start of the process until the list is
// filled and painted, with an empty program folder (the baseline, in the same run) and with card
// types of 1,000, 10,000 and 100,000 cards; then one edit through the card dialog, from OK until
// the list shows it painted. The child reports its memory after start-up and its peak, so that
// the peak can be held against what the window keeps; user and sys time are the whole process's.
#include <benchmark/benchmark.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "../BenchCards.h"
#include "../BenchSupport.h"
#include "CardInfoInputDlg.h"
#include "CardListView.h"
#include "Main.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A program folder remembering a card type of `count` cards (none: an empty program folder).
fs::path ProgramFolder(int count) {
    const fs::path folder = BenchFolder("window-" + std::to_string(count));
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (count == 0) return folder;
    fs::create_directories(folder / "cards" / "image");
    fs::copy_file(CardTypeFolder(count) / kCardListFileName, folder / "cards" / kCardListFileName);
    std::ofstream(folder / "setting.ini", std::ios::binary)
        << "[lastsetting]\r\ncardname=cards\r\n[layout]\r\ndetail=1\r\n";
    return folder;
}

// The child: start-up, painted; with `edit`, one edit of the middle card from the dialog.
int Child(const char* folder, bool edit) {
    int argc = 1;
    char name[] = "window";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    TVastrelleMainForm form{fs::path(folder)};
    auto* dialog = new TCardInfoInputForm(&form);
    form.SetDialogs(dialog, nullptr);
    form.show();
    form.ListView()->CurrentView()->viewport()->grab();
    QCoreApplication::processEvents();
    const double paintedAt =
        std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
    // Memory after start-up: once a large card list, shown before all its cards were read, is
    // read to the end.
    (void)form.Cards();
    QCoreApplication::processEvents();
    const long startRss = StatusKiB("VmRSS:");
    double waitMs = 0;
    if (edit && !form.Cards().empty()) {
        Clock::time_point pressed;
        QTimer::singleShot(1, [&] {
            auto* open = qobject_cast<TCardInfoInputForm*>(QApplication::activeModalWidget());
            if (open == nullptr) return;
            open->findChild<QLineEdit*>(QStringLiteral("EditTitle"))
                ->setText(QStringLiteral("edited"));
            pressed = Clock::now();
            open->findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
        });
        form.ListView()->SelectRow(static_cast<int>(form.Cards().size() / 2));
        form.N6Click();
        form.ListView()->CurrentView()->viewport()->grab();
        waitMs = std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
    }
    std::printf("%ld %ld %f %f\n", startRss, StatusKiB("VmHWM:"), waitMs, paintedAt);
    return 0;
}

struct TChildRun {
    ProcessRun Run;
    double StartRssMB = 0, PeakMB = 0, WaitMs = 0;
    double PaintedMs = 0;  // from the start of the process to the painted list
};

TChildRun RunChild(const std::string& program, const fs::path& folder, bool edit) {
    const fs::path out = folder.parent_path() / (folder.filename().string() + ".out");
    TChildRun child;
    const double started =
        std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
    child.Run =
        RunProcess({"/bin/sh", "-c", "exec \"$0\" --child \"$1\" \"$2\" > \"$3\" 2>/dev/null",
                    program, folder.string(), edit ? "edit" : "start", out.string()});
    long rss = 0, peak = 0;
    double wait = 0, painted = 0;
    if (FILE* f = std::fopen(out.c_str(), "r")) {
        if (std::fscanf(f, "%ld %ld %lf %lf", &rss, &peak, &wait, &painted) != 4) rss = 0;
        std::fclose(f);
    }
    child.StartRssMB = static_cast<double>(rss) / 1024;
    child.PeakMB = static_cast<double>(peak) / 1024;
    child.WaitMs = wait;
    child.PaintedMs = painted - started;
    return child;
}

// Paired rounds: the empty program folder, then the card type, alternately. With
// VASTRELLE_BASELINE_WINDOW_BENCH naming this benchmark built from an older program, that one's
// children run in the same rounds, and its counters are named "baseline_".
void BM_Window(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const bool edit = state.range(1) == 1;
    const fs::path empty = ProgramFolder(0), full = ProgramFolder(count);
    std::vector<std::pair<std::string, std::string>> programs{
        {"", fs::read_symlink("/proc/self/exe").string()}};
    if (const char* baseline = std::getenv("VASTRELLE_BASELINE_WINDOW_BENCH"))
        programs.emplace_back("baseline_", baseline);
    std::map<std::string, std::vector<double>> values;
    for (auto _ : state) {
        for (const auto& [prefix, program] : programs) {
            const TChildRun base = RunChild(program, empty, false);
            const TChildRun run = RunChild(program, full, edit);
            if (run.Run.exitCode != 0 || base.Run.exitCode != 0)
                state.SkipWithError("child failed");
            auto add = [&values, &prefix](const std::string& name, double value) {
                values[prefix + name].push_back(value);
            };
            add("empty_painted_ms", base.PaintedMs);
            add("painted_ms", run.PaintedMs);
            add("painted_over_empty", run.PaintedMs / base.PaintedMs);
            add("empty_wall_ms", base.Run.seconds * 1000);
            add("wall_ms", run.Run.seconds * 1000);
            add("user_ms", run.Run.userSeconds * 1000);
            add("sys_ms", run.Run.sysSeconds * 1000);
            add("startup_rss_MB", run.StartRssMB);
            add("peak_MB", run.PeakMB);
            add("peak_over_startup", run.PeakMB / run.StartRssMB);
            if (edit) add("wait_after_ok_ms", run.WaitMs);
            if (edit) ProgramFolder(count);  // the next run edits the same card list again
        }
    }
    for (const auto& [name, list] : values) state.counters[name] = Median(list);
}

}  // namespace

BENCHMARK(BM_Window)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Iterations(BenchRounds(7))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return Child(argv[2], std::strcmp(argv[3], "edit") == 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
