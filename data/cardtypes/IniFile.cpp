#include "cardtypes/IniFile.h"

#include "text/Cp932.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Only single-byte letters fold: the trail byte of a double-byte character may be a letter's
// code and must match exactly.
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        std::size_t n = cp932::CharLength(a, i);
        if (n == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += n;
    }
    return true;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    std::size_t end = 0;
    while (end < line.size() && line[end] != ']') end += cp932::CharLength(line, end);
    return Trim(line.substr(0, end));
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && line.front() == ';';
}

// The key of a "key=value" line, or nullopt for any other line.
std::optional<std::string_view> KeyName(std::string_view line) {
    if (IsComment(line) || SectionName(line)) return std::nullopt;
    std::size_t eq = line.find('=');  // never a trail byte: those are 0x40 and above
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

std::string DecodeValue(std::string_view raw) {
    raw = Trim(raw);
    if (raw.size() >= 2 && IsQuote(raw.front()) && raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    return std::string(raw);
}

// Quotes a value that reading would otherwise change (outer blanks, or enclosing quotes of its
// own), so that whatever is written reads back the same.
std::string EncodeValue(std::string_view value) {
    value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    bool quote = !value.empty() &&
                 (IsBlank(value.front()) || IsBlank(value.back()) ||
                  (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()));
    return quote ? "\"" + std::string(value) + "\"" : std::string(value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Digits only, at least one, within `limit`.
std::optional<std::uint64_t> ParseDigits(std::string_view digits, int base, std::uint64_t limit) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0 || digit >= base) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > limit) return std::nullopt;
    }
    return value;
}

}  // namespace

IniFile::IniFile(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            m_lines.push_back({std::string(text.substr(pos)), {}});
            break;
        }
        std::size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        m_lines.push_back(
            {std::string(text.substr(pos, end - pos)), std::string(text.substr(end, next - end))});
        pos = next;
    }
}

std::optional<IniFile::SectionRange> IniFile::FindSection(std::string_view section) const {
    std::optional<SectionRange> found;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (!SectionName(m_lines[i].content)) continue;
        if (found) {
            found->end = i;
            return found;
        }
        if (EqualsIgnoringCase(*SectionName(m_lines[i].content), section))
            found = SectionRange{i, m_lines.size()};
    }
    return found;
}

std::optional<std::size_t> IniFile::FindKey(const SectionRange& range, std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        auto name = KeyName(m_lines[i].content);
        if (name && EqualsIgnoringCase(*name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::ReadString(std::string_view section,
                                               std::string_view key) const {
    auto range = FindSection(section);
    if (!range) return std::nullopt;
    auto at = FindKey(*range, key);
    if (!at) return std::nullopt;
    const std::string& line = m_lines[*at].content;
    return DecodeValue(std::string_view(line).substr(line.find('=') + 1));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string encoded = EncodeValue(value);
    auto range = FindSection(section);
    if (!range) {
        if (!m_lines.empty() && m_lines.back().ending.empty()) m_lines.back().ending = "\r\n";
        m_lines.push_back({"[" + std::string(section) + "]", "\r\n"});
        m_lines.push_back({std::string(key) + "=" + encoded, "\r\n"});
        return;
    }
    if (auto at = FindKey(*range, key)) {
        // The key as it was spelled, and the blanks around it, stay.
        std::string& content = m_lines[*at].content;
        content.resize(content.find('=') + 1);
        content += encoded;
        return;
    }
    // After the section's last non-blank line, so that blank lines keep separating sections.
    std::size_t at = range->end;
    while (at > range->header + 1 && Trim(m_lines[at - 1].content).empty()) --at;
    if (m_lines[at - 1].ending.empty()) m_lines[at - 1].ending = "\r\n";
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                   Line{std::string(key) + "=" + encoded, "\r\n"});
}

std::string IniFile::Text() const {
    std::string text;
    for (const Line& line : m_lines) text += line.content + line.ending;
    return text;
}

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
    constexpr std::uint64_t kHexLimit = 0xFFFFFFFFu;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        auto value = ParseDigits(text.substr(2), 16, kHexLimit);
        if (!value) return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
    }
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::optional<std::uint64_t> value;
    if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X'))
        value = ParseDigits(text.substr(1), 16, kHexLimit);
    else
        value = ParseDigits(text, 10, negative ? 0x80000000u : 0x7FFFFFFFu);
    if (!value) return std::nullopt;
    // Hexadecimal wraps into the 32-bit range; unsigned arithmetic keeps the wrap defined.
    std::uint32_t bits = static_cast<std::uint32_t>(*value);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}
