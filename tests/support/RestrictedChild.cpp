#include "RestrictedChild.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>

#include "FileSizeLimit.h"

namespace {

constexpr uid_t kNobody = 65534;

bool Restrict(const ChildRestrictions& restrictions) {
    if (restrictions.umask) ::umask(*restrictions.umask);
    if (restrictions.fileSizeLimit && !LimitFileSize(*restrictions.fileSizeLimit)) return false;
    if (restrictions.dropPrivileges && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            return false;
    }
    return true;
}

void WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string RunInChild(const ChildRestrictions& restrictions,
                       const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return "child: no pipe";
    pid_t pid = ::fork();
    if (pid < 0) return "child: no fork";
    if (pid == 0) {
        ::close(fds[0]);
        std::string result;
        if (!Restrict(restrictions)) {
            result = "child: cannot restrict";
        } else {
            try {
                result = body();
            } catch (const std::exception& e) {
                result = std::string("exception: ") + e.what();
            }
        }
        WriteAll(fds[1], result);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) break;
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child: died";
    return result;
}
