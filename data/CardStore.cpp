#include "CardStore.h"

#include "CardImages.h"
#include "CardList.h"
#include "CardTypes.h"

namespace fs = std::filesystem;

// Placeholder until the transaction lands: the same steps the card dialog and the commands made.
TCardInfos SaveCard(const fs::path& cardTypeFolder, const TCardInfos& cards,
                    std::optional<std::size_t> index, const TCardInfo& card,
                    const TSideChange& front, const TSideChange& back) {
    const fs::path imageFolder = cardTypeFolder / kImageFolderName;
    TCardInfo saved = card;
    const TCardInfo before = index ? cards.at(*index) : TCardInfo{};
    saved.FrontImageFileName = before.FrontImageFileName;
    saved.BackImageFileName = before.BackImageFileName;
    for (auto [change, name] : {std::pair{&front, &saved.FrontImageFileName},
                                std::pair{&back, &saved.BackImageFileName}}) {
        if (change->Edit == TSideEdit::Remove) {
            DeleteImageFiles(imageFolder, *name);
            name->clear();
        } else if (change->Edit == TSideEdit::Replace) {
            StoreImageSide(imageFolder, *name, change->Picture.Bytes, change->Picture.Name);
            *name = change->Picture.Name;
        }
    }
    TCardInfos result = cards;
    if (index)
        result.at(*index) = saved;
    else
        result.push_back(saved);
    WriteCardList(result, cardTypeFolder);
    return result;
}

TCardInfos DeleteCard(const fs::path& cardTypeFolder, const TCardInfos& cards, std::size_t index) {
    TCardInfos result = cards;
    result.erase(result.begin() + static_cast<std::ptrdiff_t>(index));
    WriteCardList(result, cardTypeFolder);
    return result;
}

TCardInfos SaveCards(const fs::path& cardTypeFolder, const TCardInfos& cards) {
    WriteCardList(cards, cardTypeFolder);
    return cards;
}
