#include "Settings.h"

#include <unistd.h>

#include "AtomicFile.h"
#include "IniFile.h"
#include "Messages.h"
#include "VastrelleError.h"
#include "WholeFile.h"

namespace {

constexpr const char* kLastSettingSection = "lastsetting";
constexpr const char* kCardNameKey = "cardname";
constexpr const char* kLayoutSection = "layout";
// Values are read into a buffer of 2048 bytes, terminator included.
constexpr std::size_t kMaxValueBytes = 2047;

constexpr std::array<const char*, kViewItemCount> kViewKeys = {
    "detail", "title_frontimg", "title_backimg", "title_frontimg_large", "title_backimg_large"};

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

void WriteSettings(const std::filesystem::path& programFolder, const std::string& cardName,
                   const ViewChecks& checks) {
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
    // The whole file is replaced at once: all six keys are written, or none.
    if (!WriteFileAtomically(path, ini.Text())) throw refused;
}
