// Printing and the progress chart, offscreen: a checklist of 1,000 cards written as PDF (plain
// and with thumbnails) against one card, the baseline of the same run; binder pages of 1,000
// cards with pictures; the chart of a 10,000-card type computed and drawn against an empty chart.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include "CardPrint.h"
#include "ProgressChart.h"
#include "QtText.h"
#include "UiFont.h"
#include "cardlist/Progress.h"

namespace {

double CpuSeconds(bool user) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const timeval& tv = user ? usage.ru_utime : usage.ru_stime;
    return double(tv.tv_sec) + double(tv.tv_usec) / 1e6;
}

// User and system time per iteration, beside Google Benchmark's own wall and CPU time.
class TCpuCounters {
public:
    TCpuCounters() : m_user(CpuSeconds(true)), m_sys(CpuSeconds(false)) {}
    void Report(benchmark::State& state) const {
        const double n = double(state.iterations());
        state.counters["user_s"] = (CpuSeconds(true) - m_user) / n;
        state.counters["sys_s"] = (CpuSeconds(false) - m_sys) / n;
    }

private:
    double m_user;
    double m_sys;
};

// Cards like a real set: short numbers, titles and a comment on some; every third one owned,
// each with its front picture and thumbnail (one file of each, as printing only reads them).
TPrintJob MakeJob(const QTemporaryDir& dir, int count, TPrintOptions options) {
    QImage front(630, 880, QImage::Format_RGB32);
    front.fill(QColor(0x40, 0x70, 0xa0));
    front.save(dir.filePath(QStringLiteral("front.jpg")), "JPEG");
    QImage thumbnail(36, 50, QImage::Format_RGB888);
    thumbnail.fill(QColor(0x40, 0x70, 0xa0));
    thumbnail.save(dir.filePath(QStringLiteral("front.thm")), "BMP");
    TPrintJob job;
    job.CardTypeName = Tr("ベンチマーク");
    job.Date = QStringLiteral("2026/12/09");
    job.StatusLine = QStringLiteral("333/1000[33%]");
    job.Options = options;
    for (int i = 0; i < count; ++i) {
        TPrintCard card;
        card.Number = QStringLiteral("SV-%1").arg(i + 1, 3, 10, QLatin1Char('0'));
        card.Title = Tr("カードの名前 ") + QString::number(i + 1);
        if (i % 4 == 0) card.Comment = Tr("ホロ");
        card.Owned = i % 3 == 0;
        card.Front = dir.filePath(QStringLiteral("front.jpg"));
        card.Thumbnail = dir.filePath(QStringLiteral("front.thm"));
        job.Cards.push_back(card);
    }
    return job;
}

void WritePdf(benchmark::State& state, TPrintOptions options) {
    QTemporaryDir dir;
    const TPrintJob job = MakeJob(dir, int(state.range(0)), options);
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    TCpuCounters cpu;
    for (auto _ : state) {
        if (!WriteCardPdf(file, job).isEmpty()) state.SkipWithError("the PDF was not written");
    }
    cpu.Report(state);
    state.counters["pdf_KiB"] = double(QFileInfo(file).size()) / 1024;
}

void BM_ChecklistPdf(benchmark::State& state) { WritePdf(state, {}); }
BENCHMARK(BM_ChecklistPdf)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChecklistThumbnailsPdf(benchmark::State& state) {
    TPrintOptions options;
    options.Thumbnails = true;
    WritePdf(state, options);
}
BENCHMARK(BM_ChecklistThumbnailsPdf)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BinderPdf(benchmark::State& state) {
    TPrintOptions options;
    options.Kind = TPrintKind::Binder;
    WritePdf(state, options);
}
BENCHMARK(BM_BinderPdf)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the card array to a painted chart: the progress computed, handed over and drawn. Arg 0
// draws the chart of a card type without cards, the baseline.
void BM_ProgressChart(benchmark::State& state) {
    const int count = int(state.range(0));
    std::vector<TAcquisition> owned;
    for (int i = 0; i < count; ++i) {
        // Acquired over about three years, most cards on a day of their own.
        const QDate date = QDate(2024, 1, 1).addDays(i % 1100);
        if (i % 5 != 0) owned.push_back({date.toString(Qt::ISODate).toStdString(), std::size_t(i)});
    }
    TProgressChart chart;
    chart.resize(420, 170);
    chart.SetToday(QDate(2026, 12, 9));
    QImage canvas(chart.size(), QImage::Format_ARGB32_Premultiplied);
    TCpuCounters cpu;
    for (auto _ : state) {
        chart.SetProgress(ComputeProgress(owned, std::size_t(count)));
        chart.render(&canvas);
        benchmark::DoNotOptimize(canvas.constBits());
    }
    cpu.Report(state);
}
BENCHMARK(BM_ProgressChart)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont::insertSubstitution(UiFontFamily(), QStringLiteral("IPAPGothic"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
