#include "CliRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

CliResult RunCli(const std::string& arguments, const std::string& stdinFile) {
    std::string command = std::string(VASTRELLE_CLI) + " " + arguments + " 2>&1";
    if (!stdinFile.empty()) command += " < '" + stdinFile + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, {}};
    std::string out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

namespace {

// Points stdout and stderr at /dev/null until destruction.
class TSilence {
public:
    TSilence() {
        std::fflush(stdout);
        std::fflush(stderr);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        for (int fd : {1, 2}) {
            m_saved[fd - 1] = ::dup(fd);
            ::dup2(null, fd);
        }
        ::close(null);
    }
    ~TSilence() {
        std::fflush(stdout);
        std::fflush(stderr);
        for (int fd : {1, 2}) {
            ::dup2(m_saved[fd - 1], fd);
            ::close(m_saved[fd - 1]);
        }
    }
    TSilence(const TSilence&) = delete;
    TSilence& operator=(const TSilence&) = delete;

private:
    int m_saved[2] = {-1, -1};
};

}  // namespace

int RunCommandQuietly(const std::function<int(const std::vector<std::string>&)>& command,
                      const std::vector<std::string>& arguments) {
    TSilence silence;
    try {
        return command(arguments);
    } catch (const std::exception&) {
        return 1;
    }
}
