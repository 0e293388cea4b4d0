#pragma once

#include <filesystem>

// A hidden folder of the program folder in which a new card type is built, so that the listing
// never shows one half made; removed with what it holds unless its card type was moved out.
class TStagingFolder {
public:
    // Throws VastrelleError(kCardTypeFolderFailed, ErrorAbort) when it cannot be made.
    explicit TStagingFolder(const std::filesystem::path& programFolder);
    ~TStagingFolder();
    TStagingFolder(const TStagingFolder&) = delete;
    TStagingFolder& operator=(const TStagingFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Renames the card type folder built in the staging folder to programFolder/<its name>,
// never replacing a card type that appeared there meanwhile (kCardTypeExists, Warning), and
// flushes the program folder.
void PublishCardTypeFolder(const std::filesystem::path& built,
                           const std::filesystem::path& programFolder);
