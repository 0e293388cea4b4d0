#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// What a child process gives up before running a test body, to make real write failures where
// the tests run as root (which bypasses file permissions).
struct ChildRestrictions {
    // Run as user and group 65534 (nobody) when the test runs as root; folders the child must
    // write to have to be writable for everyone.
    bool dropPrivileges = false;
    std::optional<mode_t> umask;
    std::optional<off_t> fileSizeLimit;  // RLIMIT_FSIZE, with SIGXFSZ ignored
};

inline ChildRestrictions AsUnprivilegedUser() {
    ChildRestrictions restrictions;
    restrictions.dropPrivileges = true;
    return restrictions;
}

inline ChildRestrictions WithFileSizeLimit(off_t bytes) {
    ChildRestrictions restrictions;
    restrictions.fileSizeLimit = bytes;
    return restrictions;
}

// Runs body in a forked child under the restrictions and returns the text it returned. An
// exception in the child comes back as "exception: " + what(); a child that died or could not
// apply a restriction comes back as a text starting with "child:".
std::string RunInChild(const ChildRestrictions& restrictions,
                       const std::function<std::string()>& body);
