#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Names of card pictures and their thumbnails in an image folder: bare CP932 file names.

inline constexpr std::string_view kSmallThumbnailExtension = ".thm";
inline constexpr std::string_view kLargeThumbnailExtension = ".thm_large";

// Replaces the extension (from the last "." not followed by "\" or ":", trail bytes never
// counting) by newExtension, or appends it when there is none.
std::string ReplaceExtension(std::string_view name, std::string_view newExtension);

// The path of a picture or thumbnail file in the image folder; nullopt for a name that is empty,
// holds "/" or "\", is "." or "..", or has no file-system form, and for an empty folder (no card
// type loaded). Such names never reach the disk.
std::optional<std::filesystem::path> ImageFilePath(const std::filesystem::path& imageFolder,
                                                   std::string_view name);

// True when the name's extension is exactly ".jpg" or ".jpeg".
bool HasAcceptedExtension(std::string_view name);

// The part after the last "." as written (empty when there is none); a trail byte is never taken
// for a ".".
std::string ExtensionOf(std::string_view name);

// ASCII letters only change case; every other byte, trail bytes of CP932 included, stays.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

enum class TNameCheck { Free, OwnPicture, Taken };

// Whether a dropped file name may become a picture of the side whose current name is given.
TNameCheck CheckImageName(const std::filesystem::path& imageFolder, const std::string& droppedName,
                          const std::string& currentName);
