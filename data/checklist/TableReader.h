#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checklist/TableEncoding.h"

// Tables as collectors bring them: CSV (quoted fields may hold delimiters, quotes and line
// breaks), tab-separated text, and lines copied from a web page ("023  炎の剣士", split at the
// first run of blanks). Cells are UTF-8.

enum class TTableDelimiter { Comma, Tab, Semicolon, Blanks };

std::string_view DelimiterName(TTableDelimiter delimiter);  // "comma", "tab", "semicolon", "blanks"
std::optional<TTableDelimiter> ParseDelimiterName(std::string_view name);

// Bounds on what one file may make the program hold, so that a hostile or mistaken file (a
// single line of a gigabyte, a binary file) is refused line by line instead of filling memory.
struct TTableLimits {
    std::size_t MaxRecordBytes = std::size_t(1) << 20;
    std::size_t MaxCells = 64;
    std::size_t MaxRecords = 2'000'000;
    std::size_t MaxTotalBytes = std::size_t(256) << 20;
};

// A line that cannot be taken, with why (UTF-8). Line numbers count the file's lines from 1;
// a record spanning lines is named by its first.
struct TTableRefusal {
    std::size_t Line = 0;
    std::string Reason;
    bool operator==(const TTableRefusal&) const = default;
};

// "12 行目: <reason>"
std::string RefusalText(const TTableRefusal& refusal);

// The records of a table, blank lines left out, their cells packed into one string.
class TTable {
public:
    std::size_t RowCount() const { return m_rows.size(); }
    std::size_t ColumnCount() const { return m_columns; }
    std::size_t Line(std::size_t row) const { return m_rows[row].Line; }
    std::size_t CellCount(std::size_t row) const { return m_rows[row].CellCount; }
    // Empty for a column the row does not reach.
    std::string_view Cell(std::size_t row, std::size_t column) const;

    std::vector<TTableRefusal> Refusals;
    TTableEncoding Encoding = TTableEncoding::Utf8;
    TTableDelimiter Delimiter = TTableDelimiter::Comma;

private:
    friend class TTableParser;
    struct TRow {
        std::size_t Line;
        std::uint32_t FirstCell;
        std::uint32_t CellCount;
    };
    struct TSpan {
        std::uint32_t Offset;
        std::uint32_t Size;
    };
    std::string m_text;
    std::vector<TSpan> m_cells;
    std::vector<TRow> m_rows;
    std::size_t m_columns = 0;
};

// Splits UTF-8 text fed in pieces into records.
class TTableParser {
public:
    TTableParser(TTableDelimiter delimiter, const TTableLimits& limits);
    void Feed(std::string_view utf8);
    TTable Finish();
    // How many bytes the parser holds for the record it is in.
    std::size_t PendingBytes() const { return m_record.size(); }

private:
    void FeedDelimited(std::string_view utf8);
    void FeedBlanks(std::string_view utf8);
    bool SkipRefused(std::string_view utf8, std::size_t& i, std::string_view stops);
    void Append(char c);
    void EndCell();
    void EndRecord();
    void SplitBlankLine();
    void Refuse(std::size_t line, std::string reason);

    TTableDelimiter m_delimiter;
    TTableLimits m_limits;
    TTable m_table;
    std::string m_record;                   // the cells of the current record, back to back
    std::vector<std::uint32_t> m_cellEnds;  // where each ended cell ends in m_record
    std::size_t m_line = 1;
    std::size_t m_recordLine = 1;
    bool m_lastWasCR = false;
    bool m_inQuotes = false;
    bool m_afterQuote = false;
    bool m_cellQuoted = false;
    bool m_tooLong = false;
    bool m_tooManyCells = false;
    bool m_stopped = false;
    std::string m_malformed;
};

struct TTableOptions {
    std::optional<TTableEncoding> Encoding;    // detected when empty
    std::optional<TTableDelimiter> Delimiter;  // detected when empty
    TTableLimits Limits;
};

// The delimiter that splits the first lines most often outside quotes (tab, then comma, then
// semicolon on a tie); Blanks when none of them appears.
TTableDelimiter DetectDelimiter(std::string_view utf8Head);

// Reads a table file a block at a time. Throws VastrelleError("ファイル %s は開けません") when it
// cannot be read.
TTable ReadTableFile(const std::filesystem::path& path, const TTableOptions& options);

// The same from bytes held in memory.
TTable ReadTableBytes(std::string_view bytes, const TTableOptions& options);

// A table given as UTF-8 text (the clipboard's); the encoding option is not used.
TTable ReadTableText(std::string_view utf8, const TTableOptions& options);

// Told how far a read has come, in bytes of the file or text, after each piece of 64 KiB;
// returns false to stop the read.
using TTableProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// The reads above, told to `progress` as they go; nullopt when it stopped one, as part of a
// table is no table.
std::optional<TTable> ReadTableFile(const std::filesystem::path& path, const TTableOptions& options,
                                    const TTableProgress& progress);
std::optional<TTable> ReadTableText(std::string_view utf8, const TTableOptions& options,
                                    const TTableProgress& progress);
