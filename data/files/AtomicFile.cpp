#include "files/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "files/FileDescriptor.h"
#include "files/FileOps.h"
#include "files/PendingFile.h"

bool IsReplaceable(const std::filesystem::path& path) {
    return ::access(path.c_str(), F_OK) != 0 || ::access(path.c_str(), W_OK) == 0;
}

bool FlushFolder(const std::filesystem::path& folder) {
    TFileDescriptor fd(fileops::OpenFolder(folder.empty() ? "." : folder));
    return fd.Valid() && fileops::Fsync(fd.Get()) == 0 && fd.Close();
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    return WriteFileAtomically(path, [bytes](const TByteSink& sink) { sink(bytes); });
}

bool WriteFileAtomically(const std::filesystem::path& path, const TByteSource& source) {
    // The rename below would replace even a read-only file; refuse it as a direct write would.
    if (!IsReplaceable(path)) return false;
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    RemoveStaleTemporaryFiles(folder);
    // A replaced file keeps its permissions.
    std::optional<mode_t> mode;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    TPendingFile pending(folder, source, mode);
    return pending.CommitAs(path) && FlushFolder(folder);
}
