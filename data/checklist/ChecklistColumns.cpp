#include "checklist/ChecklistColumns.h"

#include <algorithm>
#include <array>

#include "cardlist/CardCopies.h"
#include "files/VastrelleError.h"
#include "pictures/ImageNames.h"
#include "text/Cp932.h"

namespace {

constexpr const char* kNoCp932Form = "の%sは Shift_JIS で保存できないため取り込めません";
constexpr const char* kUndecodable = "の文字が読めません（文字コードの選択を確かめてください）";
constexpr const char* kNul = "に NUL 文字が含まれています";
constexpr const char* kBadPictureName = "の「%s」はファイル名にできません";
constexpr const char* kBadCopies = "枚数「%s」を読めません（0 から 9999 までの数が使えます）";
constexpr const char* kBadOwned = "所持の値「%s」を読めません（Y/N、1/0、○/× などが使えます）";

struct TFieldInfo {
    TChecklistField Field;
    std::string_view Caption;
    std::string_view Key;
};

constexpr std::array<TFieldInfo, 9> kFields = {{
    {TChecklistField::Ignore, "無視", "ignore"},
    {TChecklistField::Number, "No.", "number"},
    {TChecklistField::Title, "タイトル", "title"},
    {TChecklistField::Comment, "コメント", "comment"},
    {TChecklistField::Owned, "所持", "owned"},
    {TChecklistField::FrontImage, "表画像", "front"},
    {TChecklistField::BackImage, "裏画像", "back"},
    {TChecklistField::Count, "枚数", "count"},
    {TChecklistField::Want, "欲しい", "want"},
}};

// Header names in folded form (see Fold).
struct TAlias {
    std::string_view Name;
    TChecklistField Field;
};

constexpr std::array<TAlias, 28> kAliases = {{
    {"no.", TChecklistField::Number},       {"no", TChecklistField::Number},
    {"番号", TChecklistField::Number},      {"カード番号", TChecklistField::Number},
    {"number", TChecklistField::Number},    {"#", TChecklistField::Number},
    {"タイトル", TChecklistField::Title},   {"名前", TChecklistField::Title},
    {"カード名", TChecklistField::Title},   {"title", TChecklistField::Title},
    {"name", TChecklistField::Title},       {"コメント", TChecklistField::Comment},
    {"メモ", TChecklistField::Comment},     {"備考", TChecklistField::Comment},
    {"comment", TChecklistField::Comment},  {"note", TChecklistField::Comment},
    {"notes", TChecklistField::Comment},    {"所持", TChecklistField::Owned},
    {"持っている", TChecklistField::Owned}, {"owned", TChecklistField::Owned},
    {"have", TChecklistField::Owned},       {"表画像", TChecklistField::FrontImage},
    {"裏画像", TChecklistField::BackImage}, {"画像", TChecklistField::FrontImage},
    {"枚数", TChecklistField::Count},       {"count", TChecklistField::Count},
    {"欲しい", TChecklistField::Want},      {"want", TChecklistField::Want},
}};

constexpr std::array<std::string_view, 10> kOwnedYes = {"y", "yes", "1", "true", "○",
                                                        "◯", "●",   "✓", "✔",    "済"};
constexpr std::array<std::string_view, 6> kOwnedNo = {"", "n", "no", "0", "false", "×"};

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Blanks trimmed, full-width ASCII made ASCII, ASCII letters lower case.
std::string Fold(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xEF && i + 2 < utf8.size()) {
            const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
            const auto b2 = static_cast<unsigned char>(utf8[i + 2]);
            // U+FF01 to U+FF5E are ASCII 0x21 to 0x7E in full width.
            const unsigned code = 0xF000 | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
            if (code >= 0xFF01 && code <= 0xFF5E) {
                const auto ascii = static_cast<unsigned char>(code - 0xFEE0);
                out += static_cast<char>(ascii >= 'A' && ascii <= 'Z' ? ascii - 'A' + 'a' : ascii);
                i += 2;
                continue;
            }
        }
        if (c == 0xE3 && utf8.substr(i, 3) == "\xE3\x80\x80") {  // ideographic space
            out += ' ';
            i += 2;
            continue;
        }
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    const std::size_t first = out.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

// The distinct characters of a UTF-8 text that CP932 lacks, each in 「」.
std::string CharactersWithoutCp932(std::string_view utf8) {
    std::vector<std::string> seen;
    std::string listed;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::string character(utf8.substr(i, n));
        i += n;
        if (std::find(seen.begin(), seen.end(), character) != seen.end()) continue;
        seen.push_back(character);
        if (!cp932::FromUtf8(character)) listed += "「" + character + "」";
    }
    return listed;
}

// The cell as CP932, or why it cannot be.
std::optional<std::string> ToCardText(std::string_view utf8, TChecklistField field,
                                      std::string& reason) {
    const std::string caption(FieldCaption(field));
    if (utf8.find('\0') != std::string_view::npos) {
        reason = caption + kNul;
        return std::nullopt;
    }
    if (utf8.find(kReplacementCharacter) != std::string_view::npos) {
        reason = caption + kUndecodable;
        return std::nullopt;
    }
    std::optional<std::string> text =
        IsAscii(utf8) ? std::optional<std::string>(utf8) : cp932::FromUtf8(utf8);
    if (!text) {
        reason = caption + FormatMessage(kNoCp932Form, std::string(CharactersWithoutCp932(utf8)));
        return std::nullopt;
    }
    if ((field == TChecklistField::FrontImage || field == TChecklistField::BackImage) &&
        !ImageFilePath("image", *text)) {
        reason = caption + FormatMessage(kBadPictureName, std::string(utf8));
        return std::nullopt;
    }
    return text;
}

}  // namespace

const std::vector<TChecklistField>& ChecklistFields() {
    static const std::vector<TChecklistField> fields = [] {
        std::vector<TChecklistField> all;
        for (const TFieldInfo& info : kFields) all.push_back(info.Field);
        return all;
    }();
    return fields;
}

std::string_view FieldCaption(TChecklistField field) {
    for (const TFieldInfo& info : kFields)
        if (info.Field == field) return info.Caption;
    return {};
}

std::string_view FieldKey(TChecklistField field) {
    for (const TFieldInfo& info : kFields)
        if (info.Field == field) return info.Key;
    return {};
}

std::optional<TChecklistField> ParseFieldKey(std::string_view key) {
    for (const TFieldInfo& info : kFields)
        if (info.Key == key) return info.Field;
    return std::nullopt;
}

TChecklistField FieldOfHeader(std::string_view utf8) {
    const std::string folded = Fold(utf8);
    for (const TAlias& alias : kAliases)
        if (alias.Name == folded) return alias.Field;
    return TChecklistField::Ignore;
}

TColumnMapping GuessMapping(const TTable& table) {
    TColumnMapping mapping;
    mapping.Columns.assign(table.ColumnCount(), TChecklistField::Ignore);
    if (table.RowCount() > 0) {
        for (std::size_t column = 0; column < table.CellCount(0); ++column) {
            const TChecklistField field = FieldOfHeader(table.Cell(0, column));
            if (field == TChecklistField::Ignore ||
                std::find(mapping.Columns.begin(), mapping.Columns.end(), field) !=
                    mapping.Columns.end())
                continue;
            mapping.Columns[column] = field;
            mapping.HasHeader = true;
        }
    }
    if (!mapping.HasHeader) {
        constexpr std::array<TChecklistField, 3> kByPosition = {
            TChecklistField::Number, TChecklistField::Title, TChecklistField::Comment};
        for (std::size_t column = 0; column < std::min(mapping.Columns.size(), kByPosition.size());
             ++column)
            mapping.Columns[column] = kByPosition[column];
    }
    return mapping;
}

std::optional<bool> ParseOwned(std::string_view utf8) {
    const std::string folded = Fold(utf8);
    if (std::find(kOwnedYes.begin(), kOwnedYes.end(), folded) != kOwnedYes.end()) return true;
    if (std::find(kOwnedNo.begin(), kOwnedNo.end(), folded) != kOwnedNo.end()) return false;
    return std::nullopt;
}

TChecklistRows ChecklistRowsOf(const TTable& table, const TColumnMapping& mapping) {
    TChecklistRows result;
    result.Refused = table.Refusals;
    result.Rows.reserve(table.RowCount());
    std::size_t filled = 0;
    for (std::size_t row = mapping.HasHeader ? 1 : 0; row < table.RowCount(); ++row) {
        TChecklistRow out;
        out.Line = table.Line(row);
        std::string reason;
        bool any = false;
        for (std::size_t column = 0; column < mapping.Columns.size() && reason.empty(); ++column) {
            const TChecklistField field = mapping.Columns[column];
            const std::string_view cell = table.Cell(row, column);
            if (field == TChecklistField::Ignore) continue;
            if (!cell.empty()) any = true;
            if (field == TChecklistField::Owned || field == TChecklistField::Want) {
                std::optional<bool> mark = ParseOwned(cell);
                if (!mark) reason = FormatMessage(kBadOwned, std::string(cell.substr(0, 40)));
                (field == TChecklistField::Owned ? out.Owned : out.Want) = mark;
                continue;
            }
            if (field == TChecklistField::Count) {
                if (cell.empty()) continue;
                const int copies = ParseCopies(cell);
                if (copies < 0)
                    reason = FormatMessage(kBadCopies, std::string(cell.substr(0, 40)));
                else
                    out.Copies = copies;
                continue;
            }
            if (cell.empty()) continue;
            std::optional<std::string> text = ToCardText(cell, field, reason);
            if (!text) break;
            switch (field) {
                case TChecklistField::Number:
                    out.Number = std::move(text);
                    break;
                case TChecklistField::Title:
                    out.Title = std::move(text);
                    break;
                case TChecklistField::Comment:
                    out.Comment = std::move(text);
                    break;
                case TChecklistField::FrontImage:
                    out.FrontImage = std::move(text);
                    break;
                case TChecklistField::BackImage:
                    out.BackImage = std::move(text);
                    break;
                case TChecklistField::Owned:
                case TChecklistField::Count:
                case TChecklistField::Want:
                case TChecklistField::Ignore:
                    break;
            }
        }
        if (!reason.empty()) {
            result.Refused.push_back({out.Line, std::move(reason)});
            continue;
        }
        result.Rows.push_back(std::move(out));
        if (any) filled = result.Rows.size();
    }
    // Empty rows between cards are empty cards (the export writes them so); those a spreadsheet
    // leaves after the last card are not.
    result.Rows.resize(filled);
    std::stable_sort(
        result.Refused.begin(), result.Refused.end(),
        [](const TTableRefusal& a, const TTableRefusal& b) { return a.Line < b.Line; });
    return result;
}
