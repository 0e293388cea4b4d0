#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Whole-process timing of a command, for baselines measured in the same run.
struct ProcessRun {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // user + system: steadier than wall time on a busy machine
    double userSeconds = 0;
    double sysSeconds = 0;
    long maxRssKiB = 0;
    int exitCode = -1;
};

inline ProcessRun RunProcess(const std::vector<std::string>& argv, bool quiet = true) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        if (quiet) {
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    ProcessRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKiB = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.userSeconds = static_cast<double>(usage.ru_utime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
    run.sysSeconds = static_cast<double>(usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline std::filesystem::path BenchFolder(const std::string& name) {
    auto folder = std::filesystem::temp_directory_path() / ("vastrelle-bench-" + name);
    std::filesystem::create_directories(folder);
    return folder;
}

// The number of rounds of a paired comparison: `rounds`, or 1 in the test suite's smoke run
// (VASTRELLE_BENCH_SMOKE set), which only checks that the benchmark still runs.
inline int BenchRounds(int rounds) { return std::getenv("VASTRELLE_BENCH_SMOKE") ? 1 : rounds; }

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return (values[(values.size() - 1) / 2] + values[values.size() / 2]) / 2;
}

// A line of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); 0 when it is not there.
inline long StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
    return 0;
}
