#include "save/HistoryIndex.h"

#include <charconv>

#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"

namespace fs = std::filesystem;

namespace {

// Histories whose versions are whole copies say 1; ones with compressed versions say 2, so that
// a program that knows only whole copies leaves them alone rather than miss their files.
constexpr std::string_view kHeader = "vastrelle-history 2";
constexpr std::string_view kWholeCopiesHeader = "vastrelle-history 1";

std::time_t g_pinnedNow = 0;

// One line of the text, without its LF; false at the end.
bool NextLine(std::string_view& text, std::string_view& line) {
    if (text.empty()) return false;
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return false;  // every line ends in LF
    line = text.substr(0, end);
    text.remove_prefix(end + 1);
    return true;
}

std::optional<int> Number(std::string_view text) {
    int value = 0;
    auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || ptr != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

std::optional<int> KeyedNumber(std::string_view line, std::string_view key) {
    if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ' ')
        return std::nullopt;
    return Number(line.substr(key.size() + 1));
}

}  // namespace

std::optional<std::size_t> THistoryIndex::Current() const { return Find(Position); }

std::optional<std::size_t> THistoryIndex::Find(int number) const {
    for (std::size_t i = 0; i < Versions.size(); ++i)
        if (Versions[i].Number == number) return i;
    return std::nullopt;
}

fs::path HistoryFolder(const fs::path& cardTypeFolder) {
    return cardTypeFolder / kHistoryFolderName;
}

fs::path HistoryIndexPath(const fs::path& cardTypeFolder) {
    return HistoryFolder(cardTypeFolder) / "index";
}

fs::path VersionFolder(const fs::path& cardTypeFolder, int number) {
    return HistoryFolder(cardTypeFolder) / std::to_string(number);
}

fs::path VersionCardList(const fs::path& cardTypeFolder, int number) {
    return VersionFolder(cardTypeFolder, number) / "cardlist.dat";
}

fs::path BeforeFolder(const fs::path& cardTypeFolder, int number) {
    return VersionFolder(cardTypeFolder, number) / "before";
}

fs::path AfterFolder(const fs::path& cardTypeFolder, int number) {
    return VersionFolder(cardTypeFolder, number) / "after";
}

std::string HistoryIndexText(const THistoryIndex& index) {
    std::string text(kHeader);
    text += "\nposition " + std::to_string(index.Position) + "\nnext " +
            std::to_string(index.Next) + "\n";
    for (const THistoryVersion& version : index.Versions)
        text += std::to_string(version.Number) + "\t" + version.Time + "\t" + version.Status + "\n";
    return text;
}

std::optional<THistoryIndex> ParseHistoryIndex(std::string_view text) {
    std::string_view line;
    if (!NextLine(text, line) || (line != kHeader && line != kWholeCopiesHeader))
        return std::nullopt;
    THistoryIndex index;
    std::optional<int> position, next;
    if (!NextLine(text, line) || !(position = KeyedNumber(line, "position"))) return std::nullopt;
    if (!NextLine(text, line) || !(next = KeyedNumber(line, "next"))) return std::nullopt;
    index.Position = *position;
    index.Next = *next;
    while (NextLine(text, line)) {
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == line.npos ? line.npos : line.find('\t', tab1 + 1);
        if (tab2 == line.npos) return std::nullopt;
        std::optional<int> number = Number(line.substr(0, tab1));
        // Numbers only grow, and stay below the next one.
        if (!number || *number == 0 || *number >= index.Next ||
            (!index.Versions.empty() && *number <= index.Versions.back().Number))
            return std::nullopt;
        index.Versions.push_back({*number, std::string(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                                  std::string(line.substr(tab2 + 1))});
    }
    if (!text.empty()) return std::nullopt;  // a last line without its LF: not written whole
    if (index.Versions.empty() ? index.Position != 0 : !index.Current()) return std::nullopt;
    return index;
}

std::optional<THistoryIndex> ReadHistoryIndex(const fs::path& cardTypeFolder) {
    const fs::path path = HistoryIndexPath(cardTypeFolder);
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(path, ec))) return THistoryIndex{};
        // An index that is there but does not read is no damaged one: a save that went on
        // without it would record nothing and could lose what it replaces.
        if (IsFileThere(path)) throw VastrelleError(FormatMessage(msg::kCannotOpen, path.string()));
        return std::nullopt;
    }
    return ParseHistoryIndex(*text);
}

std::string HistoryTimeText(std::time_t time) {
    std::tm local{};
    ::localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string HistoryTimeNow() {
    return HistoryTimeText(g_pinnedNow != 0 ? g_pinnedNow : std::time(nullptr));
}

namespace history::testing {
void SetNow(std::time_t time) { g_pinnedNow = time; }
}  // namespace history::testing
