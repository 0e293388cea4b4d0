// Copies, the want mark and the acquired date: how they are read and written, the rules that keep
// them in step with the owned mark, and the lists of spares and wants.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardCount.h"
#include "cardlist/CardExport.h"
#include "cardlist/CardList.h"
#include "cardlist/CardListReadBack.h"
#include "files/VastrelleError.h"
#include "save/CardStore.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VASTRELLE_TEST_DATA_DIR) / "cardlist";
const std::string kDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";

using ReaderFunction = void (*)(const fs::path&, TCardInfos&, TCardListIdentity*);

class CardCopiesRead : public ::testing::TestWithParam<ReaderFunction> {
protected:
    TCardInfos Read(const std::string& bytes) {
        WriteFileBytes(m_dir / kCardListFileName, bytes);
        TCardInfos cards;
        GetParam()(m_dir / kCardListFileName, cards, nullptr);
        return cards;
    }
    TempDir m_dir;
};

INSTANTIATE_TEST_SUITE_P(BothPaths, CardCopiesRead,
                         ::testing::Values(&ReadCardList, &ReadCardListByParser),
                         [](const auto& info) {
                             return info.param == &ReadCardList ? "Reader" : "ParserOnly";
                         });

TEST_P(CardCopiesRead, ReadsTheFieldsAndKeepsWhatDoesNotRead) {
    struct Case {
        const char* exist;
        std::string fields;  // the extra elements of the card
        int copies;
        bool want;
        std::string acquired;
        TUnreadFields unread;
    };
    const Case cases[] = {
        {"Y", "", 1, false, "", {}},
        {"N", "", 0, false, "", {}},
        {"Y",
         "<count>3</count><want>Y</want><acquired>2024-02-29</acquired>",
         3,
         true,
         "2024-02-29",
         {}},
        {"Y", "<count>1</count><want>N</want>", 1, false, "", {}},
        {"N", "<count>0</count><count>5</count>", 0, false, "", {}},  // the first counts
        {"Y", "<count>9999</count>", 9999, false, "", {}},
        {"Y", "<count>&#x35;</count>", 5, false, "", {}},
        // Unreadable or at odds with the owned mark: the default, the text kept.
        {"Y", "<count>10000</count>", 1, false, "", {"10000", "", ""}},
        {"Y", "<count>-1</count><want>yes</want>", 1, false, "", {"-1", "yes", ""}},
        {"Y",
         "<count>03</count><acquired>2023-02-29</acquired>",
         1,
         false,
         "",
         {"03", "", "2023-02-29"}},
        {"Y",
         "<count>0</count><acquired>09-12-2026</acquired>",
         1,
         false,
         "",
         {"0", "", "09-12-2026"}},
        {"N",
         "<count>2</count><acquired>2026-12-09</acquired>",
         0,
         false,
         "",
         {"2", "", "2026-12-09"}},
        {"Y", "<count>\xEF\xBC\x93</count>", 1, false, "", {"\x82\x52", "", ""}},  // ３
        // Not simple text: left out rather than failing the card list.
        {"Y", "<count><b>2</b></count><want> </want>", 1, false, "", {}},
    };
    for (const Case& c : cases) {
        std::string body = std::string("<c><exist>") + c.exist + "</exist>" + c.fields + "</c>";
        std::string encoding = c.fields.find("\xEF") != std::string::npos ? "UTF-8" : "Shift_JIS";
        TCardInfos cards =
            Read("<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><l>" + body + "</l>");
        ASSERT_EQ(cards.size(), 1u) << body;
        const TCardInfo& card = cards[0];
        EXPECT_EQ(Copies(card), c.copies) << body;
        EXPECT_EQ(card.Count, c.copies) << body;
        EXPECT_EQ(card.Want, c.want) << body;
        EXPECT_EQ(card.Acquired, c.acquired) << body;
        EXPECT_EQ(card.Unread, c.unread) << body;
        // What was read is written so that it reads back the same.
        EXPECT_TRUE(ReadsBackAsWritten(cards)) << body;
        EXPECT_EQ(Read(CardListText(cards)), cards) << body;
    }
}

TEST_P(CardCopiesRead, CountingTakesOwnedCardsNotCopies) {
    WriteFileBytes(m_dir / kCardListFileName, ReadFileBytes(kFixtures / "copies.dat"));
    TCardCount count = CountCardList(m_dir / kCardListFileName);
    EXPECT_EQ(count.Owned, 3u);
    EXPECT_EQ(count.Total, 4u);
}

TEST(CardCopiesWrite, DefaultsAreWrittenAsNothingAndFixturesRoundTrip) {
    TCardInfo card{"", "", "1", "t", true, ""};
    const std::string plain = CardListText({card});
    EXPECT_EQ(plain.find("<count>"), std::string::npos);
    card.Count = 1;
    EXPECT_EQ(CardListText({card}), plain);
    card.Count = 2;
    card.Want = true;
    card.Acquired = "2026-12-09";
    EXPECT_NE(CardListText({card}).find("        <comment></comment>\r\n"
                                        "        <count>2</count>\r\n"
                                        "        <want>Y</want>\r\n"
                                        "        <acquired>2026-12-09</acquired>\r\n"
                                        "    </carditem>\r\n"),
              std::string::npos);

    for (const char* name : {"written.dat", "copies.dat"}) {
        TCardInfos cards;
        ReadCardList(kFixtures / name, cards);
        EXPECT_EQ(CardListText(cards), ReadFileBytes(kFixtures / name)) << name;
    }
}

TEST(CardCopiesRules, OwnedCountAndDateStayInStep) {
    const std::string today = "2026-12-09";
    TCardInfo card;
    card.Unread.Acquired = "bad";
    SetCopies(card, 3, today);  // a count makes the card owned, dated today
    EXPECT_TRUE(card.Owned);
    EXPECT_EQ(card.Count, 3);
    EXPECT_EQ(card.Acquired, today);
    EXPECT_EQ(card.Unread, TUnreadFields{});

    SetOwned(card, true, "2027-01-01");  // already owned: copies and date stay
    EXPECT_EQ(card.Count, 3);
    EXPECT_EQ(card.Acquired, today);
    SetCopies(card, 1, "2027-01-01");
    EXPECT_EQ(card.Acquired, today);

    SetCopies(card, 0, today);  // no copies: not owned, no date
    EXPECT_FALSE(card.Owned);
    EXPECT_EQ(card.Count, 0);
    EXPECT_EQ(card.Acquired, "");

    SetOwned(card, true, today);
    EXPECT_EQ(Copies(card), 1);
    SetCopies(card, 123456, today);
    EXPECT_EQ(card.Count, kMaxCopies);
    SetOwned(card, false, today);
    EXPECT_EQ(card.Count, 0);
    EXPECT_EQ(card.Acquired, "");

    EXPECT_TRUE(IsDateText(TodayText()));
    for (const char* date : {"2026-13-01", "2026-00-10", "2026-4-01", "2100-02-29", "0999-01-01"})
        EXPECT_FALSE(IsDateText(date)) << date;
    EXPECT_TRUE(IsDateText("2000-02-29"));
}

// A change of copies made on cards read before another program changed the file is merged like
// the other fields: kept beside an outside change of another field, refused against one of its
// own.
TEST(CardCopiesSave, CopiesMergeOntoAFileChangedOutside) {
    TempDir dir;
    TCardInfos cards(2);
    cards[0].Number = "1";
    cards[1].Number = "2";
    WriteCardList(cards, dir.Path());
    TCardsAsRead read = ReadCardsAsRead(dir.Path());
    TCardInfos outside = read.Cards;
    SetWant(outside[1], true);
    WriteCardList(outside, dir.Path());
    TCardInfo card = read.Cards[0];
    SetCopies(card, 3, "2026-12-09");
    SaveCardEdits(dir.Path(), read, {TCardEdit{0, card}});
    TCardInfos now;
    ReadCardList(dir / kCardListFileName, now);
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(Copies(now[0]), 3);
    EXPECT_EQ(now[0].Acquired, "2026-12-09");
    EXPECT_TRUE(now[1].Want);

    read = ReadCardsAsRead(dir.Path());
    outside = read.Cards;
    SetCopies(outside[0], 5, "2026-12-09");
    WriteCardList(outside, dir.Path());
    card = read.Cards[0];
    SetCopies(card, 4, "2026-12-09");
    try {
        SaveCardEdits(dir.Path(), read, {TCardEdit{0, card}});
        ADD_FAILURE() << "a count changed on both sides was saved";
    } catch (const VastrelleError& error) {
        EXPECT_TRUE(error.ChangedOutside());
    }
    ReadCardList(dir / kCardListFileName, now);
    EXPECT_EQ(Copies(now[0]), 5);
}

TEST(CardCopiesLists, SparesAndWantsInTheirOrder) {
    TCardInfos cards(5);
    const std::string today = "2026-12-09";
    for (std::size_t i = 0; i < cards.size(); ++i) cards[i].Number = std::to_string(i + 1);
    cards[0].Title = "a,b";
    SetCopies(cards[0], 3, today);
    SetCopies(cards[1], 1, today);
    SetWant(cards[1], true);  // owned: not on the wants list
    SetWant(cards[3], true);
    EXPECT_EQ(SparesText(cards, TListFormat::Text), "1\ta,b\t2\n");
    EXPECT_EQ(SparesText(cards, TListFormat::Csv),
              "\xEF\xBB\xBFNo.,タイトル,ダブり\r\n1,\"a,b\",2\r\n");
    EXPECT_EQ(WantsText(cards, TListFormat::Text), "4\t\t欲しい\n3\t\n5\t\n");
    EXPECT_EQ(WantsText(cards, TListFormat::Csv),
              "\xEF\xBB\xBFNo.,タイトル,欲しい\r\n4,,●\r\n3,,\r\n5,,\r\n");
    EXPECT_NE(
        CardsCsvText(cards).find("1,\"a,b\",,●,,,3,\r\n2,,,●,,,1,●\r\n3,,,,,,,\r\n4,,,,,,,●\r\n"),
        std::string::npos);
}

}  // namespace
