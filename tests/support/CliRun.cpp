#include "CliRun.h"

#include <sys/wait.h>

#include <cstdio>

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
