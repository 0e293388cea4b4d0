// Attaching a folder of 1,000 scans of 2 megapixels with their thumbnails through the preview
// dialog's OK, once with one reading thread and once with one per core, in paired child
// processes; meanwhile a window asks for a paint every 10 ms and the longest gap between two
// paints is recorded. Prints the medians of wall, user and system time and peak memory, and the
// ratio of every core to one core.
//
//   ScanAttachBench [ROUNDS] [SCANS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ScanImportDlg.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"

namespace fs = std::filesystem;

namespace {

// Paints on request and keeps the longest time between two paints.
class TPaintProbe : public QWidget {
public:
    TPaintProbe() {
        resize(200, 100);
        m_clock.start();
    }
    qint64 LongestGapMs() const { return m_longest; }
    void Restart() {
        m_longest = 0;
        m_last = m_clock.elapsed();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), (m_clock.elapsed() / 10) % 2 ? Qt::white : Qt::gray);
        const qint64 now = m_clock.elapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_longest = 0;
};

fs::path Base() {
    const fs::path shm = "/dev/shm";
    return fs::is_directory(shm) ? shm / "vastrelle-bench-scans"
                                 : fs::temp_directory_path() / "vastrelle-bench-scans";
}

// A 2-megapixel photo-like picture: smooth gradients with some detail, as a scan has.
std::string MakeScan(const fs::path& file) {
    QImage image(1632, 1224, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            row[3 * x] = static_cast<uchar>((x * 255) / image.width());
            row[3 * x + 1] = static_cast<uchar>((y * 255) / image.height());
            row[3 * x + 2] = static_cast<uchar>(((x ^ y) & 0x3F) * 3 + ((x * y) % 7));
        }
    }
    image.save(QString::fromStdString(file.string()), "JPG", 90);
    return file.string();
}

// One attach in this process, through the dialog; prints the longest paint gap.
int RunChild(const fs::path& cardType, const fs::path& scans, unsigned threads) {
    int argc = 1;
    char name[] = "ScanAttachBench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    TPaintProbe probe;
    probe.show();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &probe, [&] { probe.update(); });
    ticker.start(10);
    TScanImportForm form(cardType, scans);
    form.SetThreadCount(threads);
    form.show();
    QApplication::processEvents();
    probe.Restart();
    form.Start();
    QObject::connect(&form, &QDialog::finished, &app, &QApplication::quit);
    app.exec();
    std::printf("%lld %d\n", static_cast<long long>(probe.LongestGapMs()),
                form.Result() && form.Result()->Written ? 1 : 0);
    return form.Result() && form.Result()->Written ? 0 : 1;
}

struct TRun {
    double Wall = 0, User = 0, Sys = 0;
    long PeakKiB = 0;
    long LongestGapMs = 0;
};

TRun RunOnce(const char* self, const fs::path& cardType, const fs::path& scans, int count,
             unsigned threads) {
    fs::remove_all(cardType);
    fs::create_directories(cardType / kImageFolderName);
    TCardInfos cards(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ClearCardInfo(cards[static_cast<std::size_t>(i)]);
        char number[16];
        std::snprintf(number, sizeof number, "%04d", i + 1);
        cards[static_cast<std::size_t>(i)].Number = number;
    }
    WriteCardList(cards, cardType);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        const std::string threadText = std::to_string(threads);
        execl(self, self, "--child", cardType.c_str(), scans.c_str(), threadText.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[64] = {};
    const ssize_t got = read(pipeFds[0], buffer, sizeof buffer - 1);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    TRun run;
    run.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.User = static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6;
    run.Sys = static_cast<double>(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6;
    run.PeakKiB = usage.ru_maxrss;
    int written = 0;
    if (got > 0) std::sscanf(buffer, "%ld %d", &run.LongestGapMs, &written);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !written)
        std::fprintf(stderr, "attach failed in the child\n");
    return run;
}

template <typename F>
double Median(const std::vector<TRun>& runs, F field) {
    std::vector<double> values;
    for (const TRun& run : runs) values.push_back(static_cast<double>(field(run)));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 5 && std::string(argv[1]) == "--child")
        return RunChild(argv[2], argv[3], static_cast<unsigned>(std::stoul(argv[4])));
    const int rounds = argc > 1 ? std::stoi(argv[1]) : 3;
    const int count = argc > 2 ? std::stoi(argv[2]) : 1000;

    const fs::path base = Base();
    const fs::path scans = base / "scans";
    fs::remove_all(base);
    fs::create_directories(scans);
    {
        int qargc = 1;
        char name[] = "ScanAttachBench";
        char* qargv[] = {name, nullptr};
        QGuiApplication app(qargc, qargv);
        MakeScan(base / "scan.jpg");
    }
    // Hard links to one file: each is read and decoded in full, and the folder stays small.
    for (int i = 1; i <= count; ++i)
        fs::create_hard_link(base / "scan.jpg", scans / (std::to_string(i) + ".jpg"));
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("%d scans of 1632x1224 (%ju bytes each), %u cores, card type under %s\n", count,
                static_cast<std::uintmax_t>(fs::file_size(base / "scan.jpg")), cores, base.c_str());

    std::vector<TRun> one, every;
    for (int round = 0; round < rounds; ++round) {
        // Paired and alternating, so that load from elsewhere falls on both alike.
        one.push_back(RunOnce(argv[0], base / "type", scans, count, 1));
        every.push_back(RunOnce(argv[0], base / "type", scans, count, 0));
        std::printf("round %d: one core %.2f s (gap %ld ms), every core %.2f s (gap %ld ms)\n",
                    round + 1, one.back().Wall, one.back().LongestGapMs, every.back().Wall,
                    every.back().LongestGapMs);
    }
    for (auto [label, runs] : {std::pair{"one core  ", &one}, std::pair{"every core", &every}})
        std::printf(
            "%s: wall %.2f s, user %.2f s, sys %.2f s, peak %.0f MiB, "
            "longest paint gap %.0f ms\n",
            label, Median(*runs, [](const TRun& r) { return r.Wall; }),
            Median(*runs, [](const TRun& r) { return r.User; }),
            Median(*runs, [](const TRun& r) { return r.Sys; }),
            Median(*runs, [](const TRun& r) { return r.PeakKiB; }) / 1024.0,
            Median(*runs, [](const TRun& r) { return r.LongestGapMs; }));
    std::printf("every core / one core (wall, medians): %.2f\n",
                Median(every, [](const TRun& r) { return r.Wall; }) /
                    Median(one, [](const TRun& r) { return r.Wall; }));
    fs::remove_all(base);
    return 0;
}
