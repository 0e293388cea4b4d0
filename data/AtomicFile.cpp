#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "PendingFile.h"

bool IsReplaceable(const std::filesystem::path& path) {
    return ::access(path.c_str(), F_OK) != 0 || ::access(path.c_str(), W_OK) == 0;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    return WriteFileAtomically(path, [bytes](const TByteSink& sink) { sink(bytes); });
}

bool WriteFileAtomically(const std::filesystem::path& path, const TByteSource& source) {
    // The rename below would replace even a read-only file; refuse it as a direct write would.
    if (!IsReplaceable(path)) return false;
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    // A replaced file keeps its permissions.
    std::optional<mode_t> mode;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    TPendingFile pending(folder, source, true, mode);
    if (!pending.CommitAs(path)) return false;
    // Make the rename itself durable.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
