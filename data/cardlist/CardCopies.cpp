#include "cardlist/CardCopies.h"

#include <algorithm>
#include <ctime>

void SetOwned(TCardInfo& card, bool owned, std::string_view today) {
    if (owned != card.Owned) {
        card.Acquired = owned ? std::string(today) : std::string();
        card.Unread.Acquired.clear();
        card.Unread.Count.clear();
    }
    card.Owned = owned;
    card.Count = Copies(card);
}

void SetCopies(TCardInfo& card, int copies, std::string_view today) {
    copies = std::clamp(copies, 0, kMaxCopies);
    SetOwned(card, copies >= 1, today);
    card.Count = copies;
    card.Unread.Count.clear();
}

void SetWant(TCardInfo& card, bool want) {
    card.Want = want;
    card.Unread.Want.clear();
}

std::string TodayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

namespace {

// The digits of text[from, from + count) as a number; -1 when one is not a digit.
int Digits(std::string_view text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

bool IsDateText(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (year < 1000 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int ParseCopies(std::string_view text) {
    if (text.empty() || text.size() > 4 || (text.size() > 1 && text[0] == '0')) return -1;
    return Digits(text, 0, text.size());
}

void ReadExtraFields(TCardInfo& card, std::string_view count, std::string_view want,
                     std::string_view acquired) {
    card.Count = card.Owned ? 1 : 0;
    if (!count.empty()) {
        int copies = ParseCopies(count);
        if (copies >= 1 && card.Owned)
            card.Count = copies;
        else if (!(copies == 0 && !card.Owned))
            card.Unread.Count = count;
    }
    if (want == "Y")
        card.Want = true;
    else if (!want.empty() && want != "N")
        card.Unread.Want = want;
    if (!acquired.empty()) {
        if (card.Owned && IsDateText(acquired))
            card.Acquired = acquired;
        else
            card.Unread.Acquired = acquired;
    }
}

std::array<std::string, 3> ExtraFieldTexts(const TCardInfo& card) {
    std::array<std::string, 3> texts;
    int copies = Copies(card);
    texts[0] = copies >= 2 ? std::to_string(copies) : card.Unread.Count;
    texts[1] = card.Want ? std::string("Y") : card.Unread.Want;
    texts[2] = card.Acquired.empty() ? card.Unread.Acquired : card.Acquired;
    return texts;
}
