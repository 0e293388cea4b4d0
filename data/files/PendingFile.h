#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Temporary files are hidden and carry this prefix, so that a killed write leaves nothing that
// looks like a picture and its leftovers can be told apart from the user's files.
inline constexpr std::string_view kTemporaryPrefix = ".vastrelle-";

bool IsTemporaryFileName(std::string_view fileName);

// Removes the temporary files in the folder that are older than a minute (by their status
// change time): leftovers of a killed save. Younger ones may belong to a save running now.
// Failures are ignored.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// Takes the next piece of a file's bytes; false once writing has failed.
using TByteSink = std::function<bool(std::string_view)>;
// Gives a file's bytes to the sink in as many pieces as it likes, so that it need not hold them
// all at once.
using TByteSource = std::function<void(const TByteSink&)>;

// An existing file to be put in place as it is (a kept version of a picture), by a second name.
struct TLinkedFile {
    std::filesystem::path Source;
};

// A new file written under a temporary name in a folder, flushed to disk and closed, to be put in
// place later. Removed on destruction unless it was committed.
class TPendingFile {
public:
    // Ok() is false when any step failed. The file gets `mode`, or the usual permissions of a new
    // file when it is not given.
    TPendingFile(const std::filesystem::path& folder, std::string_view bytes,
                 std::optional<mode_t> mode = std::nullopt);
    TPendingFile(const std::filesystem::path& folder, const TByteSource& source,
                 std::optional<mode_t> mode = std::nullopt);
    // The source file under a temporary name in the folder (a hard link: no bytes are copied).
    TPendingFile(const std::filesystem::path& folder, const TLinkedFile& file);
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    bool Ok() const { return m_ok; }
    // The temporary name, while the file is pending.
    const std::filesystem::path& TemporaryPath() const { return m_temp; }

    // Renames the file to path, replacing what is there unless it is read-only. False (file kept
    // pending) on failure.
    bool CommitAs(const std::filesystem::path& path);
    // Gives the file the name path as well, which must be free: nothing is ever replaced. The
    // temporary name stays until destruction (on a file system without hard links, such as
    // FAT, the file is renamed to a name found free instead).
    bool PublishAs(const std::filesystem::path& path);
    // Keeps the file under its temporary name from now on; nullopt when it was not written.
    std::optional<std::filesystem::path> Keep();

private:
    std::filesystem::path m_temp;
    bool m_ok = false;
    bool m_pending = false;
};

// Gives the existing file a second, temporary name in `folder` (by default its own), so that its
// bytes stay recoverable after its own name is replaced or removed (a flushed copy where the file
// system has no hard links). nullopt on failure.
std::optional<std::filesystem::path> LinkTemporaryName(const std::filesystem::path& file,
                                                       const std::filesystem::path& folder = {});

// Gives the existing file `from` the free name `to` as well: a hard link, or a flushed copy
// where the file system has none. False on failure.
bool LinkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to);
