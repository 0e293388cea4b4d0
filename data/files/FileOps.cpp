#include "files/FileOps.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <string_view>

namespace fileops {

namespace {

using testing::TCall;

struct THook {
    bool Active = false;
    bool Reads = false;
    long FailAt = 0;                // 0: no failure armed
    std::optional<TCall> FailKind;  // fails every time
    int KindError = 0;
    int Error = 0;
    long Count = 0;
    bool Failed = false;
    std::vector<testing::TRecord> Record;
    std::map<int, std::string> Descriptors;  // what each descriptor was opened as
};

THook& Hook() {
    static THook hook;
    return hook;
}

// True when the call must fail (errno set); records it otherwise as well.
bool Intercept(TCall call, const std::string& path, const std::string& target = {}) {
    THook& hook = Hook();
    if (!hook.Active) return false;
    if ((call == TCall::OpenForReading || call == TCall::ListFolder) && !hook.Reads) return false;
    ++hook.Count;
    hook.Record.push_back({call, path, target});
    if (hook.Count == hook.FailAt) {
        hook.Failed = true;
        errno = hook.Error;
        return true;
    }
    if (hook.FailKind != call) return false;
    errno = hook.KindError;
    return true;
}

std::string DescriptorName(int fd) {
    auto it = Hook().Descriptors.find(fd);
    return it == Hook().Descriptors.end() ? std::string() : it->second;
}

void Remember(int fd, const std::string& name) {
    if (fd >= 0 && Hook().Active) Hook().Descriptors[fd] = name;
}

}  // namespace

int CreateUnique(std::string& pattern) {
    if (Intercept(TCall::CreateUnique, pattern)) return -1;
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    Remember(fd, pattern);
    if (Hook().Active) Hook().Record.back().Path = pattern;  // the name it was given
    return fd;
}

int OpenFolder(const std::filesystem::path& folder) {
    if (Intercept(TCall::OpenFolder, folder.string())) return -1;
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Remember(fd, folder.string());
    return fd;
}

ssize_t Write(int fd, const void* data, std::size_t size) {
    if (Intercept(TCall::Write, DescriptorName(fd))) return -1;
    return ::write(fd, data, size);
}

int Fsync(int fd) {
    if (Intercept(TCall::Fsync, DescriptorName(fd))) return -1;
    return ::fsync(fd);
}

int Fchmod(int fd, mode_t mode) {
    if (Intercept(TCall::Fchmod, DescriptorName(fd))) return -1;
    return ::fchmod(fd, mode);
}

int Close(int fd) {
    const bool fail = Intercept(TCall::Close, DescriptorName(fd));
    Hook().Descriptors.erase(fd);
    // The descriptor is gone either way: a close is never retried.
    const int result = ::close(fd);
    if (fail) {
        errno = Hook().Error;
        return -1;
    }
    return result;
}

int Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (Intercept(TCall::Rename, from.string(), to.string())) return -1;
    return std::rename(from.c_str(), to.c_str());
}

int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (Intercept(TCall::Rename, from.string(), to.string())) return -1;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from.c_str(), to.c_str());
}

int Link(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (Intercept(TCall::Link, from.string(), to.string())) return -1;
    return ::link(from.c_str(), to.c_str());
}

int Unlink(const std::filesystem::path& path) {
    if (Intercept(TCall::Unlink, path.string())) return -1;
    return ::unlink(path.c_str());
}

int MakeFolder(const std::filesystem::path& path) {
    if (Intercept(TCall::MakeFolder, path.string())) return -1;
    return ::mkdir(path.c_str(), 0777);
}

int MakeUniqueFolder(std::string& pattern) {
    if (Intercept(TCall::MakeFolder, pattern)) return -1;
    // Not mkdtemp: the folder is to become a card type with the usual permissions of a folder.
    static std::mt19937 random{std::random_device{}()};
    constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t start = pattern.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = start; i < pattern.size(); ++i)
            pattern[i] = kLetters[random() % kLetters.size()];
        if (::mkdir(pattern.c_str(), 0777) == 0) {
            if (Hook().Active) Hook().Record.back().Path = pattern;
            return 0;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

int RemoveFolder(const std::filesystem::path& path) {
    if (Intercept(TCall::RemoveFolder, path.string())) return -1;
    return ::rmdir(path.c_str());
}

int OpenForReading(const std::filesystem::path& path) {
    if (Intercept(TCall::OpenForReading, path.string())) return -1;
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

int ListFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& entries) {
    entries.clear();
    if (Intercept(TCall::ListFolder, folder.string())) return -1;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        entries.push_back(it->path());
    if (!ec) return 0;
    entries.clear();
    errno = ec.value();
    return -1;
}

namespace testing {

const char* CallName(TCall call) {
    switch (call) {
        case TCall::CreateUnique:
            return "create";
        case TCall::OpenFolder:
            return "openfolder";
        case TCall::Write:
            return "write";
        case TCall::Fsync:
            return "fsync";
        case TCall::Fchmod:
            return "fchmod";
        case TCall::Close:
            return "close";
        case TCall::Rename:
            return "rename";
        case TCall::Link:
            return "link";
        case TCall::Unlink:
            return "unlink";
        case TCall::MakeFolder:
            return "mkdir";
        case TCall::RemoveFolder:
            return "rmdir";
        case TCall::OpenForReading:
            return "open";
        case TCall::ListFolder:
            return "list";
    }
    return "?";
}

void FailCall(long n, int error) {
    Reset();
    Hook().Active = true;
    Hook().FailAt = n;
    Hook().Error = error;
}

void FailEvery(TCall call, int error) {
    if (!Hook().Active) Watch();
    Hook().FailKind = call;
    Hook().KindError = error;
}

void Watch() { FailCall(0, 0); }

void IncludeReads() {
    if (!Hook().Active) Watch();
    Hook().Reads = true;
}

void Reset() { Hook() = THook{}; }

long CallCount() { return Hook().Count; }
bool Failed() { return Hook().Failed; }
const std::vector<TRecord>& Record() { return Hook().Record; }

namespace {
std::chrono::seconds g_staleAge = std::chrono::minutes(1);
}

std::chrono::seconds StaleAge() { return g_staleAge; }
void SetStaleAge(std::chrono::seconds age) { g_staleAge = age; }

}  // namespace testing

}  // namespace fileops
