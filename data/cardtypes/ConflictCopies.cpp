#include "cardtypes/ConflictCopies.h"

#include <algorithm>

#include "cardlist/CardList.h"
#include "cardtypes/Migrate.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kStem = "cardlist";
constexpr std::string_view kSeparators = ". -_(~";

char AsciiLowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }

bool StartsWithStem(std::string_view name) {
    if (name.size() <= kStem.size()) return false;
    for (std::size_t i = 0; i < kStem.size(); ++i)
        if (AsciiLowerChar(name[i]) != kStem[i]) return false;
    return true;
}

}  // namespace

bool IsConflictCopyName(std::string_view fileName) {
    if (fileName == kCardListFileName || !StartsWithStem(fileName)) return false;
    return kSeparators.find(fileName[kStem.size()]) != std::string_view::npos;
}

std::vector<std::string> FindConflictCopies(const fs::path& cardTypeFolder) {
    std::vector<std::string> copies;
    std::error_code ec;
    for (fs::directory_iterator it(cardTypeFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().native();
        std::error_code typeError;
        if (IsConflictCopyName(name) && it->is_regular_file(typeError))
            copies.push_back(IsValidUtf8(name) ? name : cp932::ToUtf8Lossy(name));
    }
    std::sort(copies.begin(), copies.end());
    return copies;
}
