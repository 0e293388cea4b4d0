#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "pictures/Bitmap.h"

// The pictures the card dialog shows: files dropped on it and pictures already stored.

// A dropped picture held until OK: the file's bytes, which are what gets stored, the decoded
// picture, which the save makes the thumbnails from, and the image shown in the frame.
struct THeldPicture {
    std::string Bytes;
    std::shared_ptr<const TBitmap> Decoded;
    QImage Shown;
};

// Reads and decodes a dropped JPEG file once, fitting the shown image into area. Safe on any
// thread. Throws "ファイル %s は開けません" or "JPEG エラー #%d".
THeldPicture LoadDroppedPicture(const QString& path, QSize area);

// The stored picture imageFolder/name, chosen by its extension in any letter case (jpg, jpeg,
// bmp, ico); a null image when the name is empty or no such file exists. Throws
// "拡張子 .%s の画像形式は処理できません" for any other extension, or the open/JPEG failure.
QImage LoadStoredPicture(const std::filesystem::path& imageFolder, const std::string& name);

// The largest size with the picture's aspect ratio that fits the area, cut to whole pixels
// (never below 1 x 1).
QSize FitToArea(QSize picture, QSize area);
