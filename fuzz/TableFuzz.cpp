// The checklist table reader: any bytes read without a fault, into the same records and
// refusals however the input is cut into pieces, within the limits; the rows then map and merge.
#include "FuzzScratch.h"
#include "checklist/ChecklistMerge.h"
#include "checklist/TableReader.h"

namespace {

struct TTableView {
    std::vector<std::vector<std::string>> Cells;
    std::vector<std::size_t> Lines;
    std::vector<TTableRefusal> Refusals;
    bool operator==(const TTableView&) const = default;
};

TTableView ViewOf(const TTable& table) {
    TTableView view;
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        view.Lines.push_back(table.Line(r));
        view.Cells.emplace_back();
        for (std::size_t c = 0; c < table.CellCount(r); ++c)
            view.Cells.back().emplace_back(table.Cell(r, c));
    }
    view.Refusals = table.Refusals;
    return view;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the options: detected or given encoding and delimiter, and the size
    // of the pieces the decoder and parser are fed.
    const std::uint8_t choice = data[0];
    const std::string_view bytes = AsText(data + 1, size - 1);
    TTableOptions options;
    options.Limits.MaxRecordBytes = 64;
    options.Limits.MaxCells = 8;
    options.Limits.MaxRecords = 50;
    if (choice & 0x04) options.Encoding = static_cast<TTableEncoding>(choice & 0x03);
    if (choice & 0x20) options.Delimiter = static_cast<TTableDelimiter>((choice >> 3) & 0x03);
    const std::size_t piece = 1 + (choice >> 6);

    const TTable table = ReadTableBytes(bytes, options);
    FUZZ_CHECK(table.RowCount() <= options.Limits.MaxRecords);
    std::size_t lastLine = 0;
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        FUZZ_CHECK(table.CellCount(r) <= options.Limits.MaxCells);
        FUZZ_CHECK(table.Line(r) > lastLine);
        lastLine = table.Line(r);
    }

    // The same bytes decoded and parsed a few bytes at a time.
    TTableDecoder decoder(table.Encoding);
    TTableParser parser(table.Delimiter, options.Limits);
    std::string utf8;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        utf8.clear();
        decoder.Decode(bytes.substr(at, piece), utf8);
        parser.Feed(utf8);
    }
    utf8.clear();
    decoder.Finish(utf8);
    parser.Feed(utf8);
    FUZZ_CHECK(ViewOf(parser.Finish()) == ViewOf(table));

    const TChecklistRows rows = ChecklistRowsOf(table, GuessMapping(table));
    const TChecklistPlan plan = PlanChecklistMerge({}, rows);
    FUZZ_CHECK(plan.New == rows.Rows.size() && plan.Cards.size() == rows.Rows.size());
    const TChecklistPlan again = PlanChecklistMerge(plan.Cards, rows);
    FUZZ_CHECK(again.New + again.Changed + again.Unchanged + again.Refused.size() >=
               rows.Rows.size());
    return 0;
}
