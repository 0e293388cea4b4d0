#pragma once

#include <filesystem>
#include <string>

#include "cardlist/Common.h"

// The two exports of a card list, in UTF-8, shared by the command-line tool and the window.

// The cards not owned, one line each: number TAB title LF.
std::string MissingCardsText(const TCardInfos& cards);

// Every card as CSV with a UTF-8 byte order mark and a header line, lines ended by CR LF. The
// columns 枚数 (copies, empty when not owned) and 欲しい (●) follow the specified six.
std::string CardsCsvText(const TCardInfos& cards);

enum class TListFormat { Text, Csv };

// The spares for trading: each card with more than one copy, with the copies beyond the first.
// Text: number TAB title TAB spares LF; CSV as CardsCsvText, columns No., タイトル, ダブり.
std::string SparesText(const TCardInfos& cards, TListFormat format);

// The shopping list: the wanted cards not owned, then the other cards not owned, each part in
// card order. Text: number TAB title, then TAB "欲しい" for a wanted one, LF; CSV columns No.,
// タイトル, 欲しい.
std::string WantsText(const TCardInfos& cards, TListFormat format);

// Replaces the file at `path` by `text` atomically. Throws VastrelleError("<path>
// に書き込めません") when it cannot; an old file is then unchanged.
void WriteExportFile(const std::filesystem::path& path, const std::string& text);
