#pragma once

#include <functional>
#include <string>
#include <vector>

struct CliResult {
    int exitCode;
    std::string output;  // stdout and stderr together
};

// Runs the built vastrelle-cli with the arguments (a shell word list), stdin from a file if given.
CliResult RunCli(const std::string& arguments, const std::string& stdinFile = {});

// Runs one command of the tool in this process with its output thrown away, so that a test can
// arm the file-system hook around it. Returns the exit code; a failure it throws is 1, as the
// tool's main makes it.
int RunCommandQuietly(const std::function<int(const std::vector<std::string>&)>& command,
                      const std::vector<std::string>& arguments);
