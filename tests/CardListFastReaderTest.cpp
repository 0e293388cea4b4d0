// The fast path against the general parser: on every input it either declines or gives exactly
// the cards the parser gives.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "TempDir.h"
#include "cardlist/CardList.h"
#include "cardlist/CardListFastReader.h"
#include "cardlist/CardListReadBack.h"
#include "cardlist/TagCensus.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";

std::optional<TCardInfos> Fast(const std::string& text) {
    TCardInfos cards;
    if (!ReadCardListFast(text, cards)) return std::nullopt;
    return cards;
}

// The parser's cards, or nullopt when it fails.
std::optional<TCardInfos> Parsed(const TempDir& dir, const std::string& text) {
    WriteFileBytes(dir / "cardlist.dat", text);
    TCardInfos cards;
    try {
        ReadCardListByParser(dir / "cardlist.dat", cards);
    } catch (const VastrelleError&) {
        return std::nullopt;
    }
    return cards;
}

// The count taken from the text handed in pieces of every size gives the fast path's verdict
// and counts: a card or tag cut by a piece's end is read once it is whole.
void CheckCountInPieces(const std::string& text, const std::optional<TCardInfos>& fast) {
    for (std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{64}, text.size() + 1}) {
        TCardListFastCounter counter;
        for (std::size_t at = 0; at < text.size(); at += size)
            if (!counter.Feed(std::string_view(text).substr(at, size))) break;
        const bool read = counter.Finish();
        EXPECT_EQ(read, fast.has_value()) << "pieces of " << size << ":\n" << text;
        if (!read || !fast) continue;
        EXPECT_EQ(counter.Total(), fast->size()) << text;
        std::size_t owned = 0;
        for (const TCardInfo& card : *fast) owned += card.Owned ? 1 : 0;
        EXPECT_EQ(counter.Owned(), owned) << text;
    }
}

// True when the fast path read the text (and then agrees with the parser).
// The census taken before a read, sixteen bytes at a time, against a plain search.
void CheckCensus(std::string_view text) {
    const std::size_t nul = text.find('\0');
    const std::string_view body = text.substr(0, nul);
    auto count = [body](std::string_view what) {
        std::size_t found = 0;
        for (std::size_t at = body.find(what); at != body.npos; at = body.find(what, at + 1))
            ++found;
        return found;
    };
    const TTagCensus census = TakeTagCensus(text);
    EXPECT_EQ(census.CardItems, count("<carditem>")) << text;
    EXPECT_EQ(census.OwnedMarks, count("<exist>Y</exist>")) << text;
    EXPECT_EQ(census.MarkupDeclarations,
              body.find("<!", 1) != body.npos || body.find("<?", 1) != body.npos)
        << text;
    EXPECT_EQ(census.Nul, nul) << text;
}

bool CheckAgainstParser(const TempDir& dir, const std::string& text) {
    std::optional<TCardInfos> fast = Fast(text);
    CheckCountInPieces(text, fast);
    CheckCensus(text);
    if (!fast) return false;
    std::optional<TCardInfos> parsed = Parsed(dir, text);
    EXPECT_TRUE(parsed.has_value()) << "the fast path accepts what the parser rejects:\n" << text;
    if (parsed) {
        EXPECT_EQ(*fast, *parsed) << text;
    }
    return true;
}

std::string Doc(const std::string& body) { return kDecl + "<l>" + body + "</l>\r\n"; }

TEST(CardListFastReader, ReadsTheFixturesAsTheParserDoes) {
    TempDir dir;
    for (const char* name : {"written.dat", "lf-only.dat", "cr-only.dat", "hand-made.dat"}) {
        std::string text = ReadFileBytes(fs::path(VASTRELLE_TEST_DATA_DIR) / "cardlist" / name);
        EXPECT_TRUE(CheckAgainstParser(dir, text)) << name << " was left to the parser";
    }
    for (const fs::path& folder : {fs::path(VASTRELLE_TEST_DATA_DIR) / "cardlist",
                                   fs::path(VASTRELLE_TEST_DATA_DIR) / "templates"})
        for (const auto& entry : fs::directory_iterator(folder))
            CheckAgainstParser(dir, ReadFileBytes(entry.path()));
    EXPECT_FALSE(Fast(ReadFileBytes(fs::path(VASTRELLE_TEST_DATA_DIR) / "cardlist/utf8.dat")));
}

TEST(CardListFastReader, ReadsWhatHandEditingProduces) {
    TempDir dir;
    const std::string cases[] = {
        kDecl + "<cardlist/>\r\n",
        kDecl + "<cardlist></cardlist>",
        "<?xml version='1.0' encoding='shift_jis' standalone='yes' ?>\n<l/>",
        "<?xml version=\"1.0\" encoding=\"CP932\"?><l/>",
        "<?xml\tversion = \"1.0\"\r\nencoding=\"Windows-31J\" standalone=\"no\"?>\r<l/>\r\n\r\n",
        Doc("<c id=\"1\" x='a&amp;&#60;\"'><number a=\"b\">1</number><title/></c>"),
        Doc("<c>text beside<exist>Y</exist>more<number>2</number><number>3</number></c>"),
        Doc("<c><exist>&#89;</exist><title>&#x41;&#0066;&lt;&gt;&amp;&quot;&apos;</title></c>"),
        Doc("<c><exist> Y</exist><title>  </title><comment>&#32;&#9;\r\n</comment></c>"),
        Doc("<c><exist>y</exist><title>a]b]]c&gt;]>d</title><comment>&#13;x\r\ry\rz</comment></c>"),
        Doc("<c><title>@#13;@#10;@#38;@#09;</title><imagefilename1>@#38;a&amp;b</imagefilename1>"
            "</c>"),
        Doc("\r\n  <carditem>\r\n</carditem>\r\n\t<other/>\r\n"),
        Doc("<c><title>&#x2460;&#12354;&#128512;&#xFF71;&#xA5;&#x7F;&#x85;</title></c>"),
        Doc("<c><title>" + Sjis("ソ十表能ー①Ⅱ㈱髙﨑") + "\xB1\xDF\x7F</title></c>"),
        // Characters with two codes come back under iconv's one.
        Doc("<c><title>\xED\x40\xEE\xFC\x87\x90\xFA\x4A\xFA\x40\xFC\x4B</title>"
            "<comment>\xF0\x40</comment></c>"),
        Doc("<c><number>1</number ></c ><c  ></c\n>"),
    };
    for (const std::string& text : cases) EXPECT_TRUE(CheckAgainstParser(dir, text)) << text;

    TCardInfos cards = *Fast(cases[14]);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].Title, "\xFA\x5C\xFA\x57\x81\xE0\x87\x54\xFA\x40\xFC\x4B");
    EXPECT_EQ(Fast(cases[7])->at(0).Title, "AB<>&\"'");
    EXPECT_TRUE(Fast(cases[7])->at(0).Owned);
}

TEST(CardListFastReader, LeavesEverythingElseToTheParser) {
    TempDir dir;
    const std::string declined[] = {
        "",
        "<l/>",
        "\xEF\xBB\xBF" + kDecl + "<l/>",
        " " + kDecl + "<l/>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><l/>",
        "<?xml version=\"1.0\"?><l/>",
        "<?xml version=\"1.1\" encoding=\"Shift_JIS\"?><l/>",
        "<?xml version=\"1.0\"encoding=\"Shift_JIS\"?><l/>",
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\" standalone=\"maybe\"?><l/>",
        "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"Shift_JIS\"?><l/>",
        "<?xml version=\"1.0\" encoding=\"Shift_JIS'?><l/>",
        "<?xml version=\"1.0\" encoding=\"MS932\"?><l/>",
        kDecl + "<!DOCTYPE l><l/>",
        kDecl + "<!-- c --><l/>",
        kDecl + "<?pi x?><l/>",
        kDecl + "<l/><!-- c -->",
        kDecl + "<l/>x",
        kDecl + "<l/><l/>",
        kDecl + "<l>",
        kDecl + "<l><c>",
        kDecl + "<l></m>",
        kDecl + "< l/>",
        kDecl + "<p:l xmlns:p=\"u\"/>",
        kDecl + "<l xmlns=\"u\"/>",
        kDecl + "<" + Sjis("カード") + "/>",
        Doc("stray"),
        Doc("&#65;"),
        Doc("<c a=\"1\"b=\"2\"/>"),
        Doc("<c a=\"1\" a=\"2\"/>"),
        Doc("<c a=\"<\"/>"),
        Doc("<c a=\"&x;\"/>"),
        Doc("<c a=1/>"),
        Doc("<c><title>&nbsp;</title></c>"),
        Doc("<c><title>&#0;</title></c>"),
        Doc("<c><title>&#x110000;</title></c>"),
        Doc("<c><title>&#xD800;</title></c>"),
        Doc("<c><title>&#xFFFE;</title></c>"),
        Doc("<c><title>&#;</title></c>"),
        Doc("<c><title>&#X41;</title></c>"),
        Doc("<c><title>&amp</title></c>"),
        Doc("<c><title>a]]>b</title></c>"),
        Doc("<c><title>a\x01</title></c>"),
        Doc("<c><title>a\x0C</title></c>"),
        Doc("<c><title><![CDATA[x]]></title></c>"),
        Doc("<c><title>a<!-- c --></title></c>"),
        Doc("<c><title><b/></title></c>"),
        Doc("<c><extra><b/></extra></c>"),
        Doc("<c><title>\x81</title></c>"),
        Doc("<c><title>\x81\x3C/title></c>"),
        Doc("<c><title>\x85\x40</title></c>"),
        Doc("<c><title>\xA0\xFD</title></c>"),
        Doc("<c><title>x</titl></c>"),
        Doc("<c><title>x</title ></c>") + "\x81",
    };
    for (const std::string& text : declined) {
        EXPECT_FALSE(Fast(text).has_value()) << text;
        CheckAgainstParser(dir, text);
    }
    // A text far beyond what one field holds is left to the parser and its limits.
    EXPECT_FALSE(Fast(Doc("<c><title>" + std::string(2'000'000, 'a') + "</title></c>")));
}

// Card lists the writer makes, with every kind of text, then cut, spliced and flipped.
TEST(CardListFastReader, AgreesWithTheParserOnMutatedCardLists) {
    TempDir dir;
    TCardInfos cards = {
        {"f1.jpg", "b&1.jpg", "001", Sjis("ピカ[レア]①\t%*"), true, Sjis("初版\r\n美品 @#60;")},
        {"", "", "", "   ", false, "\r"},
        {Sjis("表.jpg"), "", "a<b>", Sjis("髙﨑～") + "\xED\x40", true, "\n"},
    };
    std::vector<std::string> seeds = {
        CardListText(cards),
        ReadFileBytes(fs::path(VASTRELLE_TEST_DATA_DIR) / "cardlist/hand-made.dat"),
        ReadFileBytes(fs::path(VASTRELLE_TEST_DATA_DIR) / "cardlist/copies.dat")};
    const std::string tokens[] = {
        "<",       ">",         "/>",     "</c>", "&amp;",      "&#",
        "&#x41;",  "&lt",       "]]>",    "\r",   "\n",         "\x81",
        "\x40",    "\x81\x40",  "\"",     "'",    "=",          " a='1'",
        "<!--",    "<![CDATA[", "<?x?>",  "\x01", "Y",          "<exist>",
        "<count>", "</count>",  "<want>", "9",    "2026-12-09", std::string(1, '\0')};
    std::mt19937 random(14);
    int read = 0, declined = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string text = seeds[random() % seeds.size()];
        for (int edits = 1 + static_cast<int>(random() % 3); edits > 0; --edits) {
            std::size_t at = random() % (text.size() + 1);
            switch (random() % 4) {
                case 0:
                    text.insert(at, tokens[random() % std::size(tokens)]);
                    break;
                case 1:
                    text.erase(at, random() % 8);
                    break;
                case 2:
                    if (at < text.size()) text[at] = static_cast<char>(random());
                    break;
                default:
                    text.insert(at, text.substr(random() % text.size(), random() % 40));
                    break;
            }
        }
        (CheckAgainstParser(dir, text) ? read : declined)++;
    }
    // Both outcomes are exercised.
    EXPECT_GT(read, 150);
    EXPECT_GT(declined, 300);
}

// A card list past a few megabytes is read in two halves at once: the same cards as the parser,
// and the same refusals, whatever lies at the point where it is split.
TEST(CardListFastReader, ALargeCardListReadInHalvesAgreesWithTheParser) {
    TempDir dir;
    TCardInfos cards(20000, {"f.jpg", "b.jpg", "", Sjis("ピカ[レア]①"), false, "comment"});
    for (std::size_t i = 0; i < cards.size(); ++i) {
        cards[i].Number = std::to_string(i);
        cards[i].Owned = i % 3 == 0;
    }
    const std::string whole = CardListText(cards);
    ASSERT_GT(whole.size(), std::size_t{5} << 20);
    EXPECT_TRUE(CheckAgainstParser(dir, whole));
    // The look a window takes before the whole read counts as it does.
    const std::optional<TCardListPreview> preview = PreviewCardList(whole, 100);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->Cards, cards.size());
    EXPECT_EQ(preview->Owned, (cards.size() + 2) / 3);
    EXPECT_EQ(preview->First, TCardInfos(cards.begin(), cards.begin() + 100));
    const std::size_t middle = whole.find("</carditem>", whole.size() / 2) + 11;
    const std::string edits[] = {"<",    "<!-- -->",          "</l>", "<carditem>", "&bad;",
                                 "\x01", std::string(1, '\0')};
    for (std::size_t i = 0; i < std::size(edits); ++i)
        for (std::ptrdiff_t offset : {-12, -1, 0, 1, 40}) {
            std::string text = whole;
            text.insert(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(middle) + offset),
                        edits[i]);
            const std::optional<TCardInfos> fast = Fast(text);
            const std::optional<TCardInfos> parsed = Parsed(dir, text);
            if (fast) {
                EXPECT_EQ(fast, parsed) << edits[i] << " at " << offset;
                EXPECT_EQ(PreviewCardList(text, 0)->Cards, fast->size());
            }
            // The file's reader gives its buffer up as it reads, and reads again for the parser.
            TCardInfos read;
            try {
                ReadCardList(dir / "cardlist.dat", read);
                EXPECT_EQ(read, parsed) << edits[i] << " at " << offset;
            } catch (const VastrelleError&) {
                EXPECT_FALSE(parsed) << edits[i] << " at " << offset;
            }
        }
}

TEST(CardListFastReader, KnowsWhichCardsReadBackAsWritten) {
    TempDir dir;
    auto readsBack = [&dir](const TCardInfo& card) {
        bool claimed = ReadsBackAsWritten(std::span(&card, 1));
        if (claimed) {
            std::optional<TCardInfos> back = Parsed(dir, CardListText({card}));
            EXPECT_TRUE(back && *back == TCardInfos{card}) << card.Title;
        }
        return claimed;
    };
    EXPECT_TRUE(readsBack(
        {"a&b.jpg", Sjis("裏.jpg"), "1", Sjis("ピカ[*]%\t<>&@"), true, Sjis("初版\r\n美品\nx")}));
    EXPECT_TRUE(readsBack({}));
    for (TCardInfo card :
         {TCardInfo{"", "", "", "  ", false, ""}, TCardInfo{"", "", "", "", false, "a\rb"},
          TCardInfo{"", "", "@#60;", "", false, ""}, TCardInfo{"", "", "", "\x01", false, ""},
          TCardInfo{"\t", "", "", "", false, ""}, TCardInfo{"a\r\nb", "", "", "", false, ""},
          TCardInfo{"", "", "", "\xED\x40", false, ""}, TCardInfo{"", "", "", "\x81", false, ""}})
        EXPECT_FALSE(readsBack(card)) << card.Title;
}

TEST(CardListFastReader, CountsCardItemTags) {
    EXPECT_EQ(CountCardItemTags(CardListText(TCardInfos(5))), 5u);
    EXPECT_EQ(CountCardItemTags("<carditem/><carditem>"), 1u);
}

}  // namespace
