#include "files/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "files/FileDescriptor.h"

namespace {

// Non-blocking, so that a pipe put there cannot hang the open; fstat then refuses it.
TFileDescriptor OpenRegular(const std::filesystem::path& path, off_t& size,
                            struct stat* status = nullptr) {
    TFileDescriptor fd(fileops::OpenForReading(path));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    size = st.st_size;
    if (status) *status = st;
    return fd;
}

// Fills as much of `buffer` as the file still has; -1 on a failed read.
ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

constexpr std::size_t kBlockSize = 1 << 16;

char* WritableData(std::string& bytes) { return bytes.data(); }
char* WritableData(TFileBytes& bytes) { return bytes.Data(); }

// Reads the file at the size it had when opened into a Buffer(size). Only a file that grew since
// costs more: its further bytes are gathered apart and the buffer made again once, instead of
// growing it past the end on every read.
template <class Buffer, class Make>
std::optional<Buffer> ReadAtSize(const std::filesystem::path& path, Make make,
                                 struct stat* status) {
    off_t size = 0;
    TFileDescriptor fd = OpenRegular(path, size, status);
    if (!fd.Valid()) return std::nullopt;
    std::optional<Buffer> buffer(make(static_cast<std::size_t>(size)));
    const ssize_t n = ReadSome(fd.Get(), WritableData(*buffer), static_cast<std::size_t>(size));
    if (n < 0) return std::nullopt;
    const std::size_t done = static_cast<std::size_t>(n);
    std::string tail;
    if (done == static_cast<std::size_t>(size)) {
        char block[4096];
        for (;;) {
            const ssize_t more = ReadSome(fd.Get(), block, sizeof block);
            if (more < 0) return std::nullopt;
            if (more == 0) break;
            tail.append(block, static_cast<std::size_t>(more));
        }
        if (tail.empty()) return buffer;
    }
    std::optional<Buffer> whole(make(done + tail.size()));
    std::memcpy(WritableData(*whole), WritableData(*buffer), done);
    std::memcpy(WritableData(*whole) + done, tail.data(), tail.size());
    return whole;
}

}  // namespace

std::optional<TFileBytes> ReadFileAtSize(const std::filesystem::path& path, struct stat* status) {
    return ReadAtSize<TFileBytes>(
        path, [](std::size_t size) { return TFileBytes(size); }, status);
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, struct stat* status) {
    return ReadAtSize<std::string>(
        path, [](std::size_t size) { return std::string(size, '\0'); }, status);
}

bool ReadFileInPieces(const std::filesystem::path& path,
                      const std::function<bool(std::string_view)>& piece, struct stat* status) {
    off_t size = 0;
    TFileDescriptor fd = OpenRegular(path, size, status);
    if (!fd.Valid()) return false;
    std::string buffer(kBlockSize, '\0');
    for (;;) {
        const ssize_t n = ReadSome(fd.Get(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (n == 0) return true;
        if (!piece(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
    }
}

bool SameFileBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
    return CompareFileBytes(a, b) == TFileComparison::Same;
}

TFileComparison CompareFileBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
    off_t sizeA = 0, sizeB = 0;
    TFileDescriptor fdA = OpenRegular(a, sizeA);
    if (!fdA.Valid() && IsFileThere(a)) return TFileComparison::FirstUnreadable;
    TFileDescriptor fdB = OpenRegular(b, sizeB);
    if (!fdB.Valid() && IsFileThere(b)) return TFileComparison::SecondUnreadable;
    if (!fdA.Valid() || !fdB.Valid() || sizeA != sizeB) return TFileComparison::Different;
    std::string blockA(kBlockSize, '\0'), blockB(kBlockSize, '\0');
    for (;;) {
        const ssize_t nA = ReadSome(fdA.Get(), blockA.data(), blockA.size());
        const ssize_t nB = ReadSome(fdB.Get(), blockB.data(), blockB.size());
        if (nA < 0) return TFileComparison::FirstUnreadable;
        if (nB < 0) return TFileComparison::SecondUnreadable;
        if (nA != nB) return TFileComparison::Different;
        if (nA == 0) return TFileComparison::Same;
        if (std::memcmp(blockA.data(), blockB.data(), static_cast<std::size_t>(nA)) != 0)
            return TFileComparison::Different;
    }
}

bool IsFileThere(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
