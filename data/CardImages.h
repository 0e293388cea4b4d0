#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Card pictures (JPEG, kept under the dropped file's name) and their BMP thumbnails in an image
// folder. Picture names are bare CP932 file names.

inline constexpr std::string_view kSmallThumbnailExtension = ".thm";
inline constexpr std::string_view kLargeThumbnailExtension = ".thm_large";

// A decoded picture: 24-bit RGB, rows top-down, no padding.
struct TBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

// Replaces the extension (from the last "." not followed by "\" or ":", trail bytes never
// counting) by newExtension, or appends it when there is none.
std::string ReplaceExtension(std::string_view name, std::string_view newExtension);

// The path of a picture or thumbnail file in the image folder; nullopt for a name that is empty,
// holds "/" or "\", is "." or "..", or has no file-system form, and for an empty folder (no card
// type loaded). Such names never reach the disk.
std::optional<std::filesystem::path> ImageFilePath(const std::filesystem::path& imageFolder,
                                                   std::string_view name);

// Fits the bitmap into a W x H box by the thumbnail rule, nearest-neighbour. False (bitmap
// unchanged) on failure.
bool ScaleImageToBox(TBitmap& bitmap, int boxWidth, int boxHeight);

// Decodes JPEG bytes at full size into RGB. Throws "JPEG エラー #%d".
TBitmap DecodeJpeg(std::string_view bytes);

// A Windows BMP file (24 bits, bottom-up rows padded to 4 bytes) of the bitmap.
std::string EncodeBmp(const TBitmap& bitmap);

// Reads imageFolder/name and writes name.thm_large (100 x 100 box) and name.thm (50 x 50).
void MakeThumbnails(const std::filesystem::path& imageFolder, const std::string& name);

// Removes the picture and its two thumbnails as far as they exist; never fails.
void DeleteImageFiles(const std::filesystem::path& imageFolder, const std::string& name);

// Writes the held bytes unchanged as imageFolder/name. Throws "ファイル %s を作成できません".
void StoreImage(const std::filesystem::path& imageFolder, std::string_view bytes,
                const std::string& name);

// Stores one side of a card safely: the new picture and its thumbnails are written under
// temporary names first, then the old picture's files are removed, then the new files are
// renamed into place. A failure before the removal leaves the old files as they were; a new file
// name taken by a read-only file is refused before anything is removed.
// oldName may be empty (no picture before).
void StoreImageSide(const std::filesystem::path& imageFolder, const std::string& oldName,
                    std::string_view heldBytes, const std::string& newName);

enum class TNameCheck { Free, OwnPicture, Taken };

// Whether a dropped file name may become a picture of the side whose current name is given.
TNameCheck CheckImageName(const std::filesystem::path& imageFolder, const std::string& droppedName,
                          const std::string& currentName);

// True when the path's extension is exactly ".jpg" or ".jpeg".
bool HasAcceptedExtension(std::string_view path);
