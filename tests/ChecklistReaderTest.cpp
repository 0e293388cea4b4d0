// The table reader over the shapes checklists come in, and over input meant to hurt it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>

#include "TempDir.h"
#include "checklist/ChecklistColumns.h"
#include "checklist/TableReader.h"

using namespace std::string_literals;

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows RowsOf(const TTable& table) {
    Rows rows;
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        rows.emplace_back();
        for (std::size_t c = 0; c < table.CellCount(r); ++c)
            rows.back().emplace_back(table.Cell(r, c));
    }
    return rows;
}

std::vector<std::size_t> LinesOf(const TTable& table) {
    std::vector<std::size_t> lines;
    for (std::size_t r = 0; r < table.RowCount(); ++r) lines.push_back(table.Line(r));
    return lines;
}

std::vector<std::size_t> RefusedLines(const std::vector<TTableRefusal>& refusals) {
    std::vector<std::size_t> lines;
    for (const TTableRefusal& refusal : refusals) lines.push_back(refusal.Line);
    return lines;
}

std::string Utf16(const std::u16string& text, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        out += little ? low : high;
        out += little ? high : low;
    }
    return out;
}

TTable ReadBytes(const std::string& bytes, const TTableOptions& options = {}) {
    TempDir dir;
    WriteFileBytes(dir / "t", bytes);
    return ReadTableFile(dir / "t", options);
}

}  // namespace

TEST(ChecklistReaderTest, ReadsEveryShapeWithItsEncodingAndDelimiter) {
    struct Case {
        const char* name;
        std::string bytes;
        TTableEncoding encoding;
        TTableDelimiter delimiter;
        Rows rows;
        std::vector<std::size_t> lines;
    };
    const std::vector<Case> cases = {
        {"quoted CSV, CR LF",
         "No.,タイトル\r\n\"1,2\",\"say \"\"hi\"\"\"\r\n3,\"two\r\nlines\"\r\n4,x\r\n",
         TTableEncoding::Utf8,
         TTableDelimiter::Comma,
         {{"No.", "タイトル"}, {"1,2", "say \"hi\""}, {"3", "two\r\nlines"}, {"4", "x"}},
         {1, 2, 3, 5}},
        {"UTF-8 with BOM, LF, no last line end, blank lines",
         "\xEF\xBB\xBF"
         "a,b\n\n\nc,\"\"",
         TTableEncoding::Utf8,
         TTableDelimiter::Comma,
         {{"a", "b"}, {"c", ""}},
         {1, 4}},
        {"UTF-16LE tab-separated with a comma in a cell",
         Utf16(u"番号\tカード名\r\n001\tRR, 2色\r\n", true),
         TTableEncoding::Utf16LE,
         TTableDelimiter::Tab,
         {{"番号", "カード名"}, {"001", "RR, 2色"}},
         {1, 2}},
        {"UTF-16BE with a surrogate pair",
         Utf16(u"1;\U0001F600\n", false),
         TTableEncoding::Utf16BE,
         TTableDelimiter::Semicolon,
         {{"1", "\U0001F600"}},
         {1}},
        {"Shift_JIS, CR only",
         Sjis("1,炎\r2,表\r"),  // 表 has 0x5C as its trail byte
         TTableEncoding::Cp932,
         TTableDelimiter::Comma,
         {{"1", "炎"}, {"2", "表"}},
         {1, 2}},
        {"lines from a web page split at the first blanks",
         "023  炎の剣士 ex\n  024\u3000氷の剣士  \n025\n",
         TTableEncoding::Utf8,
         TTableDelimiter::Blanks,
         {{"023", "炎の剣士 ex"}, {"024", "氷の剣士"}, {"025"}},
         {1, 2, 3}},
    };
    for (const Case& c : cases) {
        const TTable table = ReadBytes(c.bytes);
        EXPECT_EQ(table.Encoding, c.encoding) << c.name;
        EXPECT_EQ(table.Delimiter, c.delimiter) << c.name;
        EXPECT_EQ(RowsOf(table), c.rows) << c.name;
        EXPECT_EQ(LinesOf(table), c.lines) << c.name;
        EXPECT_TRUE(table.Refusals.empty()) << c.name << ": " << RefusalText(table.Refusals[0]);
    }
}

TEST(ChecklistReaderTest, GivenEncodingAndDelimiterOverrideDetection) {
    TTableOptions options;
    options.Encoding = TTableEncoding::Cp932;
    options.Delimiter = TTableDelimiter::Semicolon;
    // Valid UTF-8 and comma-separated at first sight.
    const TTable table = ReadBytes("a,b;c\n", options);
    EXPECT_EQ(RowsOf(table), (Rows{{"a,b", "c"}}));
    EXPECT_EQ(table.Encoding, TTableEncoding::Cp932);
}

TEST(ChecklistReaderTest, MalformedRecordsAreRefusedByTheirLineAndTheRestIsRead) {
    TTableLimits limits;
    limits.MaxCells = 3;
    TTableOptions options;
    options.Limits = limits;
    const TTable table = ReadBytes(
        "1,a\n\"2\"x,b\n3,\"multi\nline\"\n1,2,3,4\n5,c\n6,\"never closed\n7,d\n", options);
    EXPECT_EQ(RowsOf(table), (Rows{{"1", "a"}, {"3", "multi\nline"}, {"5", "c"}}));
    EXPECT_EQ(RefusedLines(table.Refusals), (std::vector<std::size_t>{2, 5, 7}));
    EXPECT_EQ(RefusalText(table.Refusals[2]), "7 行目: 引用符 \" が閉じられていません");
}

// A record larger than the limit is dropped as it is read: the parser never holds more than the
// limit, however long the line, and the lines after it are read.
TEST(ChecklistReaderTest, AGigabyteLineIsRefusedWithoutBeingHeld) {
    TTableParser parser(TTableDelimiter::Comma, TTableLimits{});
    parser.Feed("1,first\n\"2\",");
    const std::string block(std::size_t(1) << 20, 'x');
    std::size_t held = 0;
    for (int i = 0; i < 1024; ++i) {
        parser.Feed(block);
        held = std::max(held, parser.PendingBytes());
    }
    parser.Feed("\r\n3,last\n");
    const TTable table = parser.Finish();
    EXPECT_LE(held, TTableLimits{}.MaxRecordBytes);
    EXPECT_EQ(RowsOf(table), (Rows{{"1", "first"}, {"3", "last"}}));
    ASSERT_EQ(table.Refusals.size(), 1u);
    EXPECT_EQ(RefusalText(table.Refusals[0]),
              "2 行目: 行が長すぎるため読みません（1 行 1 MiB まで）");
}

TEST(ChecklistReaderTest, AMillionRowsAreReadAndTheLimitStopsTheRest) {
    std::string text;
    for (int i = 0; i < 1'000'000; ++i) text += std::to_string(i) + ",t\n";
    const TTable table = ReadTableText(text, {});
    ASSERT_EQ(table.RowCount(), 1'000'000u);
    EXPECT_EQ(table.Cell(999'999, 0), "999999");
    EXPECT_EQ(table.Line(999'999), 1'000'000u);

    TTableOptions options;
    options.Limits.MaxRecords = 10;
    const TTable limited = ReadTableText(text, options);
    EXPECT_EQ(limited.RowCount(), 10u);
    EXPECT_EQ(RefusedLines(limited.Refusals), (std::vector<std::size_t>{11}));
}

// A read told to a progress callback, from a file and from text: it hears of every piece up to
// the whole, and a read it stops gives no table rather than the rows read so far.
TEST(ChecklistReaderTest, ProgressIsToldPieceByPieceAndCanStopTheRead) {
    std::string text;
    for (int i = 0; i < 20'000; ++i) text += std::to_string(i) + ",t\n";
    TempDir dir;
    WriteFileBytes(dir / "t.csv", text);
    const std::function<std::optional<TTable>(const TTableProgress&)> reads[] = {
        [&](const TTableProgress& progress) { return ReadTableFile(dir / "t.csv", {}, progress); },
        [&](const TTableProgress& progress) { return ReadTableText(text, {}, progress); },
    };
    for (const auto& read : reads) {
        std::vector<std::uint64_t> told;
        const std::optional<TTable> whole = read([&](std::uint64_t done, std::uint64_t total) {
            EXPECT_EQ(total, text.size());
            told.push_back(done);
            return true;
        });
        ASSERT_TRUE(whole.has_value());
        EXPECT_EQ(whole->RowCount(), 20'000u);
        EXPECT_EQ(told.size(), (text.size() + 65535) / 65536);
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        EXPECT_EQ(told.back(), text.size());

        int calls = 0;
        EXPECT_FALSE(read([&](std::uint64_t, std::uint64_t) { return ++calls < 2; }).has_value());
        EXPECT_EQ(calls, 2);
    }
}

// Bytes that do not decode, NUL and characters Shift_JIS lacks reach the rows as refusals that
// say which line and why; the other rows are taken.
TEST(ChecklistReaderTest, UnstorableTextsRefuseTheirRowNamingTheCharacters) {
    TTableOptions options;
    options.Encoding = TTableEncoding::Utf8;
    const TTable table = ReadBytes(
        "1,ok\n2,caf\xC3\xA9 \xF0\x9F\x98\x80\n3,bad \xFF\xFE\n4,nul\x00x\n5,ok,maybe\n"s, options);
    TColumnMapping mapping{
        false, {TChecklistField::Number, TChecklistField::Title, TChecklistField::Owned}};
    const TChecklistRows rows = ChecklistRowsOf(table, mapping);
    ASSERT_EQ(rows.Rows.size(), 1u);
    EXPECT_EQ(rows.Rows[0].Title, "ok");
    std::vector<std::string> reasons;
    for (const TTableRefusal& refusal : rows.Refused) reasons.push_back(RefusalText(refusal));
    EXPECT_EQ(reasons,
              (std::vector<std::string>{
                  "2 行目: タイトルの「é」「😀」は Shift_JIS で保存できないため取り込めません",
                  "3 行目: タイトルの文字が読めません（文字コードの選択を確かめてください）",
                  "4 行目: タイトルに NUL 文字が含まれています",
                  "5 行目: 所持の値「maybe」を読めません（Y/N、1/0、○/× などが使えます）",
              }));
}

TEST(ChecklistReaderTest, HeadersAndOwnedValuesAreReadInTheirUsualForms) {
    const TTable table =
        ReadTableText("ＮＯ．, Card Number ,名前,NOTE,Have,rarity\n1,2,3,4,✓,5\n", {});
    const TColumnMapping mapping = GuessMapping(table);
    EXPECT_TRUE(mapping.HasHeader);
    EXPECT_EQ(mapping.Columns,
              (std::vector<TChecklistField>{TChecklistField::Number, TChecklistField::Ignore,
                                            TChecklistField::Title, TChecklistField::Comment,
                                            TChecklistField::Owned, TChecklistField::Ignore}));
    for (const char* yes : {"Y", "1", "ｙｅｓ", "TRUE", "○", "●", "✓", " true "})
        EXPECT_EQ(ParseOwned(yes), true) << yes;
    for (const char* no : {"", "N", "0", "no", "False", "×", "  "})
        EXPECT_EQ(ParseOwned(no), false) << no;
    EXPECT_EQ(ParseOwned("2"), std::nullopt);
    EXPECT_FALSE(GuessMapping(ReadTableText("001,炎\n", {})).HasHeader);
}
