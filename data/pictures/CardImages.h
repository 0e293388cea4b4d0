#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The picture and JPEG headers come along for the files that reach them through here.
#include "pictures/Bitmap.h"
#include "pictures/ImageNames.h"
#include "pictures/Jpeg.h"

// Card pictures (JPEG, kept under the dropped file's name) and their BMP thumbnails in an image
// folder. Picture names are bare CP932 file names.

// The BMP bytes of a picture's two thumbnails.
struct TThumbnailFiles {
    std::string Large;  // fitted into 100 x 100
    std::string Small;  // the large one fitted into 50 x 50
};

// The thumbnails of the picture `name`: from `decoded` when given (the picture decoded already),
// else decoded from the JPEG bytes; the same either way. Throws "JPEG エラー #%d", or
// "ファイル %s を作成できません" (folder/name's thumbnail) when a fit fails.
TThumbnailFiles MakeThumbnailFiles(std::string_view jpegBytes, const TBitmap* decoded,
                                   const std::filesystem::path& imageFolder, std::string_view name);

// Reads imageFolder/name and writes name.thm_large (100 x 100 box) and name.thm (50 x 50),
// both or neither.
void MakeThumbnails(const std::filesystem::path& imageFolder, const std::string& name);

// Removes the picture and its two thumbnails as far as they exist; never fails.
void DeleteImageFiles(const std::filesystem::path& imageFolder, const std::string& name);

// Writes the held bytes unchanged as imageFolder/name. Throws "ファイル %s を作成できません".
void StoreImage(const std::filesystem::path& imageFolder, std::string_view bytes,
                const std::string& name);

// Stores one side of a card on its own, without the card list: the new picture and its
// thumbnails are written under temporary names first, then the old picture's files are removed,
// then the new files are renamed into place. Superseded by SaveCard (CardStore.h), which saves
// the pictures and the card list as one; kept until every caller uses that.
void StoreImageSide(const std::filesystem::path& imageFolder, const std::string& oldName,
                    std::string_view heldBytes, const std::string& newName);
