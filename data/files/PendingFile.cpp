#include "files/PendingFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <random>

#include "files/AtomicFile.h"
#include "files/FileDescriptor.h"
#include "files/FileOps.h"
#include "files/WholeFile.h"

namespace fs = std::filesystem;

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = fileops::Write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file system cannot link at all (FAT, some network shares), as opposed to a link that
// failed.
bool LinksUnsupported(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOTSUP || error == ENOSYS;
}

bool Written(int fd, const TByteSource& source) {
    bool written = true;
    source([fd, &written](std::string_view piece) {
        written = written && WriteAll(fd, piece);
        return written;
    });
    return written;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool IsTemporaryFileName(std::string_view fileName) {
    return fileName.starts_with(kTemporaryPrefix) && fileName.size() == kTemporaryPrefix.size() + 6;
}

void RemoveStaleTemporaryFiles(const fs::path& folder) {
    const auto now = std::chrono::system_clock::now();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!IsTemporaryFileName(it->path().filename().native())) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const auto changed = std::chrono::system_clock::from_time_t(st.st_ctime);
        if (now - changed >= fileops::testing::StaleAge()) fileops::Unlink(it->path());
    }
}

TPendingFile::TPendingFile(const fs::path& folder, std::string_view bytes,
                           std::optional<mode_t> mode)
    : TPendingFile(
          folder, [bytes](const TByteSink& sink) { sink(bytes); }, mode) {}

TPendingFile::TPendingFile(const fs::path& folder, const TByteSource& source,
                           std::optional<mode_t> mode) {
    std::string temp = (folder / kTemporaryPrefix).string() + "XXXXXX";
    TFileDescriptor fd(fileops::CreateUnique(temp));
    if (!fd.Valid()) return;
    m_temp = temp;
    m_pending = true;
    // Flushed before it is ever put in place: a power cut must not leave an empty file under a
    // name the card list uses.
    m_ok = fileops::Fchmod(fd.Get(), mode.value_or(NewFileMode())) == 0 &&
           Written(fd.Get(), source) && fileops::Fsync(fd.Get()) == 0;
    m_ok = fd.Close() && m_ok;
}

TPendingFile::TPendingFile(const fs::path& folder, const TLinkedFile& file) {
    std::optional<fs::path> temp = LinkTemporaryName(file.Source, folder);
    if (!temp) return;
    m_temp = std::move(*temp);
    m_ok = m_pending = true;
}

TPendingFile::~TPendingFile() {
    if (m_pending) fileops::Unlink(m_temp);
}

bool TPendingFile::CommitAs(const fs::path& path) {
    if (!m_ok || !m_pending || !IsReplaceable(path) || fileops::Rename(m_temp, path) != 0)
        return false;
    m_pending = false;
    return true;
}

bool TPendingFile::PublishAs(const fs::path& path) {
    if (!m_ok || !m_pending) return false;
    if (fileops::Link(m_temp, path) == 0) return true;
    if (!LinksUnsupported(errno)) return false;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec)) || fileops::Rename(m_temp, path) != 0)
        return false;
    m_pending = false;
    return true;
}

std::optional<fs::path> TPendingFile::Keep() {
    if (!m_ok || !m_pending) return std::nullopt;
    m_pending = false;
    return m_temp;
}

namespace {

// A flushed copy of the file under a temporary name in the folder, keeping its permissions.
std::optional<fs::path> CopyToTemporaryName(const fs::path& file, const fs::path& folder) {
    const std::optional<std::string> bytes = ReadWholeFile(file);
    struct stat st {};
    if (!bytes || ::stat(file.c_str(), &st) != 0) return std::nullopt;
    return TPendingFile(folder, *bytes, st.st_mode & 07777).Keep();
}

}  // namespace

std::optional<fs::path> LinkTemporaryName(const fs::path& file, const fs::path& folder) {
    static std::mt19937 random(std::random_device{}());
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(kTemporaryPrefix);
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        const fs::path into = folder.empty() ? file.parent_path() : folder;
        if (fileops::Link(file, into / name) == 0) return into / name;
        if (LinksUnsupported(errno)) return CopyToTemporaryName(file, into);
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

bool LinkOrCopy(const fs::path& from, const fs::path& to) {
    if (fileops::Link(from, to) == 0) return true;
    if (!LinksUnsupported(errno)) return false;
    std::optional<fs::path> copy = CopyToTemporaryName(from, to.parent_path());
    if (!copy) return false;
    // Never replaces anything at `to`, as a link would not.
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(to, ec)) && fileops::Rename(*copy, to) == 0) return true;
    fileops::Unlink(*copy);
    return false;
}
