#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Fields beyond the six that a card list held but that could not be read (not a number in range,
// not "Y", not a date, or at odds with the owned mark), in CP932 as they were. Each is written
// back as it was until its field is set, so that a hand-edited or newer file loses nothing.
struct TUnreadFields {
    std::string Count;
    std::string Want;
    std::string Acquired;

    bool operator==(const TUnreadFields&) const = default;
};

// One card. Every text is CP932 bytes as the user typed it (never escaped here).
struct TCardInfo {
    std::string FrontImageFileName;
    std::string BackImageFileName;
    std::string Number;
    std::string Title;
    bool Owned = false;
    std::string Comment;
    // Copies owned: at least 1 when owned, 0 when not (see CardCopies.h for the rules that keep
    // it in step with Owned). A record built with Owned alone counts as one copy.
    int Count = 0;
    bool Want = false;
    std::string Acquired{};  // the local date owned turned on, "YYYY-MM-DD"; empty when not set
    TUnreadFields Unread{};

    // Count compares as the copies it stands for, so a record built with Owned alone equals the
    // same card read back.
    bool operator==(const TCardInfo& other) const;
};

// The copies a card stands for: Count, but never below 1 when owned and always 0 when not.
int Copies(const TCardInfo& card);

using TCardInfos = std::vector<TCardInfo>;

// Blanks the record: five empty texts, not owned.
void ClearCardInfo(TCardInfo& card);

enum class TConvertDirection { Escape, Unescape };

// The field text conversion of number, title and comment in the card list file.
// Matching is by CP932 characters: a trail byte never starts a match.
std::string ConvertFieldText(std::string_view text, TConvertDirection direction);
// The same, appended to `out`.
void AppendConvertedFieldText(std::string& out, std::string_view text, TConvertDirection direction);

// One list column: caption (CP932), width in pixels, whether it is put into the list.
struct TColumnData {
    std::string Caption;
    std::int32_t Width = 0;
    bool Shown = true;
};

using TColumnDatas = std::vector<TColumnData>;

// Column captions and the owned mark, in CP932.
namespace caption {
inline constexpr std::string_view kNumber = "No.";
inline constexpr std::string_view kTitle = "\x83\x5E\x83\x43\x83\x67\x83\x8B";    // タイトル
inline constexpr std::string_view kComment = "\x83\x52\x83\x81\x83\x93\x83\x67";  // コメント
inline constexpr std::string_view kOwned = "\x8F\x8A\x8E\x9D";                    // 所持
inline constexpr std::string_view kOwnedMark = "\x81\x9C";                        // ●
inline constexpr std::string_view kCount = "\x96\x87\x90\x94";                    // 枚数
}  // namespace caption

// The four columns every list refresh sets: No., タイトル, コメント, 所持.
TColumnDatas DefaultColumnDatas();

// The text the list shows for the card in the column of that caption; empty for an unknown
// caption, "?????" only when the lookup itself fails.
std::string GetColumnValue(const TCardInfo& card, std::string_view caption) noexcept;

// "owned/total[percent%]", or "0/0" for no cards; percent rounded down.
std::string StatusLineText(std::size_t owned, std::size_t total);
