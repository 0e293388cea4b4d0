#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Takes the next piece of a file's bytes; false once writing has failed.
using TByteSink = std::function<bool(std::string_view)>;
// Gives a file's bytes to the sink in as many pieces as it likes, so that it need not hold them
// all at once.
using TByteSource = std::function<void(const TByteSink&)>;

// A new file written under a temporary name in a folder, to be renamed into place later.
// Removed on destruction unless it was committed.
class TPendingFile {
public:
    // Writes the bytes, flushed to disk when durable; false from Ok() when any step failed.
    // The file gets `mode`, or the usual permissions of a new file when it is not given.
    TPendingFile(const std::filesystem::path& folder, std::string_view bytes, bool durable = true,
                 std::optional<mode_t> mode = std::nullopt);
    TPendingFile(const std::filesystem::path& folder, const TByteSource& source,
                 bool durable = true, std::optional<mode_t> mode = std::nullopt);
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    bool Ok() const { return m_ok; }
    // Renames the file to path, replacing what is there unless it is read-only. False (file kept
    // pending) on failure.
    bool CommitAs(const std::filesystem::path& path);

private:
    std::string m_temp;
    bool m_ok = false;
    bool m_pending = false;
};
