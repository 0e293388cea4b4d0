#include "cardlist/Common.h"

#include <algorithm>
#include <array>
#include <utility>

#include "text/Cp932.h"

void ClearCardInfo(TCardInfo& card) { card = TCardInfo{}; }

int Copies(const TCardInfo& card) { return card.Owned ? std::max(card.Count, 1) : 0; }

bool TCardInfo::operator==(const TCardInfo& other) const {
    return FrontImageFileName == other.FrontImageFileName &&
           BackImageFileName == other.BackImageFileName && Number == other.Number &&
           Title == other.Title && Owned == other.Owned && Comment == other.Comment &&
           Copies(*this) == Copies(other) && Want == other.Want && Acquired == other.Acquired &&
           Unread == other.Unread;
}

namespace {

// The escape table, in its order. "@" itself has no escape, so text that already holds an escape
// sequence comes back as its special character.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kEscapeTable{{
    {"&", "@#38;"},
    {"<", "@#60;"},
    {">", "@#62;"},
    {"[", "@#91;"},
    {"]", "@#93;"},
    {"%", "@#37;"},
    {"*", "@#42;"},
    {"\t", "@#09;"},
    {"\r\n", "@#13;@#10;"},
}};

// Replacing row by row equals one left-to-right pass that tries every row at each character
// boundary: no special text holds "@", "#", a digit or ";", no escape sequence holds a special
// text, and the only sequence that holds another's start ("@#13;@#10;") is tried first. One
// pass keeps large card lists fast.
std::size_t MatchAt(std::string_view text, std::size_t pos, TConvertDirection direction,
                    std::string_view& replacement) {
    for (auto it = kEscapeTable.rbegin(); it != kEscapeTable.rend(); ++it) {
        bool escape = direction == TConvertDirection::Escape;
        std::string_view from = escape ? it->first : it->second;
        if (text.compare(pos, from.size(), from) == 0) {
            replacement = escape ? it->second : it->first;
            return from.size();
        }
    }
    return 0;
}

// The bytes a match can start with: "@" when unescaping, a special text's first byte when
// escaping.
using ByteSet = std::array<bool, 256>;
constexpr ByteSet MatchStarts(TConvertDirection direction) {
    ByteSet set{};
    for (const auto& [special, escaped] : kEscapeTable) {
        std::string_view from = direction == TConvertDirection::Escape ? special : escaped;
        set[static_cast<unsigned char>(from.front())] = true;
    }
    return set;
}
constexpr ByteSet kEscapeStarts = MatchStarts(TConvertDirection::Escape);
constexpr ByteSet kUnescapeStarts = MatchStarts(TConvertDirection::Unescape);

}  // namespace

void AppendConvertedFieldText(std::string& out, std::string_view text,
                              TConvertDirection direction) {
    const ByteSet& starts =
        direction == TConvertDirection::Escape ? kEscapeStarts : kUnescapeStarts;
    auto isStart = [&starts](char c) { return starts[static_cast<unsigned char>(c)]; };
    // Most texts have nothing to convert: they are appended whole.
    if (std::none_of(text.begin(), text.end(), isStart)) {
        out.append(text);
        return;
    }
    // Character by character from the start: a trail byte that looks like a match is none.
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::string_view replacement;
        if (isStart(text[pos])) {
            if (std::size_t length = MatchAt(text, pos, direction, replacement)) {
                out.append(replacement);
                pos += length;
                continue;
            }
        }
        std::size_t n = cp932::CharLength(text, pos);
        out.append(text.substr(pos, n));
        pos += n;
    }
}

std::string ConvertFieldText(std::string_view text, TConvertDirection direction) {
    std::string out;
    AppendConvertedFieldText(out, text, direction);
    return out;
}

TColumnDatas DefaultColumnDatas() {
    return {
        {std::string(caption::kNumber), 100, true},
        {std::string(caption::kTitle), 250, true},
        {std::string(caption::kComment), 100, true},
        {std::string(caption::kOwned), 50, true},
    };
}

std::string GetColumnValue(const TCardInfo& card, std::string_view name) noexcept {
    try {
        if (name == caption::kNumber) return card.Number;
        if (name == caption::kTitle) return card.Title;
        if (name == caption::kComment) return card.Comment;
        if (name == caption::kOwned) return card.Owned ? std::string(caption::kOwnedMark) : "";
        if (name == caption::kCount) return card.Owned ? std::to_string(Copies(card)) : "";
        return {};
    } catch (...) {
        return "?????";
    }
}

std::string StatusLineText(std::size_t owned, std::size_t total) {
    std::string text = std::to_string(owned) + "/" + std::to_string(total);
    if (total >= 1) text += "[" + std::to_string(owned * 100 / total) + "%]";
    return text;
}
