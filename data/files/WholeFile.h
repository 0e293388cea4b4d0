#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct stat;

// The whole content of a regular file; nullopt when it cannot be opened, is not a regular file
// (a folder, a pipe), or a read fails. `status`, when given, receives the status of the file read.
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
