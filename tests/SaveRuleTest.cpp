// A save computed from an earlier read of the card list: re-applied onto the file as another
// program left it when that is unambiguous, refused with nothing written otherwise.
#include <gtest/gtest.h>

#include <functional>

#include "CardsAsRead.h"
#include "TempDir.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "pictures/CardImages.h"
#include "save/CardStore.h"

namespace fs = std::filesystem;

namespace {

const std::string kPhoto = ReadFileBytes(fs::path(VASTRELLE_TEST_DATA_DIR) / "images/photo.jpg");

TCardInfo Card(const char* number, const char* title, bool owned = false, const char* comment = "",
               const char* front = "") {
    return {front, "", number, title, owned, comment};
}

const TCardInfos kRead = {Card("1", "a"), Card("2", "b"), Card("3", "c")};

using TOutside = std::function<void(TCardInfos&)>;
using TOurs = std::function<TCardsAsRead(const fs::path&, TCardsAsRead)>;

TCardsAsRead ToggleB(const fs::path& f, TCardsAsRead read) {
    TCardInfo b = read.Cards[1];
    b.Owned = true;
    return SaveCardEdits(f, std::move(read), {{1, b}});
}
TCardsAsRead SetBComment(const fs::path& f, TCardsAsRead read) {
    TCardInfo b = read.Cards[1];
    b.Comment = "ours";
    return SaveCard(f, std::move(read), 1, b, {}, {});
}
TCardsAsRead RegisterE(const fs::path& f, TCardsAsRead read) {
    return SaveCard(f, std::move(read), std::nullopt, Card("5", "e"), {}, {});
}
TCardsAsRead DeleteB(const fs::path& f, TCardsAsRead read) { return DeleteCard(f, read, 1); }

struct TCase {
    const char* Name;
    TOutside Outside;
    TOurs Ours;
    std::optional<TCardInfos> Expected;  // nullopt: refused, the file as the other program left it
};

std::vector<TCase> Cases() {
    auto appendD = [](TCardInfos& c) { c.push_back(Card("4", "d")); };
    const TCardInfo ownedB = Card("2", "b", true);
    return {
        {"a register appends to the new list", appendD, RegisterE,
         TCardInfos{kRead[0], kRead[1], kRead[2], Card("4", "d"), Card("5", "e")}},
        {"a toggle finds its card moved by an insertion",
         [](TCardInfos& c) { c.insert(c.begin(), Card("0", "z")); }, ToggleB,
         TCardInfos{Card("0", "z"), kRead[0], ownedB, kRead[2]}},
        {"an edit keeps an outside change of another field",
         [](TCardInfos& c) { c[1].Owned = true; }, SetBComment,
         TCardInfos{kRead[0], Card("2", "b", true, "ours"), kRead[2]}},
        {"the same field changed to the same value on both sides",
         [](TCardInfos& c) { c[1].Owned = true; }, ToggleB, TCardInfos{kRead[0], ownedB, kRead[2]}},
        {"a delete after an append", appendD, DeleteB,
         TCardInfos{kRead[0], kRead[2], Card("4", "d")}},
        {"many edits as one save", appendD,
         [](const fs::path& f, TCardsAsRead read) {
             TCardInfo a = read.Cards[0];
             a.Owned = true;
             return SaveCardEdits(f, std::move(read),
                                  {{0, a}, {2, std::nullopt}, {std::nullopt, Card("5", "e")}});
         },
         TCardInfos{Card("1", "a", true), kRead[1], Card("4", "d"), Card("5", "e")}},
        // Refused:
        {"the card's title changed outside", [](TCardInfos& c) { c[1].Title = "B"; }, ToggleB,
         std::nullopt},
        {"the card removed outside", [](TCardInfos& c) { c.erase(c.begin() + 1); }, ToggleB,
         std::nullopt},
        {"the card moved and now found twice",
         [](TCardInfos& c) { c.insert(c.begin(), Card("2", "b")); }, ToggleB, std::nullopt},
        {"the same field changed to another value", [](TCardInfos& c) { c[1].Comment = "theirs"; },
         SetBComment, std::nullopt},
        {"a removed card changed outside", [](TCardInfos& c) { c[1].Comment = "theirs"; }, DeleteB,
         std::nullopt},
        {"a picture side changed outside and here",
         [](TCardInfos& c) { c[1].FrontImageFileName = "theirs.jpg"; },
         [](const fs::path& f, TCardsAsRead read) {
             const TCardInfo b = read.Cards[1];
             return SaveCard(f, std::move(read), 1, b, {TSideEdit::Remove, {}}, {});
         },
         std::nullopt},
        {"a new picture's name taken by a card added outside",
         [](TCardInfos& c) { c.push_back(Card("4", "d", false, "", "new.jpg")); },
         [](const fs::path& f, TCardsAsRead read) {
             return SaveCard(f, std::move(read), std::nullopt, Card("5", "e"),
                             {TSideEdit::Replace, {"NEW.jpg", kPhoto, nullptr}}, {});
         },
         std::nullopt},
    };
}

}  // namespace

TEST(SaveRuleTest, AChangeIsReappliedOntoTheFileAsItIsOrRefused) {
    for (const TCase& c : Cases()) {
        TempDir dir;
        const fs::path folder = dir / "type";
        fs::create_directories(folder / "image");
        WriteCardList(kRead, folder);
        TCardsAsRead read = ReadCardsAsRead(folder);
        TCardInfos outside = kRead;
        c.Outside(outside);
        WriteCardList(outside, folder);
        const TreeSnapshot before = SnapshotTree(folder);

        if (!c.Expected) {
            try {
                c.Ours(folder, std::move(read));
                ADD_FAILURE() << c.Name << ": saved";
            } catch (const VastrelleError& e) {
                EXPECT_TRUE(e.ChangedOutside()) << c.Name << ": " << e.what();
                EXPECT_STREQ(e.what(), msg::kChangedOutside) << c.Name;
            }
            EXPECT_EQ(TreeDifferences(before, SnapshotTree(folder)), "") << c.Name;
            continue;
        }
        const TCardsAsRead written = c.Ours(folder, std::move(read));
        const TCardsAsRead now = ReadCardsAsRead(folder);
        EXPECT_EQ(now.Cards, *c.Expected) << c.Name;
        EXPECT_EQ(written.Cards, *c.Expected) << c.Name;
        // What the save returns is what a read of the file sees: the next save needs no re-read.
        EXPECT_EQ(written.Identity, now.Identity) << c.Name;
    }
}

// Both readers record the identity the save compares with, and a save from an unchanged read
// writes over the file; a changed byte of the same size is a change.
TEST(SaveRuleTest, TheIdentityOfAReadIsTheFileAsItIsUntilItsBytesChange) {
    TempDir dir;
    const fs::path file = dir / "cardlist.dat";
    for (const std::string& text : std::vector<std::string>{
             CardListText(kRead), "<?xml version=\"1.0\"?>\n<!-- parser --><cardlist/>\n"}) {
        WriteFileBytes(file, text);
        TCardInfos cards;
        TCardListIdentity identity;
        ReadCardList(file, cards, &identity);
        EXPECT_TRUE(identity.Exists);
        EXPECT_EQ(identity, CardListIdentityOf(file));
        EXPECT_EQ(identity.Hash, CardListHash(text));
    }
    TCardListHasher pieces;
    const std::string text = CardListText(kRead);
    for (std::size_t at = 0; at < text.size(); at += 5) pieces.Add(text.substr(at, 5));
    EXPECT_EQ(pieces.Value(), CardListHash(text));
    std::string flipped = text;
    flipped[flipped.size() / 2] ^= 1;
    EXPECT_NE(CardListHash(flipped), CardListHash(text));
    EXPECT_FALSE(CardListIdentityOf(dir / "missing").Exists);
}
