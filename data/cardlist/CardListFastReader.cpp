#include "cardlist/CardListFastReader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "cardlist/CardCopies.h"
#include "cardlist/TagCensus.h"
#include "files/LargeBuffer.h"
#include "text/Cp932.h"
#include "text/Cp932ReadBack.h"

namespace {

// Far below the parser's own limits (10,000,000 bytes of one text, 50,000 of one name), so that
// what the fast path accepts never meets them.
constexpr std::ptrdiff_t kMaxTextBytes = 1'000'000;
constexpr std::ptrdiff_t kMaxNameBytes = 1'000;
constexpr std::ptrdiff_t kMaxTagBytes = 1'000'000;

constexpr std::array<std::string_view, 9> kFieldNames = {
    "number",  "title", "imagefilename1", "imagefilename2", "exist",
    "comment", "count", "want",           "acquired"};
enum Field { kNumber, kTitle, kFront, kBack, kExist, kComment, kCount, kWant, kAcquired };

// The names the parser maps to code page 932 (it compares them ignoring case).
constexpr std::array<std::string_view, 8> kCp932Labels = {
    "SHIFT_JIS", "SHIFT-JIS", "SJIS", "MS_KANJI", "CSSHIFTJIS", "WINDOWS-31J", "X-SJIS", "CP932"};

bool IsCp932Label(std::string_view label) {
    for (std::string_view known : kCp932Labels) {
        if (known.size() != label.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < known.size() && same; ++i) {
            char c = label[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            same = c == known[i];
        }
        if (same) return true;
    }
    return false;
}

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// ASCII names without a colon: a prefix would bring in namespaces, other letters the parser's
// tables; both are left to it.
constexpr bool IsNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
constexpr std::array<bool, 256> kNameChars = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = IsNameStart(static_cast<unsigned char>(c)) || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-';
    return table;
}();
bool IsNameChar(unsigned char c) { return kNameChars[c]; }

// Bytes of character data that need a look of their own; the rest are copied as they are.
constexpr std::array<bool, 128> kTextSpecial = [] {
    std::array<bool, 128> table{};
    for (int c = 0; c < 0x20; ++c) table[c] = c != '\t' && c != '\n';
    for (char c : {'<', '&', '\r', ']', '>'}) table[static_cast<unsigned char>(c)] = true;
    return table;
}();
bool IsXmlChar(std::uint32_t cp) {
    return cp == 0x09 || cp == 0x0A || cp == 0x0D || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// Names are short: comparing them inline beats a call to memcmp.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

void AppendCode(std::string& out, std::uint16_t code) {
    if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
}

// What a piece of text is made of, as the parser sees it (Unicode characters).
struct TTextInfo {
    bool Blank = true;  // only space, TAB, CR and LF: the parser drops such a text
    bool Ascii = true;
};

class TScanner {
public:
    // `countOnly` keeps of each card only whether it is owned.
    explicit TScanner(std::string_view text, bool countOnly = false)
        : m_p(text.data()),
          m_end(text.data() + text.size()),
          m_table(cp932::TReadBackTable::Get()),
          m_countOnly(countOnly) {}

    bool Read(const std::function<void(TCardInfo&&)>& visit);

    // The pieces of Read, for a text read a card at a time. Each either fails or ends at the ">"
    // that closes what it read, so one that succeeds on the beginning of a text gives the same on
    // the whole text.
    // The declaration and the root's start tag; `empty` when the root is "<name/>".
    bool Prologue(std::string_view& root, bool& empty);
    // The blank text before the next card or the root's end tag, and that card or tag.
    enum class TStep { Failed, Card, RootEnd };
    TStep Next(std::string_view root, TCardInfo& card);
    // Only white space up to the end.
    bool OnlySpaceLeft() {
        SkipSpace();
        return m_p == m_end;
    }
    std::size_t Consumed(const char* start) const { return static_cast<std::size_t>(m_p - start); }

private:
    unsigned char At(std::ptrdiff_t offset = 0) const {
        return static_cast<unsigned char>(m_p[offset]);
    }
    bool Has(std::ptrdiff_t n) const { return m_end - m_p >= n; }
    bool Skip(std::string_view s) {
        if (!Has(static_cast<std::ptrdiff_t>(s.size())) ||
            std::memcmp(m_p, s.data(), s.size()) != 0)
            return false;
        m_p += s.size();
        return true;
    }
    bool Skip(char c) {
        if (m_p == m_end || *m_p != c) return false;
        ++m_p;
        return true;
    }
    bool SkipSpace() {
        const char* start = m_p;
        while (m_p < m_end && IsSpace(At())) ++m_p;
        return m_p != start;
    }
    bool Eq() {
        SkipSpace();
        if (!Skip('=')) return false;
        SkipSpace();
        return true;
    }

    std::optional<std::string_view> Name();
    std::optional<std::string_view> QuotedPseudoValue();
    bool Declaration();
    bool Attributes(bool& empty);
    bool AttributeValue();
    bool Character(std::string* out, TTextInfo& info);
    bool Reference(std::string* out, TTextInfo& info);
    bool Text(std::string* out, TTextInfo& info);
    bool EndTag(std::string_view name);
    bool Card(TCardInfo& card);

    const char* m_p;
    const char* m_end;
    const cp932::TReadBackTable& m_table;
    bool m_countOnly;
    cp932::Utf8ToCp932Lossy m_encoder;  // for references to characters above ASCII
    std::string m_field;
};

std::optional<std::string_view> TScanner::Name() {
    const char* start = m_p;
    if (m_p == m_end || !IsNameStart(At())) return std::nullopt;
    while (m_p < m_end && IsNameChar(At())) ++m_p;
    if (m_p < m_end && (At() == ':' || At() >= 0x80)) return std::nullopt;
    if (m_p - start > kMaxNameBytes) return std::nullopt;
    return std::string_view(start, static_cast<std::size_t>(m_p - start));
}

std::optional<std::string_view> TScanner::QuotedPseudoValue() {
    if (m_p == m_end || (At() != '"' && At() != '\'')) return std::nullopt;
    char quote = *m_p++;
    const char* start = m_p;
    while (m_p < m_end && *m_p != quote && At() < 0x80 && At() != '<') ++m_p;
    if (m_p == m_end || *m_p != quote) return std::nullopt;
    return std::string_view(start, static_cast<std::size_t>(m_p++ - start));
}

// version="1.0", a CP932 label as the encoding, and standalone yes or no: nothing else.
bool TScanner::Declaration() {
    if (!Skip("<?xml") || !SkipSpace() || !Skip("version") || !Eq() || QuotedPseudoValue() != "1.0")
        return false;
    bool space = SkipSpace();
    if (!space || !Skip("encoding") || !Eq()) return false;  // no encoding: UTF-8
    std::optional<std::string_view> label = QuotedPseudoValue();
    if (!label || !IsCp932Label(*label)) return false;
    space = SkipSpace();
    if (Skip("?>")) return true;
    if (!space || !Skip("standalone") || !Eq()) return false;
    std::optional<std::string_view> standalone = QuotedPseudoValue();
    if (standalone != "yes" && standalone != "no") return false;
    SkipSpace();
    return Skip("?>");
}

// After an element's name: its attributes, checked but not kept, up to ">" (empty false) or "/>".
bool TScanner::Attributes(bool& empty) {
    if (Skip('>')) {  // the usual case: no attributes
        empty = false;
        return true;
    }
    const char* start = m_p;
    std::array<std::string_view, 16> names;
    std::size_t count = 0;
    for (;;) {
        bool space = SkipSpace();
        if (Skip('>')) {
            empty = false;
            return true;
        }
        if (Skip("/>")) {
            empty = true;
            return true;
        }
        std::optional<std::string_view> name = Name();
        if (!space || !name || name->starts_with("xmlns") || count == names.size()) return false;
        for (std::size_t i = 0; i < count; ++i)
            if (names[i] == *name) return false;
        names[count++] = *name;
        if (!Eq() || !AttributeValue() || m_p - start > kMaxTagBytes) return false;
    }
}

bool TScanner::AttributeValue() {
    if (m_p == m_end || (At() != '"' && At() != '\'')) return false;
    char quote = *m_p++;
    TTextInfo info;
    while (m_p < m_end && *m_p != quote) {
        if (At() == '<') return false;
        if (At() == '&' ? !Reference(nullptr, info) : !Character(nullptr, info)) return false;
    }
    if (m_p == m_end) return false;
    ++m_p;
    return true;
}

// One character other than markup; CR LF and a lone CR give LF.
bool TScanner::Character(std::string* out, TTextInfo& info) {
    unsigned char c = At();
    if (c < 0x80) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        if (!IsSpace(c)) info.Blank = false;
        if (c == '\r') {
            c = '\n';
            if (Has(2) && At(1) == '\n') ++m_p;
        }
        if (out) out->push_back(static_cast<char>(c));
        ++m_p;
        return true;
    }
    info.Blank = false;
    info.Ascii = false;
    std::uint16_t code;
    if (cp932::IsLeadByte(c)) {
        if (!Has(2)) return false;
        code = m_table.Double(c, At(1));
        if (code != 0 && out) AppendCode(*out, code);
        m_p += 2;
    } else {
        code = m_table.Single(c);
        if (code != 0 && out) AppendCode(*out, code);
        ++m_p;
    }
    return code != 0;
}

// A character reference or one of the five predefined entities; any other entity is undefined.
bool TScanner::Reference(std::string* out, TTextInfo& info) {
    ++m_p;  // &
    std::uint32_t cp = 0;
    if (Skip('#')) {
        bool hex = Skip('x');
        int digits = 0;
        for (; m_p < m_end && *m_p != ';'; ++m_p, ++digits) {
            unsigned char c = At();
            std::uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
                digit = (c | 0x20) - 'a' + 10;
            else
                return false;
            cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + digit, 0x110000);
        }
        if (m_p == m_end || digits == 0 || !IsXmlChar(cp)) return false;
        ++m_p;
    } else {
        std::optional<std::string_view> name = Name();
        if (!name || !Skip(';')) return false;
        if (*name == "lt")
            cp = '<';
        else if (*name == "gt")
            cp = '>';
        else if (*name == "amp")
            cp = '&';
        else if (*name == "quot")
            cp = '"';
        else if (*name == "apos")
            cp = '\'';
        else
            return false;
    }
    if (cp >= 0x80) {
        info.Blank = false;
        info.Ascii = false;
        if (out) out->append(m_encoder.Convert(cp932::Utf8Of(cp)));
        return true;
    }
    if (!IsSpace(static_cast<unsigned char>(cp))) info.Blank = false;
    if (out) out->push_back(static_cast<char>(cp));
    return true;
}

// Character data up to the next "<" (or the end), appended to `out` when given.
bool TScanner::Text(std::string* out, TTextInfo& info) {
    const char* start = m_p;
    const char* run = m_p;  // bytes from here on are given back as they are
    int brackets = 0;
    auto flush = [&] {
        if (out) out->append(run, static_cast<std::size_t>(m_p - run));
    };
    while (m_p < m_end) {
        unsigned char c = At();
        if (c >= 0x80) {
            brackets = 0;
            info.Blank = false;
            info.Ascii = false;
            // Most characters come back under their own code: step over them.
            if (cp932::IsLeadByte(c)) {
                if (Has(2) && m_table.Double(c, At(1)) == (c << 8 | At(1))) {
                    m_p += 2;
                    continue;
                }
            } else if (m_table.Single(c) == c) {
                ++m_p;
                continue;
            }
            flush();
            if (!Character(out, info)) return false;
            run = m_p;
            continue;
        }
        if (!kTextSpecial[c]) {
            if (c != ' ' && c != '\t' && c != '\n') info.Blank = false;
            brackets = 0;
            ++m_p;
            continue;
        }
        if (c == '<') break;
        if (c == '&' || c == '\r') {
            flush();
            if (c == '&' ? !Reference(out, info) : !Character(out, info)) return false;
            run = m_p;
            brackets = 0;
            continue;
        }
        if (c == ']') {
            ++brackets;
        } else {
            if (c == '>' && brackets >= 2) return false;  // "]]>" may not stand in text
            brackets = 0;
        }
        if (c < 0x20 && c != '\t' && c != '\n') return false;
        if (c != ' ' && c != '\t' && c != '\n') info.Blank = false;
        ++m_p;
    }
    flush();
    return m_p - start <= kMaxTextBytes;
}

// At "</": the end tag of the element of that name.
bool TScanner::EndTag(std::string_view name) {
    m_p += 2;
    std::optional<std::string_view> end = Name();
    if (!end || !SameName(*end, name)) return false;
    SkipSpace();
    return Skip('>');
}

// After a card's "<": the card element. Each field is its first child element of that name; the
// fields hold text only (anything else is left to the parser, which reports it).
bool TScanner::Card(TCardInfo& card) {
    std::optional<std::string_view> name = Name();
    bool empty = false;
    if (!name || !Attributes(empty)) return false;
    if (empty) {
        ReadExtraFields(card, {}, {}, {});
        return true;
    }
    std::array<bool, kFieldNames.size()> seen{};
    std::array<std::string, 3> extras;  // count, want, acquired: read once the owned mark is known
    for (;;) {
        TTextInfo beside;  // text beside the fields is never read
        if (!Text(nullptr, beside) || !Has(2)) return false;
        if (At(1) == '/') {
            ReadExtraFields(card, extras[0], extras[1], extras[2]);
            return EndTag(*name);
        }
        ++m_p;
        std::optional<std::string_view> child = Name();
        bool childEmpty = false;
        if (!child || !Attributes(childEmpty)) return false;
        int field = -1;
        for (std::size_t i = 0; i < kFieldNames.size(); ++i)
            if (!seen[i] && SameName(kFieldNames[i], *child)) field = static_cast<int>(i);
        if (field >= 0) seen[static_cast<std::size_t>(field)] = true;
        if (childEmpty) continue;
        // Counting keeps the owned mark and the copies only.
        if (m_countOnly && field != kExist && field != kCount) field = -1;

        m_field.clear();
        TTextInfo info;
        if (!Text(field >= 0 ? &m_field : nullptr, info) || !Has(2) || At(1) != '/' ||
            !EndTag(*child))
            return false;
        if (field < 0 || info.Blank) continue;
        switch (field) {
            case kNumber:
                card.Number = ConvertFieldText(m_field, TConvertDirection::Unescape);
                break;
            case kTitle:
                card.Title = ConvertFieldText(m_field, TConvertDirection::Unescape);
                break;
            case kFront:
                card.FrontImageFileName = m_field;
                break;
            case kBack:
                card.BackImageFileName = m_field;
                break;
            case kExist:
                // Compared as Unicode text: the one character U+0059.
                card.Owned = info.Ascii && m_field == "Y";
                break;
            case kComment:
                card.Comment = ConvertFieldText(m_field, TConvertDirection::Unescape);
                break;
            default:
                extras[static_cast<std::size_t>(field - kCount)] = m_field;
                break;
        }
    }
}

bool TScanner::Prologue(std::string_view& root, bool& empty) {
    if (!m_table.Usable() || !Declaration()) return false;
    SkipSpace();
    if (!Skip('<')) return false;
    std::optional<std::string_view> name = Name();
    if (!name || !Attributes(empty)) return false;
    root = *name;
    return true;
}

TScanner::TStep TScanner::Next(std::string_view root, TCardInfo& card) {
    TTextInfo between;
    if (!Text(nullptr, between) || !between.Blank || !Has(2)) return TStep::Failed;
    if (At(1) == '/') return EndTag(root) ? TStep::RootEnd : TStep::Failed;
    ++m_p;
    return Card(card) ? TStep::Card : TStep::Failed;
}

bool TScanner::Read(const std::function<void(TCardInfo&&)>& visit) {
    std::string_view root;
    bool empty = false;
    if (!Prologue(root, empty)) return false;
    while (!empty) {
        TCardInfo card;
        const TStep step = Next(root, card);
        if (step == TStep::Failed) return false;
        if (step == TStep::RootEnd) break;
        visit(std::move(card));
    }
    return OnlySpaceLeft();
}

}  // namespace

namespace {

// A large card list is read in two halves at once, split after a card's end tag near the middle:
// markup cannot hold a raw "<", so the tag found is one. Below this size a second thread costs
// more than it saves.
constexpr std::size_t kSplitAbove = std::size_t{4} << 20;

// The array of a large card list is tens of megabytes, touched once as it is filled.
void ReserveCards(TCardInfos& cards, std::size_t count) {
    cards.reserve(count);
    AdviseHugePages(cards.data(), cards.capacity() * sizeof(TCardInfo));
}

std::size_t SplitPoint(std::string_view text) {
    constexpr std::string_view kEnd = "</carditem>";
    const std::size_t at = text.find(kEnd, text.size() / 2);
    return at == std::string_view::npos ? at : at + kEnd.size();
}

// Gives back to the system the pages of a text that a reader has passed, a few megabytes at a
// time: the cards hold copies of what they took, so a large card list is never held whole beside
// all its cards. Only for a buffer the caller gives up.
class TTextRelease {
public:
    TTextRelease(std::string_view text, bool enabled) : m_text(text), m_enabled(enabled) {}
    // [from, to) of the text has been read; `from` stays where the reader started.
    void Passed(std::size_t from, std::size_t to) {
        if (!m_enabled || to - std::max(from, m_done) < kStep) return;
        Release(std::max(from, m_done), to);
        m_done = to;
    }

private:
    static constexpr std::size_t kStep = std::size_t{4} << 20;
    void Release(std::size_t from, std::size_t to) const {
        const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const std::uintptr_t start =
            (reinterpret_cast<std::uintptr_t>(m_text.data()) + from + page - 1) / page * page;
        const std::uintptr_t end =
            (reinterpret_cast<std::uintptr_t>(m_text.data()) + to) / page * page;
        if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
    }
    std::string_view m_text;
    bool m_enabled;
    std::size_t m_done = 0;
};

// The cards of the text from `from` to the end or, for the first half, to `to`, appended to
// `cards`, as many as the census counted; false when they do not read as the whole text's reader
// would read them there.
bool ReadHalf(std::string_view text, std::size_t from, std::size_t to, TScanner& scanner,
              std::string_view root, TCardInfos& cards, std::size_t count, TTextRelease release) {
    const char* start = text.data() + from;
    const std::size_t size = to - from;
    for (std::size_t read = 0;; ++read) {
        if (to != text.size() && scanner.Consumed(start) == size) return read == count;
        TCardInfo card;
        const TScanner::TStep step = scanner.Next(root, card);
        if (step == TScanner::TStep::Failed) return false;
        if (step == TScanner::TStep::RootEnd)
            return to == text.size() && read == count && scanner.OnlySpaceLeft();
        if (read == count) return false;
        cards.push_back(std::move(card));
        release.Passed(from, from + scanner.Consumed(start));
    }
}

// The census of the text before `split` and of the text from it, taken at once.
std::pair<TTagCensus, TTagCensus> TakeCensusInHalves(std::string_view text, std::size_t split) {
    TTagCensus first, second;
    {
        std::jthread other([&] { second = TakeTagCensus(text.substr(split), false); });
        first = TakeTagCensus(text.substr(0, split));
    }
    return {first, second};
}

// The text up to its first NUL, where it ends, and its census: of two halves taken at once when
// the text is large, split after a card's end tag near the middle (npos: one census, in First).
struct TPlannedCensus {
    std::string_view Text;
    std::size_t Split = std::string_view::npos;
    TTagCensus First, Second;
    bool MarkupDeclarations() const {
        return First.MarkupDeclarations || Second.MarkupDeclarations;
    }
};

TPlannedCensus PlanCensus(std::string_view text) {
    constexpr std::size_t npos = std::string_view::npos;
    if (text.size() > kSplitAbove) {
        if (const std::size_t split = SplitPoint(text); split != npos) {
            const auto [first, second] = TakeCensusInHalves(text, split);
            // A NUL, which no card list holds, ends the text: counted again up to it.
            if (first.Nul != npos) return PlanCensus(text.substr(0, first.Nul));
            if (second.Nul != npos) return PlanCensus(text.substr(0, split + second.Nul));
            return {text, split, first, second};
        }
    }
    TPlannedCensus plan{text, npos, TakeTagCensus(text), {}};
    if (plan.First.Nul != npos) plan.Text = text.substr(0, plan.First.Nul);
    return plan;
}

// Two halves at once, split after a card's end tag near the middle, each as many cards as the
// census counted: the same cards, or the same refusal, as one reader over the whole text.
bool ReadInHalves(const TPlannedCensus& plan, TCardInfos& cards, bool releaseText) {
    const std::string_view text = plan.Text;
    const std::size_t split = plan.Split;
    const std::string_view first = text.substr(0, split), second = text.substr(split);
    const TTagCensus &firstCensus = plan.First, &secondCensus = plan.Second;
    TScanner scanner(first);
    std::string_view root;
    bool empty = false;
    if (!scanner.Prologue(root, empty) || empty) return false;
    const std::size_t prologue = scanner.Consumed(first.data());
    // Each half appends to an array of its own, so that the arrays grow as the text is given
    // back rather than being made whole beside it; the second is moved after the first at the end.
    ReserveCards(cards, firstCensus.CardItems + secondCensus.CardItems);
    TCardInfos rest;
    ReserveCards(rest, secondCensus.CardItems);
    bool secondRead = false, firstRead = false;
    std::exception_ptr failure;
    {
        std::jthread other([&] {
            try {
                TScanner restScanner(second);
                secondRead = ReadHalf(text, split, text.size(), restScanner, root, rest,
                                      secondCensus.CardItems, TTextRelease(text, releaseText));
            } catch (...) {
                failure = std::current_exception();
            }
        });
        firstRead = ReadHalf(text, prologue, split, scanner, root, cards, firstCensus.CardItems,
                             TTextRelease(text, releaseText));
    }
    if (failure) std::rethrow_exception(failure);
    if (!firstRead || !secondRead) return false;
    cards.insert(cards.end(), std::make_move_iterator(rest.begin()),
                 std::make_move_iterator(rest.end()));
    return true;
}

}  // namespace

bool ReadCardListFast(std::string_view text, const std::function<void(TCardInfo&&)>& visit) {
    const TTagCensus census = TakeTagCensus(text);
    return !census.MarkupDeclarations && TScanner(text.substr(0, census.Nul)).Read(visit);
}

bool ReadCardListFast(std::string_view text, TCardInfos& cards, bool releaseText) {
    cards.clear();
    const TPlannedCensus plan = PlanCensus(text);
    if (plan.MarkupDeclarations()) return false;
    bool read = false;
    if (plan.Split != std::string_view::npos) {
        read = ReadInHalves(plan, cards, releaseText);
    } else {
        ReserveCards(cards, plan.First.CardItems);
        read = TScanner(plan.Text).Read(
            [&cards](TCardInfo&& card) { cards.push_back(std::move(card)); });
    }
    if (!read) cards.clear();
    return read;
}

std::size_t CountCardItemTags(std::string_view text) { return TakeTagCensus(text).CardItems; }

std::optional<TCardListPreview> PreviewCardList(std::string_view text, std::size_t firstCount) {
    const TPlannedCensus plan = PlanCensus(text);
    if (plan.MarkupDeclarations()) return std::nullopt;
    TCardListPreview preview;
    preview.Cards = plan.First.CardItems + plan.Second.CardItems;
    preview.Owned = plan.First.OwnedMarks + plan.Second.OwnedMarks;
    TScanner scanner(plan.Text);
    std::string_view root;
    bool empty = false;
    if (!scanner.Prologue(root, empty)) return std::nullopt;
    const std::size_t count = empty ? 0 : std::min(firstCount, preview.Cards);
    preview.First.reserve(count);
    while (preview.First.size() < count) {
        TCardInfo card;
        if (scanner.Next(root, card) != TScanner::TStep::Card) return std::nullopt;
        preview.First.push_back(std::move(card));
    }
    return preview;
}

// ---------------------------------------------------------------------------------------------
// Counting a text handed in pieces

namespace {
// The bytes already read are dropped from the buffer's front once they are this many, so that it
// stays near the size of a piece without moving bytes for every card.
constexpr std::size_t kCompactAt = 1 << 16;
}  // namespace

bool TCardListFastCounter::Feed(std::string_view piece) {
    if (m_stage == TStage::Declined || m_ended) return false;
    if (const std::size_t nul = piece.find('\0'); nul != std::string_view::npos) {
        piece = piece.substr(0, nul);  // the text ends at its first NUL
        m_ended = true;
    }
    if (!TakeCensus(piece)) {
        m_stage = TStage::Declined;
        return false;
    }
    if (m_consumed >= kCompactAt) {
        m_buffer.erase(0, m_consumed);
        m_consumed = 0;
    }
    m_buffer.append(piece);
    Advance();
    return m_stage != TStage::Declined && !m_ended;
}

bool TCardListFastCounter::Finish() {
    m_ended = true;
    m_retryAt = 0;
    Advance();
    return m_stage == TStage::Done;
}

// A "<!" or "<?" after the text's first byte, also across pieces: see TakeTagCensus.
bool TCardListFastCounter::TakeCensus(std::string_view piece) {
    for (char c : piece) {
        if (m_previous == '<' && (c == '!' || c == '?') && m_offset > 1) return false;
        m_previous = c;
        ++m_offset;
    }
    return true;
}

void TCardListFastCounter::Advance() {
    for (;;) {
        const std::size_t pending = m_buffer.size() - m_consumed;
        if (m_stage == TStage::Done || m_stage == TStage::Declined) return;
        // A step cut by the end of the buffer is tried again once it has twice the bytes, so that
        // a long card is not scanned once for every piece.
        if (!m_ended && pending < m_retryAt) return;
        const char* start = m_buffer.data() + m_consumed;
        TScanner scanner(std::string_view(start, pending), true);
        bool done = false;
        if (m_stage == TStage::Prologue) {
            std::string_view root;
            bool empty = false;
            done = scanner.Prologue(root, empty);
            if (done) {
                m_root.assign(root);
                m_stage = empty ? TStage::Epilogue : TStage::Cards;
            }
        } else if (m_stage == TStage::Cards) {
            TCardInfo card;
            const TScanner::TStep step = scanner.Next(m_root, card);
            done = step != TScanner::TStep::Failed;
            if (step == TScanner::TStep::Card) {
                ++m_total;
                if (card.Owned) ++m_owned;
                m_copies += static_cast<std::size_t>(::Copies(card));
            } else if (step == TScanner::TStep::RootEnd) {
                m_stage = TStage::Epilogue;
            }
        } else {
            if (!scanner.OnlySpaceLeft()) {
                m_stage = TStage::Declined;
                return;
            }
            m_consumed = m_buffer.size();
            if (m_ended) m_stage = TStage::Done;
            return;
        }
        if (done) {
            m_consumed += scanner.Consumed(start);
            m_retryAt = 0;
            continue;
        }
        if (m_ended) {
            m_stage = TStage::Declined;
            return;
        }
        m_retryAt = 2 * pending;
        return;
    }
}
