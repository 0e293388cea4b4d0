#pragma once

#include <filesystem>

#include "files/AtomicFile.h"  // FlushFolder

// Renames that publish whole folders and names, never replacing what is there.

// Renames from to to, failing (false) when to exists; a race with another program that makes
// `to` meanwhile cannot overwrite it either.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
