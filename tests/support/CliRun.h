#pragma once

#include <string>

struct CliResult {
    int exitCode;
    std::string output;  // stdout and stderr together
};

// Runs the built vastrelle-cli with the arguments (a shell word list), stdin from a file if given.
CliResult RunCli(const std::string& arguments, const std::string& stdinFile = {});
