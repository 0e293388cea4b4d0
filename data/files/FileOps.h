#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// Every call of the core that writes, flushes, renames, links, removes or makes folders goes
// through here, so that a test can make any one of them fail and can see the order they came in;
// so do the opening of files for reading and the listing of folders, which a test may include.
// Each returns what the system call returns (-1 with errno on failure).
namespace fileops {

// mkostemp: creates a new file from the pattern (ending in XXXXXX), opened for writing.
int CreateUnique(std::string& pattern);
// Opens a folder so that it can be flushed.
int OpenFolder(const std::filesystem::path& folder);
ssize_t Write(int fd, const void* data, std::size_t size);
int Fsync(int fd);
int Fchmod(int fd, mode_t mode);
int Close(int fd);
int Rename(const std::filesystem::path& from, const std::filesystem::path& to);
// Renames, failing with EEXIST when `to` exists (on a file system without the flag, a check
// before the rename, which only a racing program could slip past).
int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Gives the file `from` the new name `to` as well; never replaces anything at `to`.
int Link(const std::filesystem::path& from, const std::filesystem::path& to);
int Unlink(const std::filesystem::path& path);
int MakeFolder(const std::filesystem::path& path);
// Creates a new folder, with the usual permissions, from the pattern (ending in XXXXXX, which is
// replaced by the name given).
int MakeUniqueFolder(std::string& pattern);
// Removes an empty folder.
int RemoveFolder(const std::filesystem::path& path);

// Opens a file for reading (non-blocking, so that a pipe cannot hang it).
int OpenForReading(const std::filesystem::path& path);
// The entries of a folder (full paths, in the order the system gives them).
int ListFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& entries);

}  // namespace fileops

// The hook the tests arm. Not thread-safe: the core writes from one thread.
namespace fileops::testing {

enum class TCall {
    CreateUnique,
    OpenFolder,
    Write,
    Fsync,
    Fchmod,
    Close,
    Rename,
    Link,
    Unlink,
    MakeFolder,
    RemoveFolder,
    OpenForReading,
    ListFolder
};

struct TRecord {
    TCall Call;
    std::string Path;    // the file or folder (for a descriptor, what it was opened as)
    std::string Target;  // the new name of Rename and Link
};

const char* CallName(TCall call);

// From now on, the nth call (1 = the next one) fails with `error` without reaching the system;
// the count restarts. Calls are recorded until Reset.
void FailCall(long n, int error);
// Besides, every call of that kind fails with `error`, as on a file system without such calls
// (after FailCall or Watch, which forget it).
void FailEvery(TCall call, int error);
// Only counts and records.
void Watch();
// Besides, until Reset, opening files for reading and listing folders count as calls as well.
void IncludeReads();
// Back to plain system calls; forgets the record.
void Reset();
// Calls since FailCall or Watch, and whether the armed failure was given out.
long CallCount();
bool Failed();
const std::vector<TRecord>& Record();

// How old a temporary file must be before a save takes it for a leftover of a killed one (a
// minute, unless a test shortens it).
std::chrono::seconds StaleAge();
void SetStaleAge(std::chrono::seconds age);

}  // namespace fileops::testing
