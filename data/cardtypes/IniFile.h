#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An INI text ("[section]" lines, then "key=value" lines), kept line by line so that writing a
// key changes that key's line alone and every other byte of the text stays as it was. Section
// and key names match without regard to ASCII letter case; texts are CP932 bytes.
class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::string_view text);

    // The value of the first such key in the first such section, blanks around it removed and
    // one pair of enclosing quotes (" or ') dropped. nullopt when the key is missing.
    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;

    // Replaces the value of the key read by ReadString, or adds the key at the end of its
    // section, or the section with the key at the end of the text. New lines end in CR LF. A
    // value is one line: anything from its first CR, LF or NUL on is dropped.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;

private:
    struct Line {
        std::string content;
        std::string ending;  // "\r\n", "\n", "\r" or empty for a last line without one
    };
    // A section: the index of its header line and the index just past its last line.
    struct SectionRange {
        std::size_t header;
        std::size_t end;
    };
    std::optional<SectionRange> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const SectionRange& range, std::string_view key) const;

    std::vector<Line> m_lines;
};

// A profile value read as an integer: decimal with leading blanks and a sign; hexadecimal after
// "$", "x" or "X", or after "0x"/"0X" when the text is longer than two characters. nullopt for
// anything else (empty, words, trailing characters, beyond 32 bits).
std::optional<std::int32_t> ParseIniInteger(std::string_view text);
