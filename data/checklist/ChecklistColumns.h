#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checklist/TableReader.h"

// What each column of a checklist holds, and its rows as card fields.

enum class TChecklistField {
    Ignore,
    Number,
    Title,
    Comment,
    Owned,
    FrontImage,
    BackImage,
    Count,
    Want
};

// Every field in the order the dialog offers them, and the caption each is shown by (the list's
// column captions; "無視" for Ignore), in UTF-8.
const std::vector<TChecklistField>& ChecklistFields();
std::string_view FieldCaption(TChecklistField field);
// The field of a header cell: the program's own CSV header and the usual names of other
// trackers, compared with letter case, width and surrounding blanks folded; Ignore otherwise.
TChecklistField FieldOfHeader(std::string_view utf8);
// The command-line names: ignore, number, title, comment, owned, front, back, count, want.
std::string_view FieldKey(TChecklistField field);
std::optional<TChecklistField> ParseFieldKey(std::string_view key);

struct TColumnMapping {
    bool HasHeader = false;                // the first row names the columns and is not a card
    std::vector<TChecklistField> Columns;  // one per column of the table
};

// The mapping a table suggests: from its first row when a cell of it names a field (each field
// taken by its first column), otherwise number, title and comment in the first three columns.
TColumnMapping GuessMapping(const TTable& table);

// An owned cell: Y/N, 1/0, yes/no, true/false, ○/×, ●, ✓ (case and width folded, blanks
// trimmed); an empty cell is not owned. nullopt for anything else.
std::optional<bool> ParseOwned(std::string_view utf8);

// One row as card fields, CP932. A text is set when its column is mapped and the cell is not
// empty; Owned when its column is mapped.
struct TChecklistRow {
    std::size_t Line = 0;
    std::optional<std::string> Number, Title, Comment, FrontImage, BackImage;
    std::optional<bool> Owned;
    std::optional<int> Copies;  // 枚数, when its cell holds a number
    std::optional<bool> Want;   // 欲しい, when its column is mapped
};

struct TChecklistRows {
    std::vector<TChecklistRow> Rows;
    std::vector<TTableRefusal> Refused;  // the table's own refusals first, then the rows'
};

// The rows of the table under the mapping. A row is refused with its line and reason when a
// text has characters Shift_JIS cannot store (named), bytes that did not decode, a NUL, a
// picture name that cannot be a file name, or an owned value that is none of the known ones.
// Rows whose mapped cells are all empty are kept as empty cards, except after the last row that
// has a text.
TChecklistRows ChecklistRowsOf(const TTable& table, const TColumnMapping& mapping);
