#include "cardtypes/Settings.h"

#include <unistd.h>

#include <utility>

#include "cardtypes/IniFile.h"
#include "files/AtomicFile.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"

namespace {

constexpr const char* kLastSettingSection = "lastsetting";
constexpr const char* kCardNameKey = "cardname";
constexpr const char* kLayoutSection = "layout";
// Values are read into a buffer of 2048 bytes, terminator included.
constexpr std::size_t kMaxValueBytes = 2047;

constexpr std::array<const char*, kViewItemCount> kViewKeys = {
    "detail", "title_frontimg", "title_backimg", "title_frontimg_large", "title_backimg_large"};

constexpr const char* kListSection = "list";
constexpr const char* kSortColumnKey = "sortcolumn";
constexpr const char* kSortOrderKey = "sortdescending";
constexpr const char* kWidthsKey = "columnwidths";
constexpr const char* kMissingOnlyKey = "missingonly";
constexpr const char* kSparesOnlyKey = "sparesonly";
constexpr const char* kWantedOnlyKey = "wantedonly";
constexpr const char* kCountColumnKey = "countcolumn";
// Wider than any screen: a larger value is a damaged file, not a choice.
constexpr int kMaxColumnWidth = 10000;

constexpr const char* kWindowSection = "window";
constexpr const char* kWindowKeys[4] = {"left", "top", "width", "height"};
constexpr int kMaxWindowCoordinate = 100000;

enum class ReadResult { Read, Missing, Failed };

ReadResult ReadSettingsFile(const std::filesystem::path& path, std::string& bytes) {
    std::optional<std::string> read = ReadWholeFile(path);
    bytes = read.value_or(std::string());
    if (read) return ReadResult::Read;
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec)) ? ReadResult::Failed
                                                                              : ReadResult::Missing;
}

bool ReadBool(const IniFile& ini, const char* key, bool defaultValue) {
    auto text = ini.ReadString(kLayoutSection, key);
    if (!text) return defaultValue;
    auto value = ParseIniInteger(*text);
    return value ? *value != 0 : defaultValue;
}

}  // namespace

const char* ViewItemKey(ViewItem item) { return kViewKeys.at(static_cast<std::size_t>(item)); }

TSettings ReadSettings(const std::filesystem::path& programFolder,
                       const std::vector<std::string>& comboItems) {
    std::string text;
    if (ReadSettingsFile(programFolder / kSettingsFileName, text) != ReadResult::Read) text.clear();
    IniFile ini(text);

    TSettings settings;
    settings.CardName = ini.ReadString(kLastSettingSection, kCardNameKey).value_or("");
    if (settings.CardName.size() > kMaxValueBytes) settings.CardName.resize(kMaxValueBytes);
    if (settings.CardName.empty() && !comboItems.empty()) settings.CardName = comboItems.front();

    // The view items are one radio group, set one key at a time from the window's initial
    // state: a true key checks its item alone, a false one clears only its own.
    ViewChecks checks = {true, false, false, false, false};
    for (std::size_t i = 0; i < kViewItemCount; ++i) {
        if (ReadBool(ini, kViewKeys[i], i == 0)) {  // only detail reads true when missing
            checks.fill(false);
            checks[i] = true;
        } else {
            checks[i] = false;
        }
    }
    for (std::size_t i = 0; i < kViewItemCount; ++i)
        if (checks[i]) settings.CheckedView = static_cast<ViewItem>(i);
    return settings;
}

namespace {

void WriteSettingsFile(const std::filesystem::path& programFolder, const std::string& cardName,
                       const ViewChecks& checks, const TListLayout* layout,
                       const TWindowPlacement* window) {
    const std::filesystem::path path = programFolder / kSettingsFileName;
    const VastrelleError refused(FormatMessage(msg::kCannotWrite, path.string()));

    // An existing file that cannot be read is refused rather than replaced, so its other
    // content is never lost; a read-only one is refused as the platform's writer refuses it.
    std::string text;
    ReadResult read = ReadSettingsFile(path, text);
    if (read == ReadResult::Failed) throw refused;
    if (read == ReadResult::Read && ::access(path.c_str(), W_OK) != 0) throw refused;

    IniFile ini(text);
    ini.WriteString(kLastSettingSection, kCardNameKey, cardName);
    for (std::size_t i = 0; i < kViewItemCount; ++i)
        ini.WriteString(kLayoutSection, kViewKeys[i], checks[i] ? "1" : "0");
    if (layout) {
        ini.WriteString(kListSection, kSortColumnKey, std::to_string(layout->SortColumn));
        ini.WriteString(kListSection, kSortOrderKey, layout->SortDescending ? "1" : "0");
        std::string widths;
        for (int width : layout->ColumnWidths) {
            if (!widths.empty()) widths += ',';
            widths += std::to_string(width);
        }
        ini.WriteString(kListSection, kWidthsKey, widths);
        ini.WriteString(kListSection, kMissingOnlyKey, layout->MissingOnly ? "1" : "0");
        // Newer choices appear in the file only once made, so a file that never had them is
        // written as before.
        for (auto [key, on] : {std::pair{kSparesOnlyKey, layout->SparesOnly},
                               std::pair{kWantedOnlyKey, layout->WantedOnly},
                               std::pair{kCountColumnKey, layout->CountColumnShown}})
            if (on || ini.ReadString(kListSection, key))
                ini.WriteString(kListSection, key, on ? "1" : "0");
    }
    if (window) {
        const int values[4] = {window->Left, window->Top, window->Width, window->Height};
        for (int i = 0; i < 4; ++i)
            ini.WriteString(kWindowSection, kWindowKeys[i], std::to_string(values[i]));
    }
    // The whole file is replaced at once: all keys are written, or none.
    if (!WriteFileAtomically(path, ini.Text())) throw refused;
}

}  // namespace

void WriteSettings(const std::filesystem::path& programFolder, const std::string& cardName,
                   const ViewChecks& checks) {
    WriteSettingsFile(programFolder, cardName, checks, nullptr, nullptr);
}

void WriteSettings(const std::filesystem::path& programFolder, const std::string& cardName,
                   const ViewChecks& checks, const TListLayout& layout) {
    WriteSettingsFile(programFolder, cardName, checks, &layout, nullptr);
}

void WriteSettings(const std::filesystem::path& programFolder, const std::string& cardName,
                   const ViewChecks& checks, const TListLayout& layout,
                   const TWindowPlacement& window) {
    WriteSettingsFile(programFolder, cardName, checks, &layout, &window);
}

std::optional<TWindowPlacement> ReadWindowPlacement(const std::filesystem::path& programFolder) {
    std::string text;
    if (ReadSettingsFile(programFolder / kSettingsFileName, text) != ReadResult::Read) text.clear();
    IniFile ini(text);
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        auto value = ini.ReadString(kWindowSection, kWindowKeys[i]);
        std::optional<std::int32_t> number;
        if (value) number = ParseIniInteger(*value);
        if (!number.has_value()) return std::nullopt;
        values[i] = number.value_or(0);
    }
    // The range is checked apart from the presence: folded into one condition, the optimiser
    // reads an empty optional's value first, which memory checkers report.
    for (int value : values)
        if (value < -kMaxWindowCoordinate || value > kMaxWindowCoordinate) return std::nullopt;
    if (values[2] < 1 || values[3] < 1) return std::nullopt;
    return TWindowPlacement{values[0], values[1], values[2], values[3]};
}

TListLayout ReadListLayout(const std::filesystem::path& programFolder) {
    std::string text;
    if (ReadSettingsFile(programFolder / kSettingsFileName, text) != ReadResult::Read) text.clear();
    IniFile ini(text);
    auto integer = [&ini](const char* key) -> std::optional<std::int32_t> {
        auto value = ini.ReadString(kListSection, key);
        return value ? ParseIniInteger(*value) : std::nullopt;
    };

    TListLayout layout;
    if (auto column = integer(kSortColumnKey); column && *column >= -1) layout.SortColumn = *column;
    if (auto descending = integer(kSortOrderKey)) layout.SortDescending = *descending != 0;
    if (auto missingOnly = integer(kMissingOnlyKey)) layout.MissingOnly = *missingOnly != 0;
    if (auto sparesOnly = integer(kSparesOnlyKey)) layout.SparesOnly = *sparesOnly != 0;
    if (auto wantedOnly = integer(kWantedOnlyKey)) layout.WantedOnly = *wantedOnly != 0;
    if (auto shown = integer(kCountColumnKey)) layout.CountColumnShown = *shown != 0;
    if (auto widths = ini.ReadString(kListSection, kWidthsKey)) {
        std::string_view rest = *widths;
        while (!rest.empty()) {
            std::size_t comma = rest.find(',');
            auto width = ParseIniInteger(rest.substr(0, comma));
            // One unusable width drops them all: half a layout would mismatch the columns.
            if (!width || *width < 1 || *width > kMaxColumnWidth) {
                layout.ColumnWidths.clear();
                break;
            }
            layout.ColumnWidths.push_back(*width);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return layout;
}
