#include "Common.h"

#include <array>
#include <utility>

#include "Cp932.h"

void ClearCardInfo(TCardInfo& card) { card = TCardInfo{}; }

namespace {

// Applied in this order; "@" itself has no escape, so text that already holds an escape
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

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (text.find(from.front()) == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, from.size(), from) == 0) {
            out.append(to);
            pos += from.size();
        } else {
            std::size_t n = cp932::CharLength(text, pos);
            out.append(text.substr(pos, n));
            pos += n;
        }
    }
    return out;
}

}  // namespace

std::string ConvertFieldText(std::string_view text, TConvertDirection direction) {
    std::string result(text);
    for (const auto& [special, escaped] : kEscapeTable) {
        if (direction == TConvertDirection::Escape)
            result = ReplaceAll(result, special, escaped);
        else
            result = ReplaceAll(result, escaped, special);
    }
    return result;
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
