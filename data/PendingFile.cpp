#include "PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "AtomicFile.h"

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

TPendingFile::TPendingFile(const std::filesystem::path& folder, std::string_view bytes,
                           bool durable, std::optional<mode_t> mode)
    : TPendingFile(
          folder, [bytes](const TByteSink& sink) { sink(bytes); }, durable, mode) {}

TPendingFile::TPendingFile(const std::filesystem::path& folder, const TByteSource& source,
                           bool durable, std::optional<mode_t> mode) {
    // Hidden, so that a crash between writing and renaming leaves no file that looks like a
    // picture.
    m_temp = (folder / ".vastrelle-XXXXXX").string();
    int fd = ::mkstemp(m_temp.data());
    if (fd < 0) return;
    m_pending = true;
    if (!mode) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool written = ::fchmod(fd, *mode) == 0;
    source([fd, &written](std::string_view piece) {
        written = written && WriteAll(fd, piece);
        return written;
    });
    m_ok = written && (!durable || ::fsync(fd) == 0);
    m_ok = ::close(fd) == 0 && m_ok;
}

TPendingFile::~TPendingFile() {
    if (m_pending) ::unlink(m_temp.c_str());
}

bool TPendingFile::CommitAs(const std::filesystem::path& path) {
    if (!m_ok || !m_pending || !IsReplaceable(path) ||
        std::rename(m_temp.c_str(), path.c_str()) != 0)
        return false;
    m_pending = false;
    return true;
}
