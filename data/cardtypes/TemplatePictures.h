#pragma once

#include <filesystem>
#include <string>

// A template may bring its pictures: the folder named like the template without ".template"
// (castles/ beside castles.template) holds the JPEG files its cards name.

// That folder's path; empty when the template's name does not end in ".template".
std::filesystem::path TemplatePictureFolder(const std::filesystem::path& templatePath);

// Imports the template as ImportTemplate does. When its picture folder exists, the card type is
// built in a hidden folder of the program folder, every picture that a card names and that
// passes the checks of a drop (a .jpg or .jpeg name, free in the new image folder) is copied
// with its thumbnails, and the whole folder is then renamed into place: a failure leaves no
// card type behind. Pictures that the cards do not name, or that are missing, are not copied.
void ImportTemplateWithPictures(const std::filesystem::path& programFolder, const std::string& name,
                                const std::filesystem::path& templatePath);
