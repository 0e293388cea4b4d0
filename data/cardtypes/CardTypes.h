#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Card type folders in the program folder: programFolder/<name>/cardlist.dat and .../image.
// Names are CP932 bytes.

inline constexpr const char* kImageFolderName = "image";

// Card types of the program folder: plain (not hidden, not a symbolic link, writable)
// directories holding a regular file cardlist.dat, whose names have a CP932 form that is a valid
// card type name leading back to that folder, sorted by their CP932 bytes. An unreadable
// program folder lists nothing.
std::vector<std::string> ListCardTypes(const std::filesystem::path& programFolder);

// The two current card type paths: empty until Set with a non-empty name.
class CurrentCardTypePaths {
public:
    // Empties both paths, then sets them for a non-empty name whose folder can be formed.
    // Returns false (paths left empty) for an empty name or one that cannot be a folder name.
    bool Set(const std::filesystem::path& programFolder, const std::string& name);
    void Clear();
    bool IsSet() const { return !m_cardTypeFolder.empty(); }
    const std::filesystem::path& CardTypeFolder() const { return m_cardTypeFolder; }
    const std::filesystem::path& ImageFolder() const { return m_imageFolder; }

private:
    std::filesystem::path m_cardTypeFolder;
    std::filesystem::path m_imageFolder;
};

// Whether a typed card type name may become a listed folder of the program folder (no "/", "\",
// NUL or control character, no "." first, has a file-system form).
bool IsValidCardTypeName(const std::string& name);

// Makes programFolder/name, its image folder and an empty card list file. The card type is built
// under a hidden name and renamed into place whole: after a failure nothing is left. Every
// failure throws VastrelleError carrying the message and its box kind, in the order: refused
// name (Warning), folder exists (Warning), folder (ErrorAbort), image folder (ErrorAbort),
// cardlist.dat (ErrorAbort).
void CreateCardType(const std::filesystem::path& programFolder, const std::string& name);

// As CreateCardType, but cardlist.dat holds the template's lines (bytes unchanged, each ended by
// CR LF, up to the first NUL). An unreadable template throws "ファイル %s は開けません"
// (FailureReport), checked after the folders could be made.
void ImportTemplate(const std::filesystem::path& programFolder, const std::string& name,
                    const std::filesystem::path& templatePath);

// The way both are made: after the name checks, the card type is built in a hidden folder of the
// program folder named from `prefix` (one of the two below; holding its empty image folder),
// `fill` writes into it, and it is renamed to its name; whatever fails, the hidden folder goes.
// Hidden folders that a killed build left are removed first, once they are a minute old.
inline constexpr const char* kCreateFolderPrefix = ".create-";
inline constexpr const char* kImportFolderPrefix = ".import-";
void BuildCardType(const std::filesystem::path& programFolder, const std::string& name,
                   const char* prefix,
                   const std::function<void(const std::filesystem::path& folder)>& fill);

// Writes the template's lines as folder/cardlist.dat and returns them, as ImportTemplate does.
std::string WriteTemplateCardList(const std::filesystem::path& folder,
                                  const std::filesystem::path& templatePath);

// The proposed card type name for a template file: its file name without the last extension.
std::string ProposedCardTypeName(const std::filesystem::path& templatePath);
