#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "files/LargeBuffer.h"

struct stat;

// A file's bytes in a buffer of exactly their size, never filled before the read: a large card
// list or camera picture is touched once, by the read itself, in huge pages where it can be.
class TFileBytes {
public:
    TFileBytes() = default;
    // Room for `size` bytes, left as the allocator gives it.
    explicit TFileBytes(std::size_t size)
        : m_data(AllocateLargeBuffer(size), TLargeBufferFree{size}), m_size(size) {}

    std::string_view View() const { return {m_data.get(), m_size}; }
    char* Data() { return m_data.get(); }
    std::size_t Size() const { return m_size; }

private:
    std::unique_ptr<char[], TLargeBufferFree> m_data;
    std::size_t m_size = 0;
};

// The whole content of a regular file, read at the size fstat gives (a file that grew meanwhile is
// still read to its end); nullopt when it cannot be opened, is not a regular file (a folder, a
// pipe), or a read fails. `status`, when given, receives the status of the file read.
std::optional<TFileBytes> ReadFileAtSize(const std::filesystem::path& path,
                                         struct stat* status = nullptr);

// The same bytes as a string, for a caller that keeps them.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path,
                                         struct stat* status = nullptr);

// The same bytes handed to `piece` a block at a time, so that they are never held whole; false
// when the file cannot be read as above or `piece` returns false.
bool ReadFileInPieces(const std::filesystem::path& path,
                      const std::function<bool(std::string_view)>& piece,
                      struct stat* status = nullptr);

// Whether both regular files read and hold the same bytes; the sizes are compared first.
bool SameFileBytes(const std::filesystem::path& a, const std::filesystem::path& b);

// The same, telling a file that is there but does not read (an I/O error, no permission) from
// one that differs; a missing file, or one that is no regular file, differs.
enum class TFileComparison { Same, Different, FirstUnreadable, SecondUnreadable };
TFileComparison CompareFileBytes(const std::filesystem::path& a, const std::filesystem::path& b);

// Whether a regular file is there (after a failed read: it did not read, rather than missing).
bool IsFileThere(const std::filesystem::path& path);
