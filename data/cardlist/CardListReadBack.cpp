#include "cardlist/CardListReadBack.h"

#include "cardlist/CardCopies.h"
#include "text/Cp932.h"
#include "text/Cp932ReadBack.h"

namespace {

// `escaped`: number, title and comment, whose TAB, CR LF and markup the writer escapes.
bool TextReadsBack(std::string_view text, bool escaped, const cp932::TReadBackTable& table) {
    bool blank = true;
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            blank = false;
            if (cp932::IsLeadByte(c)) {
                if (i + 1 == text.size()) return false;
                auto trail = static_cast<unsigned char>(text[i + 1]);
                if (table.Double(c, trail) != (c << 8 | trail)) return false;
                i += 2;
            } else {
                if (table.Single(c) != c) return false;
                ++i;
            }
            continue;
        }
        if (c == '\r') {
            if (!escaped || i + 1 == text.size() || text[i + 1] != '\n') return false;
            blank = false;
            i += 2;
            continue;
        }
        if (c < 0x20 && c != '\t' && c != '\n') return false;
        if (escaped && c == '@' && i + 1 < text.size() && text[i + 1] == '#') return false;
        if (c != ' ' && c != '\n' && (escaped || c != '\t')) blank = false;
        ++i;
    }
    return text.empty() || !blank;
}

}  // namespace

bool ReadsBackAsWritten(std::span<const TCardInfo> cards) {
    const cp932::TReadBackTable& table = cp932::TReadBackTable::Get();
    if (!table.Usable()) return false;
    for (const TCardInfo& card : cards) {
        if (!TextReadsBack(card.Number, true, table) || !TextReadsBack(card.Title, true, table) ||
            !TextReadsBack(card.Comment, true, table) ||
            !TextReadsBack(card.FrontImageFileName, false, table) ||
            !TextReadsBack(card.BackImageFileName, false, table))
            return false;
        if (card.Count <= 1 && !card.Want && card.Acquired.empty() &&
            card.Unread == TUnreadFields{})
            continue;
        // The fields beyond the six read back when the reader's rules give them again.
        const std::array<std::string, 3> texts = ExtraFieldTexts(card);
        for (const std::string& text : texts)
            if (!TextReadsBack(text, false, table)) return false;
        TCardInfo again;
        again.Owned = card.Owned;
        ReadExtraFields(again, texts[0], texts[1], texts[2]);
        if (Copies(again) != Copies(card) || again.Want != card.Want ||
            again.Acquired != card.Acquired || again.Unread != card.Unread)
            return false;
    }
    return true;
}
