#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "CardImages.h"
#include "Common.h"

// One change of a card type's cards saved as a whole: the card list file and the pictures it
// names change together or not at all.

// A picture that a save puts into the image folder: the chosen file's bytes, stored unchanged.
struct TNewPicture {
    std::string Name;   // bare CP932 file name
    std::string Bytes;  // the JPEG file's bytes
    // The picture decoded already (for the dialog's frame), so that it is decoded once; the save
    // decodes the bytes when it is empty.
    std::shared_ptr<const TBitmap> Decoded;
};

enum class TSideEdit { Keep, Replace, Remove };

// What happens to one side of the saved card.
struct TSideChange {
    TSideEdit Edit = TSideEdit::Keep;
    TNewPicture Picture;  // for Replace
};

// Registers (index empty: appended) or edits (card `*index` of `cards`) one card. `card` holds
// the texts and the owned mark; its picture names are taken from the card before the change and
// the side changes. `cards` is the card list as read from the file. Returns the cards as written.
// Throws VastrelleError with the message of the step that failed; every file is then as before.
TCardInfos SaveCard(const std::filesystem::path& cardTypeFolder, const TCardInfos& cards,
                    std::optional<std::size_t> index, const TCardInfo& card,
                    const TSideChange& front, const TSideChange& back);

// Deletes card `index`; its picture files stay. Returns the cards as written.
TCardInfos DeleteCard(const std::filesystem::path& cardTypeFolder, const TCardInfos& cards,
                      std::size_t index);

// Writes the cards as they are (a change of texts or owned marks only). Returns them.
TCardInfos SaveCards(const std::filesystem::path& cardTypeFolder, const TCardInfos& cards);
