#pragma once

#include <filesystem>

class QWidget;

// What the program tells or asks once at start-up about its program folder.

// The warning that nothing can be saved in the folder (a read-only medium).
void ReportReadOnlyProgramFolder(QWidget* parent, const std::filesystem::path& programFolder);

// When card type folders or pictures carry Shift_JIS names (copied from Windows), asks once
// whether to rename them to UTF-8 and does so for every card type that can be renamed whole.
// Failures are shown in one warning. Nothing is asked when there is nothing to rename.
void OfferNameConversion(QWidget* parent, const std::filesystem::path& programFolder);
