#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "files/PendingFile.h"

// The history's compressed files are zstd frames that carry the size and a checksum of the bytes
// they give, so that a damaged file, or one put on the wrong base, is reported rather than taken
// for the version.

// One frame of `bytes`; with a base, compressed against it (zstd's prefix mode), so that what the
// two share costs next to nothing.
std::string CompressFrame(std::string_view bytes, std::string_view base = {});

// The bytes of one frame, checked against the size and checksum it carries; nullopt when it is
// damaged or was made against another base.
std::optional<std::string> DecompressFrame(std::string_view frame, std::string_view base = {});

// The frame CompressFrame makes of a whole file without a base, given to `sink` a piece at a
// time while the file is read a block at a time (`read` sees each block), so that neither the
// file nor the frame is ever held whole. False when the file does not read or the sink fails.
bool CompressFileInPieces(const std::filesystem::path& file, const TByteSink& sink,
                          const std::function<void(std::string_view)>& read);
