// The checklist import dialog reading a CSV of 10,000 and of 1,000,000 rows against a card type
// of 10,000 cards, while the dialog is asked to paint every 10 ms; the longest gap between two
// of its paints is recorded. The baseline, in the same run, makes the same preview on the GUI
// thread (read, column guess, rows, plan), as a dialog without a worker would, without showing
// it. Each run is a child process, paired and alternating with its baseline; prints the medians
// of the time to the preview, user and system time, peak memory and the longest paint gap.
//
//   ChecklistDialogBench [ROUNDS]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "../BenchSupport.h"
#include "ChecklistImportDlg.h"
#include "checklist/ChecklistMerge.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCards = 10'000;

// Keeps the longest time between two paints of the widget it watches.
class TPaintGaps : public QObject {
public:
    explicit TPaintGaps(QWidget* watched) { watched->installEventFilter(this); }
    void Restart() {
        m_clock.start();
        m_longest = 0;
        m_last = 0;
    }
    qint64 LongestMs() const { return std::max(m_longest, m_clock.elapsed() - m_last); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_clock.isValid()) {
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_longest = 0;
};

TCardInfos MakeCards() {
    TCardInfos cards(kCards);
    for (int i = 0; i < kCards; ++i) {
        cards[i].Number = std::to_string(i + 1);
        cards[i].Title = *cp932::FromUtf8("炎の剣士 " + std::to_string(i + 1));
    }
    return cards;
}

// Rows as a spreadsheet saves them: the first 9,000 match a card, the rest are new.
fs::path ChecklistFile(int rows) {
    const fs::path file = BenchFolder("checklist-dialog") / (std::to_string(rows) + ".csv");
    if (fs::exists(file)) return file;
    std::ofstream out(file, std::ios::binary);
    out << "番号,カード名,レアリティ,所持\r\n";
    for (int i = 0; i < rows; ++i) {
        const int number = i < 9'000 ? i + 1 : kCards + i;
        out << number << ",炎の剣士 " << number << ",\"RR, 2進化\"," << (i % 3 == 0 ? "○" : "")
            << "\r\n";
    }
    return file;
}

// One preview in this process; writes "wall_ms longest_gap_ms rows" to `result`.
int RunChild(const fs::path& file, bool inDialog, const std::string& result) {
    int argc = 1;
    char name[] = "ChecklistDialogBench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const TCardInfos cards = MakeCards();
    TChecklistImportForm dialog(nullptr);
    dialog.show();
    TPaintGaps gaps(&dialog);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &dialog, [&] { dialog.update(0, 0, 1, 1); });
    ticker.start(10);
    QApplication::processEvents();

    QElapsedTimer wall;
    std::size_t planned = 0;
    QTimer::singleShot(20, [&] {
        gaps.Restart();
        wall.start();
        if (inDialog) {
            dialog.SetFile(file, cards);
            return;
        }
        const TTable table = ReadTableFile(file, {});
        const TChecklistRows rows = ChecklistRowsOf(table, GuessMapping(table));
        planned = PlanChecklistMerge(cards, rows).Cards.size();
        app.quit();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!inDialog || !wall.isValid() || dialog.IsReading()) return;
        planned = dialog.Plan().Cards.size();
        app.quit();
    });
    poll.start(1);
    app.exec();
    std::ofstream(result) << wall.elapsed() << ' ' << gaps.LongestMs() << ' ' << planned << '\n';
    return planned > 0 ? 0 : 1;
}

struct TRun {
    double WallMs = 0, User = 0, Sys = 0, PeakMiB = 0, GapMs = 0;
};

TRun RunOnce(const char* self, const fs::path& file, bool inDialog) {
    std::fflush(stdout);  // the child would write out what is buffered again
    const std::string result = (BenchFolder("checklist-dialog") / "result").string();
    const ProcessRun process =
        RunProcess({self, "--child", file.string(), inDialog ? "dialog" : "gui", result});
    TRun run;
    run.User = process.userSeconds;
    run.Sys = process.sysSeconds;
    run.PeakMiB = static_cast<double>(process.maxRssKiB) / 1024.0;
    std::size_t planned = 0;
    std::ifstream(result) >> run.WallMs >> run.GapMs >> planned;
    if (process.exitCode != 0 || planned == 0) std::fprintf(stderr, "the child failed\n");
    return run;
}

template <typename F>
double Median(const std::vector<TRun>& runs, F field) {
    std::vector<double> values;
    for (const TRun& run : runs) values.push_back(field(run));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Print(const char* label, const std::vector<TRun>& runs) {
    std::printf(
        "  %-14s preview %7.0f ms, user %.2f s, sys %.2f s, peak %4.0f MiB, longest paint gap "
        "%5.0f ms\n",
        label, Median(runs, [](const TRun& r) { return r.WallMs; }),
        Median(runs, [](const TRun& r) { return r.User; }),
        Median(runs, [](const TRun& r) { return r.Sys; }),
        Median(runs, [](const TRun& r) { return r.PeakMiB; }),
        Median(runs, [](const TRun& r) { return r.GapMs; }));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 5 && std::string(argv[1]) == "--child")
        return RunChild(argv[2], std::string(argv[3]) == "dialog", argv[4]);
    const int rounds = argc > 1 ? std::stoi(argv[1]) : 5;
    for (int rows : {10'000, 1'000'000}) {
        const fs::path file = ChecklistFile(rows);
        std::vector<TRun> gui, dialog;
        for (int round = 0; round < rounds; ++round) {
            // Paired and alternating, so that load from elsewhere falls on both alike.
            gui.push_back(RunOnce(argv[0], file, false));
            dialog.push_back(RunOnce(argv[0], file, true));
        }
        std::printf("%d rows (%ju bytes), medians of %d paired runs:\n", rows,
                    static_cast<std::uintmax_t>(fs::file_size(file)), rounds);
        Print("on GUI thread", gui);
        Print("in the dialog", dialog);
    }
    return 0;
}
