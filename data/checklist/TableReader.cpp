#include "checklist/TableReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"

namespace {

constexpr const char* kTooLong = "行が長すぎるため読みません（1 行 %s まで）";
constexpr const char* kTooManyCells = "列が多すぎるため読みません（%d 列まで）";
constexpr const char* kTooManyRecords = "行が多すぎるため、ここから先は読みません（%d 行まで）";
constexpr const char* kTooMuchText = "ファイルが大きすぎるため、ここから先は読みません";
constexpr const char* kUnclosedQuote = "引用符 \" が閉じられていません";
constexpr const char* kTextAfterQuote = "引用符 \" で囲んだ値の後に文字があります";

// Enough of the start that a Shift_JIS file whose first lines are ASCII is still told apart.
constexpr std::size_t kDetectionSample = std::size_t(1) << 20;
constexpr std::size_t kDetectionLines = 20;
// How much pasted text is parsed between two reports of progress, as much as a file's piece.
constexpr std::size_t kProgressPiece = std::size_t(1) << 16;

constexpr std::array<std::pair<std::string_view, TTableDelimiter>, 4> kDelimiterNames = {{
    {"comma", TTableDelimiter::Comma},
    {"tab", TTableDelimiter::Tab},
    {"semicolon", TTableDelimiter::Semicolon},
    {"blanks", TTableDelimiter::Blanks},
}};

char DelimiterChar(TTableDelimiter delimiter) {
    switch (delimiter) {
        case TTableDelimiter::Comma:
            return ',';
        case TTableDelimiter::Tab:
            return '\t';
        case TTableDelimiter::Semicolon:
            return ';';
        case TTableDelimiter::Blanks:
            break;
    }
    return '\0';
}

std::string SizeText(std::size_t bytes) {
    return bytes % (1 << 20) == 0 ? std::to_string(bytes >> 20) + " MiB"
                                  : std::to_string(bytes) + " バイト";
}

// The length of a blank (space, tab, ideographic space U+3000) at pos, 0 when there is none.
std::size_t BlankLength(std::string_view s, std::size_t pos) {
    if (s[pos] == ' ' || s[pos] == '\t') return 1;
    return s.substr(pos, 3) == "\xE3\x80\x80" ? 3 : 0;
}

// The first of the characters at or after pos, npos when there is none; memchr each, as a
// refused line of a gigabyte is skipped through here.
std::size_t FindFirst(std::string_view s, std::size_t pos, std::string_view characters) {
    std::size_t first = std::string_view::npos;
    for (char c : characters) {
        const void* at = std::memchr(s.data() + pos, c, std::min(first, s.size()) - pos);
        if (at != nullptr)
            first = static_cast<std::size_t>(static_cast<const char*>(at) - s.data());
    }
    return first;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && BlankLength(s, 0) > 0) s.remove_prefix(BlankLength(s, 0));
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        else if (s.ends_with("\xE3\x80\x80"))
            s.remove_suffix(3);
        else
            return s;
    }
}

}  // namespace

std::string_view DelimiterName(TTableDelimiter delimiter) {
    for (const auto& [name, value] : kDelimiterNames)
        if (value == delimiter) return name;
    return {};
}

std::optional<TTableDelimiter> ParseDelimiterName(std::string_view name) {
    for (const auto& [key, value] : kDelimiterNames)
        if (key == name) return value;
    return std::nullopt;
}

std::string RefusalText(const TTableRefusal& refusal) {
    return std::to_string(refusal.Line) + " 行目: " + refusal.Reason;
}

std::string_view TTable::Cell(std::size_t row, std::size_t column) const {
    const TRow& r = m_rows[row];
    if (column >= r.CellCount) return {};
    const TSpan& span = m_cells[r.FirstCell + column];
    return std::string_view(m_text).substr(span.Offset, span.Size);
}

TTableParser::TTableParser(TTableDelimiter delimiter, const TTableLimits& limits)
    : m_delimiter(delimiter), m_limits(limits) {
    m_table.Delimiter = delimiter;
}

void TTableParser::Refuse(std::size_t line, std::string reason) {
    m_table.Refusals.push_back({line, std::move(reason)});
}

// The record is refused already: skips to what may end it without looking at each byte; false
// when the piece holds none of it.
bool TTableParser::SkipRefused(std::string_view utf8, std::size_t& i, std::string_view stops) {
    const std::size_t next = FindFirst(utf8, i, stops);
    if (next != i) m_lastWasCR = false;
    if (next == std::string_view::npos) return false;
    i = next;
    return true;
}

void TTableParser::Feed(std::string_view utf8) {
    if (m_stopped) return;
    if (m_delimiter == TTableDelimiter::Blanks)
        FeedBlanks(utf8);
    else
        FeedDelimited(utf8);
}

void TTableParser::Append(char c) {
    if (m_tooLong) return;
    if (m_record.size() >= m_limits.MaxRecordBytes) {
        // The record is dropped now, so that the rest of a huge line costs no memory.
        m_tooLong = true;
        m_record.clear();
        m_record.shrink_to_fit();
        m_cellEnds.clear();
        return;
    }
    m_record += c;
}

void TTableParser::EndCell() {
    if (m_cellEnds.size() >= m_limits.MaxCells) {
        m_tooManyCells = true;
    } else if (!m_tooLong) {
        m_cellEnds.push_back(static_cast<std::uint32_t>(m_record.size()));
    }
    m_cellQuoted = false;
    m_afterQuote = false;
}

void TTableParser::EndRecord() {
    const bool quoted = m_cellQuoted || m_afterQuote;
    EndCell();
    const std::size_t line = m_recordLine;
    const bool blank = m_cellEnds.size() == 1 && m_record.empty() && !quoted;
    if (m_tooLong) {
        Refuse(line, FormatMessage(kTooLong, SizeText(m_limits.MaxRecordBytes)));
    } else if (m_tooManyCells) {
        Refuse(line, FormatMessage(kTooManyCells, static_cast<int>(m_limits.MaxCells)));
    } else if (!m_malformed.empty()) {
        Refuse(line, m_malformed);
    } else if (!blank) {
        if (m_table.m_rows.size() >= m_limits.MaxRecords) {
            Refuse(line, FormatMessage(kTooManyRecords, static_cast<int>(m_limits.MaxRecords)));
            m_stopped = true;
        } else if (m_table.m_text.size() + m_record.size() > m_limits.MaxTotalBytes) {
            Refuse(line, kTooMuchText);
            m_stopped = true;
        } else {
            const auto first = static_cast<std::uint32_t>(m_table.m_cells.size());
            const auto base = static_cast<std::uint32_t>(m_table.m_text.size());
            std::uint32_t start = 0;
            for (std::uint32_t end : m_cellEnds) {
                m_table.m_cells.push_back({base + start, end - start});
                start = end;
            }
            m_table.m_text += m_record;
            m_table.m_rows.push_back({line, first, static_cast<std::uint32_t>(m_cellEnds.size())});
            m_table.m_columns = std::max(m_table.m_columns, m_cellEnds.size());
        }
    }
    m_record.clear();
    m_cellEnds.clear();
    m_tooLong = m_tooManyCells = false;
    m_malformed.clear();
}

void TTableParser::FeedDelimited(std::string_view utf8) {
    const char delimiter = DelimiterChar(m_delimiter);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (m_stopped) return;
        if (m_tooLong && !SkipRefused(utf8, i, m_inQuotes ? "\"\r\n" : "\r\n")) return;
        const char c = utf8[i];
        const bool lfAfterCR = c == '\n' && m_lastWasCR;
        m_lastWasCR = c == '\r';
        const bool lineBreak = c == '\r' || (c == '\n' && !lfAfterCR);
        if (m_inQuotes) {
            if (c == '"') {
                m_inQuotes = false;
                m_afterQuote = true;
            } else {
                Append(c);
            }
            if (lineBreak) ++m_line;
            continue;
        }
        if (c == '\n' && lfAfterCR) continue;  // the record ended at the CR
        if (c == '\r' || c == '\n') {
            EndRecord();
            m_recordLine = ++m_line;
            continue;
        }
        if (c == delimiter) {
            EndCell();
            continue;
        }
        if (m_afterQuote) {
            if (c == '"') {  // a doubled quote stands for one
                Append(c);
                m_afterQuote = false;
                m_inQuotes = true;
                continue;
            }
            if (m_malformed.empty()) m_malformed = kTextAfterQuote;
            m_afterQuote = false;
        } else if (c == '"' && !m_cellQuoted &&
                   m_record.size() == (m_cellEnds.empty() ? 0 : m_cellEnds.back())) {
            m_inQuotes = m_cellQuoted = true;
            continue;
        }
        Append(c);
    }
}

void TTableParser::FeedBlanks(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (m_stopped) return;
        if (m_tooLong && !SkipRefused(utf8, i, "\r\n")) return;
        const char c = utf8[i];
        const bool lfAfterCR = c == '\n' && m_lastWasCR;
        m_lastWasCR = c == '\r';
        if (lfAfterCR) continue;
        if (c == '\r' || c == '\n') {
            SplitBlankLine();
            EndRecord();
            m_recordLine = ++m_line;
            continue;
        }
        Append(c);
    }
}

// The whole line is in m_record as one cell: number, then the rest after the first run of blanks.
void TTableParser::SplitBlankLine() {
    if (m_tooLong) return;
    const std::string line(TrimBlanks(m_record));
    std::size_t cut = 0;
    while (cut < line.size() && BlankLength(line, cut) == 0) ++cut;
    std::size_t rest = cut;
    while (rest < line.size() && BlankLength(line, rest) > 0) rest += BlankLength(line, rest);
    m_record = line.substr(0, cut);
    if (rest < line.size()) {
        m_cellEnds.push_back(static_cast<std::uint32_t>(cut));
        m_record += line.substr(rest);
    }
}

TTable TTableParser::Finish() {
    if (!m_stopped) {
        const bool unclosed = m_inQuotes;
        if (m_delimiter == TTableDelimiter::Blanks) SplitBlankLine();
        if (unclosed) {
            Refuse(m_recordLine, kUnclosedQuote);
            m_record.clear();
            m_cellEnds.clear();
        } else {
            EndRecord();
        }
    }
    m_record.clear();
    m_record.shrink_to_fit();
    return std::move(m_table);
}

TTableDelimiter DetectDelimiter(std::string_view utf8Head) {
    constexpr std::array<TTableDelimiter, 3> kCandidates = {
        TTableDelimiter::Tab, TTableDelimiter::Comma, TTableDelimiter::Semicolon};
    std::array<std::size_t, 3> linesWith{};
    std::array<bool, 3> inLine{};
    std::size_t lines = 0;
    bool inQuotes = false;
    for (char c : utf8Head) {
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        if (c == '\n') {
            for (std::size_t i = 0; i < 3; ++i) linesWith[i] += inLine[i] ? 1 : 0;
            inLine = {};
            if (++lines == kDetectionLines) break;
            continue;
        }
        for (std::size_t i = 0; i < 3; ++i)
            if (c == DelimiterChar(kCandidates[i])) inLine[i] = true;
    }
    for (std::size_t i = 0; i < 3; ++i) linesWith[i] += inLine[i] ? 1 : 0;
    const auto best = std::max_element(linesWith.begin(), linesWith.end());
    return *best == 0 ? TTableDelimiter::Blanks : kCandidates[best - linesWith.begin()];
}

namespace {

// Raw bytes in, records out: holds the start until the encoding and the delimiter are known.
class TTableStream {
public:
    explicit TTableStream(const TTableOptions& options) : m_options(options) {}

    void Feed(std::string_view bytes) {
        if (m_parser) return Decode(bytes);
        m_head.append(bytes);
        if (m_head.size() >= kDetectionSample) Start();
    }

    TTable Finish() {
        if (!m_parser) Start();
        std::string utf8;
        m_decoder->Finish(utf8);
        m_parser->Feed(utf8);
        TTable table = m_parser->Finish();
        table.Encoding = m_encoding;
        return table;
    }

private:
    void Start() {
        m_encoding = m_options.Encoding.value_or(DetectEncoding(m_head));
        m_decoder.emplace(m_encoding);
        std::string utf8;
        m_decoder->Decode(m_head, utf8);
        m_parser.emplace(m_options.Delimiter.value_or(DetectDelimiter(utf8)), m_options.Limits);
        m_parser->Feed(utf8);
        m_head.clear();
        m_head.shrink_to_fit();
    }

    void Decode(std::string_view bytes) {
        m_utf8.clear();
        m_decoder->Decode(bytes, m_utf8);
        m_parser->Feed(m_utf8);
    }

    TTableOptions m_options;
    std::string m_head;
    std::string m_utf8;
    TTableEncoding m_encoding = TTableEncoding::Utf8;
    std::optional<TTableDecoder> m_decoder;
    std::optional<TTableParser> m_parser;
};

}  // namespace

std::optional<TTable> ReadTableFile(const std::filesystem::path& path, const TTableOptions& options,
                                    const TTableProgress& progress) {
    TTableStream stream(options);
    struct stat status {};
    std::uint64_t done = 0;
    bool stopped = false;
    const bool read = ReadFileInPieces(
        path,
        [&](std::string_view piece) {
            stream.Feed(piece);
            done += piece.size();
            // A file that grew meanwhile is read to its end: its size is then what was read.
            const auto size = static_cast<std::uint64_t>(status.st_size);
            stopped = progress && !progress(done, std::max(done, size));
            return !stopped;
        },
        &status);
    if (stopped) return std::nullopt;
    if (!read) throw VastrelleError(FormatMessage(msg::kCannotOpen, path.string()));
    return stream.Finish();
}

TTable ReadTableFile(const std::filesystem::path& path, const TTableOptions& options) {
    return *ReadTableFile(path, options, nullptr);
}

TTable ReadTableBytes(std::string_view bytes, const TTableOptions& options) {
    TTableStream stream(options);
    stream.Feed(bytes);
    return stream.Finish();
}

std::optional<TTable> ReadTableText(std::string_view utf8, const TTableOptions& options,
                                    const TTableProgress& progress) {
    TTableOptions asUtf8 = options;
    asUtf8.Encoding = TTableEncoding::Utf8;
    TTableStream stream(asUtf8);
    for (std::size_t done = 0; done < utf8.size();) {
        const std::string_view piece = utf8.substr(done, kProgressPiece);
        stream.Feed(piece);
        done += piece.size();
        if (progress && !progress(done, utf8.size())) return std::nullopt;
    }
    return stream.Finish();
}

TTable ReadTableText(std::string_view utf8, const TTableOptions& options) {
    return *ReadTableText(utf8, options, nullptr);
}
