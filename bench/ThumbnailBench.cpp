// Thumbnails of a 24-megapixel camera picture against djpeg's decode of the same file.
// Run with --benchmark_repetitions=N and compare the medians: the machine is noisy.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "files/PendingFile.h"
#include "files/WholeFile.h"
#include "pictures/Bmp.h"
#include "pictures/CardImages.h"
#include "pictures/ImageFit.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr const char* kNames[] = {"baseline.jpg", "progressive.jpg"};

// Smooth shading with fine texture and sensor-like noise, so that the file has the size and
// entropy of a camera picture (about 8 MB at quality 90) rather than of a flat test card.
std::vector<JSAMPLE> SyntheticPhoto() {
    std::vector<JSAMPLE> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
    std::uint32_t seed = 12345;
    std::size_t i = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28) - 8;
            const double shade = 96 + 80 * std::sin(x * 0.0011) * std::cos(y * 0.0017);
            const double texture = 24 * std::sin(x * 0.21 + y * 0.05) * std::sin(y * 0.13);
            for (int c = 0; c < 3; ++c) {
                const double value = shade + texture * (c + 1) / 3 + noise + 30 * c;
                pixels[i++] = static_cast<JSAMPLE>(std::clamp(value, 0.0, 255.0));
            }
        }
    }
    return pixels;
}

void EncodeJpeg(const std::vector<JSAMPLE>& pixels, const fs::path& path, bool progressive) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot create " + path.string());
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(&pixels[cinfo.next_scanline * kWidth * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

// The image folder with both pictures, made once and removed at exit.
class TPictures {
public:
    TPictures() {
        std::string pattern = (fs::temp_directory_path() / "vastrelle-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_folder = pattern;
        const auto pixels = SyntheticPhoto();
        EncodeJpeg(pixels, m_folder / kNames[0], false);
        EncodeJpeg(pixels, m_folder / kNames[1], true);
    }
    ~TPictures() {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    const fs::path& Folder() const { return m_folder; }

private:
    fs::path m_folder;
};

const TPictures& Pictures() {
    static const TPictures pictures;
    return pictures;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Wall time of one whole process, from spawn to exit.
double SpawnProcess(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = Seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(argv[0] + " failed");
    return seconds;
}

double Djpeg(const std::string& name) {
    return SpawnProcess(
        {"djpeg", "-dct", "float", "-outfile", "/dev/null", (Pictures().Folder() / name).string()});
}

double Thumbnails(const std::string& name) {
    const auto start = std::chrono::steady_clock::now();
    MakeThumbnails(Pictures().Folder(), name);
    return Seconds(start);
}

void SetLabel(benchmark::State& state) {
    const auto bytes = fs::file_size(Pictures().Folder() / kNames[state.range(0)]);
    state.SetLabel(std::string(state.range(0) == 0 ? "baseline " : "progressive ") +
                   std::to_string(bytes / 1000) + " kB");
}

void BM_MakeThumbnails(benchmark::State& state) {
    const std::string name = kNames[state.range(0)];
    Pictures();  // made before any timing starts
    for (auto _ : state) state.SetIterationTime(Thumbnails(name));
    SetLabel(state);
}

void BM_Djpeg(benchmark::State& state) {
    const std::string name = kNames[state.range(0)];
    Pictures();  // made before any timing starts
    for (auto _ : state) state.SetIterationTime(Djpeg(name));
    SetLabel(state);
}

// The same comparison with both runs in every iteration, alternating which goes first, so
// that a noisy stretch of the machine hits both sides alike.
void BM_ThumbnailsOverDjpeg(benchmark::State& state) {
    const std::string name = kNames[state.range(0)];
    Pictures();  // made before any timing starts
    double djpeg = 0, thumbnails = 0;
    bool djpegFirst = true;
    for (auto _ : state) {
        if (djpegFirst) djpeg += Djpeg(name);
        const double own = Thumbnails(name);
        thumbnails += own;
        if (!djpegFirst) djpeg += Djpeg(name);
        djpegFirst = !djpegFirst;
        state.SetIterationTime(own);
    }
    state.counters["djpeg_ms"] = 1000 * djpeg / state.iterations();
    state.counters["thumbs_ms"] = 1000 * thumbnails / state.iterations();
    state.counters["ratio"] = thumbnails / djpeg;
    SetLabel(state);
}

// The command-line tool against djpeg: whole process against whole process.
void BM_CliThumbnails(benchmark::State& state) {
    const std::string name = kNames[state.range(0)];
    Pictures();  // made before any timing starts
    for (auto _ : state)
        state.SetIterationTime(
            SpawnProcess({VASTRELLE_CLI, "thumbnails", Pictures().Folder().string(), name}));
    SetLabel(state);
}

// The command-line tool's thumbnails against djpeg -dct float decoding the same file whole,
// whole process against whole process, in turns (and an older vastrelle-cli named by
// VASTRELLE_BASELINE_CLI with them). Counters: medians of wall, user and sys time and peak
// memory of each, and the wall and CPU ratios against djpeg. The thumbnails are checked against
// the whole decoded picture fitted into the boxes, which they must equal.
void BM_CliOverDjpeg(benchmark::State& state) {
    const std::string name = kNames[state.range(0)];
    const fs::path picture = Pictures().Folder() / name;
    std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"thumbs", {VASTRELLE_CLI, "thumbnails", Pictures().Folder().string(), name}},
        {"djpeg", {"djpeg", "-dct", "float", "-outfile", "/dev/null", picture.string()}},
    };
    if (const char* baseline = std::getenv("VASTRELLE_BASELINE_CLI"))
        commands.push_back(
            {"baseline", {baseline, "thumbnails", Pictures().Folder().string(), name}});
    std::map<std::string, std::vector<double>> wall, user, sys, peak;
    std::size_t first = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const auto& [label, argv] = commands[(first + i) % commands.size()];
            const ProcessRun run = RunProcess(argv);
            if (run.exitCode != 0) state.SkipWithError((label + " failed").c_str());
            wall[label].push_back(run.seconds * 1000);
            user[label].push_back(run.userSeconds * 1000);
            sys[label].push_back(run.sysSeconds * 1000);
            peak[label].push_back(static_cast<double>(run.maxRssKiB) / 1024);
        }
        first = (first + 1) % commands.size();
    }
    for (const auto& [label, argv] : commands) {
        state.counters[label + "_wall_ms"] = Median(wall[label]);
        state.counters[label + "_user_ms"] = Median(user[label]);
        state.counters[label + "_sys_ms"] = Median(sys[label]);
        state.counters[label + "_peak_MB"] = Median(peak[label]);
        state.counters[label + "/djpeg_wall"] = Median(wall[label]) / Median(wall["djpeg"]);
        state.counters[label + "/djpeg_cpu"] = (Median(user[label]) + Median(sys[label])) /
                                               (Median(user["djpeg"]) + Median(sys["djpeg"]));
    }
    const std::optional<TFileBytes> bytes = ReadFileAtSize(picture);
    const TBitmap decoded = DecodeJpeg(bytes->View());
    const TThumbnailFiles fitted =
        MakeThumbnailFiles(bytes->View(), &decoded, Pictures().Folder(), name);
    const TThumbnailFiles skipped =
        MakeThumbnailFiles(bytes->View(), nullptr, Pictures().Folder(), name);
    if (fitted.Large != skipped.Large || fitted.Small != skipped.Small)
        state.SkipWithError("the thumbnails differ from the fitted whole picture");
    SetLabel(state);
}

// Everything after the decode: both fits and both BMP files, from the full decoded picture.
void BM_FitAndWriteThumbnails(benchmark::State& state) {
    const fs::path& folder = Pictures().Folder();
    const TBitmap decoded = DecodeJpeg([&] {
        std::FILE* file = std::fopen((folder / kNames[0]).c_str(), "rb");
        std::string bytes(fs::file_size(folder / kNames[0]), '\0');
        if (!file || std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
            throw std::runtime_error("cannot read the picture");
        std::fclose(file);
        return bytes;
    }());
    const bool replace = state.range(0) == 1;
    for (auto _ : state) {
        if (!replace) {
            state.PauseTiming();
            fs::remove(folder / "fit.thm_large");
            fs::remove(folder / "fit.thm");
            state.ResumeTiming();
        }
        // Fitted and written the way MakeThumbnails does it.
        const TBitmap large = FitIntoBox(decoded, 100, 100);
        bool ok = large.Width != 0 &&
                  TPendingFile(folder, EncodeBmp(large)).CommitAs(folder / "fit.thm_large");
        const TBitmap small = FitIntoBox(large, 50, 50);
        ok = ok && small.Width != 0 &&
             TPendingFile(folder, EncodeBmp(small)).CommitAs(folder / "fit.thm");
        if (!ok) state.SkipWithError("fit or write failed");
    }
    state.SetLabel(replace ? "replacing thumbnails" : "new thumbnails");
}

}  // namespace

BENCHMARK(BM_MakeThumbnails)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Djpeg)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThumbnailsOverDjpeg)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliOverDjpeg)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(BenchRounds(11))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliThumbnails)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitAndWriteThumbnails)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
