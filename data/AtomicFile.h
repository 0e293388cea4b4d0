#pragma once

#include <filesystem>
#include <string_view>

#include "PendingFile.h"

// Replaces the file at `path` with `bytes` so that it is never seen half-written: the bytes go
// to a temporary file in the same folder, are flushed to disk, and the temporary file is then
// renamed over `path`. Returns false (leaving any old file as it was and no temporary file
// behind) when any step fails or the file is read-only. A new file gets the usual permissions; a
// replaced one keeps its.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The same, with the bytes given in pieces.
bool WriteFileAtomically(const std::filesystem::path& path, const TByteSource& source);

// False for an existing file the user may not write: such a file is never replaced.
bool IsReplaceable(const std::filesystem::path& path);
