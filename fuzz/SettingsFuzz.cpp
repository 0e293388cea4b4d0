// Bytes as setting.ini. Reading never fails, the INI text is kept byte for byte, and writing back
// what was read reads the same while every other key keeps its value.
#include <array>

#include "FuzzScratch.h"
#include "cardtypes/IniFile.h"
#include "cardtypes/Settings.h"

namespace {

constexpr std::array<std::array<const char*, 2>, 4> kOtherKeys = {
    {{"lastsetting", "other"}, {"layout", "width"}, {"LAYOUT", "Detail2"}, {"x", "cardname"}}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzScratch scratch;
    const std::string_view text = AsText(data, size);
    const IniFile before(text);
    FUZZ_CHECK(before.Text() == text);
    for (const auto& [section, key] : kOtherKeys)
        if (auto value = before.ReadString(section, key)) (void)ParseIniInteger(*value);

    WriteFuzzFile(scratch.Path() / kSettingsFileName, text);
    const std::vector<std::string> comboItems = {"first"};
    const TSettings read = ReadSettings(scratch.Path(), comboItems);
    ViewChecks checks{};
    if (read.CheckedView) checks[static_cast<std::size_t>(*read.CheckedView)] = true;
    WriteSettings(scratch.Path(), read.CardName, checks);

    const TSettings reread = ReadSettings(scratch.Path(), comboItems);
    // A value is one line of the file: from a NUL on, nothing of it can be written, and an empty
    // name reads as the first listed card type.
    const std::string written = read.CardName.substr(0, read.CardName.find('\0'));
    FUZZ_CHECK(reread.CardName == (written.empty() ? comboItems.front() : written));
    FUZZ_CHECK(reread.CheckedView == read.CheckedView);
    std::string writtenText;
    {
        std::FILE* file = std::fopen((scratch.Path() / kSettingsFileName).c_str(), "rb");
        FUZZ_CHECK(file != nullptr);
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
            writtenText.append(buffer, n);
        std::fclose(file);
    }
    const IniFile after(writtenText);
    for (const auto& [section, key] : kOtherKeys)
        FUZZ_CHECK(after.ReadString(section, key) == before.ReadString(section, key));
    return 0;
}
