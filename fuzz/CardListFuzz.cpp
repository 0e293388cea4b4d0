// Bytes as a whole cardlist.dat. Whatever reads must also survive a save: the written file reads
// back as the same cards.
#include "FuzzScratch.h"
#include "cardlist/CardList.h"
#include "files/VastrelleError.h"

namespace {

// Text the writer stores unescaped comes back with its line breaks as the parser gives them.
std::string AsReadBack(std::string text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) text[i] = '\n';
    return text;
}

std::string NameAsReadBack(std::string name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\r' && i + 1 < name.size() && name[i + 1] == '\n') continue;
        out += name[i] == '\r' ? '\n' : name[i];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzScratch scratch;
    const std::filesystem::path file = scratch.Path() / kCardListFileName;
    WriteFuzzFile(file, AsText(data, size));
    TCardInfos cards;
    try {
        ReadCardList(file, cards);
    } catch (const VastrelleError&) {
        FUZZ_CHECK(cards.empty());
        return 0;
    }
    WriteCardList(cards, scratch.Path());
    TCardInfos again;
    ReadCardList(file, again);  // a failure here is a finding: a save made the file unreadable
    FUZZ_CHECK(again.size() == cards.size());
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const TCardInfo& card = cards[i];
        FUZZ_CHECK(again[i].Number == AsReadBack(card.Number));
        FUZZ_CHECK(again[i].Title == AsReadBack(card.Title));
        FUZZ_CHECK(again[i].Comment == AsReadBack(card.Comment));
        FUZZ_CHECK(again[i].FrontImageFileName == NameAsReadBack(card.FrontImageFileName));
        FUZZ_CHECK(again[i].BackImageFileName == NameAsReadBack(card.BackImageFileName));
        FUZZ_CHECK(again[i].Owned == card.Owned);
    }
    return 0;
}
