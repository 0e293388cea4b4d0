#pragma once

#include <filesystem>
#include <string_view>

#include "files/PendingFile.h"

// Replaces the file at `path` with `bytes` so that it is never seen half-written: the bytes go
// to a temporary file in the same folder, are flushed to disk, the temporary file is renamed
// over `path` and the folder is flushed. Returns false (leaving any old file as it was and no
// temporary file behind) when any step before the rename fails or the file is read-only; a
// failed flush of the folder after the rename is a failure too, with the new file in place. A
// new file gets the usual permissions; a replaced one keeps its.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The same, with the bytes given in pieces.
bool WriteFileAtomically(const std::filesystem::path& path, const TByteSource& source);

// False for an existing file the user may not write: such a file is never replaced.
bool IsReplaceable(const std::filesystem::path& path);

// Flushes the folder's entries (names made, renamed or removed) to disk.
bool FlushFolder(const std::filesystem::path& folder);
