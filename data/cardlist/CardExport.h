#pragma once

#include <filesystem>
#include <string>

#include "cardlist/Common.h"

// The two exports of a card list, in UTF-8, shared by the command-line tool and the window.

// The cards not owned, one line each: number TAB title LF.
std::string MissingCardsText(const TCardInfos& cards);

// Every card as CSV with a UTF-8 byte order mark and a header line, lines ended by CR LF.
std::string CardsCsvText(const TCardInfos& cards);

// Replaces the file at `path` by `text` atomically. Throws VastrelleError("<path>
// に書き込めません") when it cannot; an old file is then unchanged.
void WriteExportFile(const std::filesystem::path& path, const std::string& text);
