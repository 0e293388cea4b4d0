#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kSettingsFileName = "setting.ini";

// The five view items of the 表示 menu, in the order of their keys in [layout].
enum class ViewItem {
    Detail = 0,
    TitleFrontImg,
    TitleBackImg,
    TitleFrontImgLarge,
    TitleBackImgLarge
};
inline constexpr std::size_t kViewItemCount = 5;
// The key of each view item: detail, title_frontimg, ..., title_backimg_large.
const char* ViewItemKey(ViewItem item);

using ViewChecks = std::array<bool, kViewItemCount>;

struct TSettings {
    std::string CardName;                 // CP932; the card type to load at start-up
    std::optional<ViewItem> CheckedView;  // none when every view key reads false
};

// How the user arranged the card list: kept in a section of its own ([list]) that the
// specified sections never use, so older readers of the file ignore it.
struct TListLayout {
    int SortColumn = -1;  // -1: file order
    bool SortDescending = false;
    std::vector<int> ColumnWidths;  // the widths the user set, in column order; empty: none
    bool MissingOnly = false;
    bool SparesOnly = false;
    bool WantedOnly = false;
    bool CountColumnShown = false;  // the 枚数 column, hidden by default
};

// The main window's size and position on the desktop, kept in a section of its own ([window]).
struct TWindowPlacement {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TWindowPlacement&) const = default;
};

// Reads programFolder/setting.ini as start-up does. comboItems are the listed card types: when
// there is at least one and no name was remembered, the first is taken. Never fails.
TSettings ReadSettings(const std::filesystem::path& programFolder,
                       const std::vector<std::string>& comboItems);

// Writes cardname and the five view keys, keeping every other line of the file. Throws
// VastrelleError("<path> に書き込めません") when the file cannot be written; the old file is
// then unchanged.
void WriteSettings(const std::filesystem::path& programFolder, const std::string& cardName,
                   const ViewChecks& checks);
// The same, with the list layout in its own section, all in one replacement of the file.
void WriteSettings(const std::filesystem::path& programFolder, const std::string& cardName,
                   const ViewChecks& checks, const TListLayout& layout);

// The same, with the window placement in its own section as well.
void WriteSettings(const std::filesystem::path& programFolder, const std::string& cardName,
                   const ViewChecks& checks, const TListLayout& layout,
                   const TWindowPlacement& window);

// The window placement of programFolder/setting.ini; nullopt when a value is missing or
// unusable (a size below 1 or beyond any screen).
std::optional<TWindowPlacement> ReadWindowPlacement(const std::filesystem::path& programFolder);

// The list layout of programFolder/setting.ini; missing or unusable values read as the defaults.
TListLayout ReadListLayout(const std::filesystem::path& programFolder);
