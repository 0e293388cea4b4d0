#include "CardListPrefetch.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cardtypes/CardTypes.h"
#include "cardtypes/Settings.h"

namespace {

// Below this a card list is read before it is shown: it takes about as long as a look at it.
constexpr std::size_t kShowWhileReadingFrom = std::size_t{4} << 20;
// More rows than any window shows at once: the rows shown until the rest are read.
constexpr std::size_t kFirstCards = 1024;

// The card list of the card type start-up loads; empty when there is none.
std::filesystem::path RememberedCardList(const std::filesystem::path& programFolder) {
    const std::vector<std::string> names = ListCardTypes(programFolder);
    const TSettings settings = ReadSettings(programFolder, names);
    if (std::find(names.begin(), names.end(), settings.CardName) == names.end()) return {};
    CurrentCardTypePaths paths;
    if (!paths.Set(programFolder, settings.CardName)) return {};
    return paths.CardTypeFolder() / kCardListFileName;
}

TCardListIdentity WithoutHash(TCardListIdentity identity) {
    identity.Hash = 0;
    return identity;
}

}  // namespace

TFirstRead ReadCardListFirst(const std::filesystem::path& file) {
    TFirstRead first;
    first.Text = ReadCardListFileText(file);
    if (first.Text.Bytes.View().size() >= kShowWhileReadingFrom) {
        if (std::optional<TCardListPreview> preview =
                PreviewCardList(first.Text.Bytes.View(), kFirstCards)) {
            first.Preview = std::move(*preview);
            return first;
        }
    }
    first.Whole.emplace();
    ReadCardListFromText(std::move(first.Text), first.Whole->Cards, &first.Whole->Identity);
    first.Text = {};
    return first;
}

// The card type's choice is made on the worker too, so that the window's thread only starts it.
TCardListPrefetch::TCardListPrefetch(const std::filesystem::path& programFolder)
    : m_read(std::async(std::launch::async, [programFolder] {
          TRead read;
          read.File = RememberedCardList(programFolder);
          if (!read.File.empty()) read.First = ReadCardListFirst(read.File);
          return read;
      })) {}

std::optional<TFirstRead> TCardListPrefetch::Take(const std::filesystem::path& file) {
    if (!m_read.valid()) return std::nullopt;
    try {
        TRead read = m_read.get();
        if (read.File.empty() || read.File != file) return std::nullopt;
        const TCardListIdentity identity =
            read.First.Whole ? read.First.Whole->Identity : read.First.Text.Identity;
        // The file's status, not its bytes hashed again: that would read it a second time.
        struct stat status {};
        if (::stat(file.c_str(), &status) != 0 ||
            WithoutHash(identity) != CardListIdentityFrom(status, 0))
            return std::nullopt;
        return std::move(read.First);
    } catch (...) {
        return std::nullopt;  // read again, the card list reports what failed
    }
}
