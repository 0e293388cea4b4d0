#include "text/Cp932ReadBack.h"

#include <iconv.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "text/Cp932.h"

namespace cp932 {
namespace {

// The one code point iconv decodes the bytes to; nullopt when it rejects them or gives more or
// less than one.
std::optional<std::uint32_t> Decode(iconv_t cd, std::string_view bytes) {
    char out[8];
    char* in = const_cast<char*>(bytes.data());
    char* outPtr = out;
    size_t inLeft = bytes.size(), outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return std::nullopt;
    std::string_view utf8(out, sizeof out - outLeft);
    if (utf8.empty()) return std::nullopt;
    auto c = static_cast<unsigned char>(utf8[0]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || n != utf8.size()) return std::nullopt;
    std::uint32_t cp = n == 1 ? c : c & (0xFF >> (n + 1));
    for (size_t i = 1; i < n; ++i) cp = cp << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    return cp;
}

// XML 1.0 Char, above ASCII.
bool IsXmlChar(std::uint32_t cp) {
    return (cp >= 0x80 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

}  // namespace

std::string Utf8Of(std::uint32_t cp) {
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    std::string s;
    if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    s += static_cast<char>(0x80 | (cp & 0x3F));
    return s;
}

const TReadBackTable& TReadBackTable::Get() {
    static const TReadBackTable table;
    return table;
}

TReadBackTable::TReadBackTable() : m_double(0x10000, 0) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        m_usable = false;
        for (std::atomic<bool>& built : m_built) built.store(true);
        return;
    }
    m_decoder = cd;
    m_encoder = std::make_unique<Utf8ToCp932Lossy>();
    for (unsigned byte = 0; byte < 0x80; ++byte) {
        char c = static_cast<char>(byte);
        if (Decode(cd, std::string_view(&c, 1)) != byte) m_usable = false;
    }
    for (unsigned byte = 0x80; byte < 0x100; ++byte) {
        char c = static_cast<char>(byte);
        if (!IsLeadByte(static_cast<unsigned char>(byte))) m_single[byte] = Code({&c, 1});
    }
}

TReadBackTable::~TReadBackTable() {
    if (m_decoder) iconv_close(static_cast<iconv_t>(m_decoder));
}

// Markup is scanned bytewise, and a character that decodes to ASCII would be markup to the
// parser: such bytes are left to the parser.
std::uint16_t TReadBackTable::Code(std::string_view bytes) const {
    std::optional<std::uint32_t> cp = Decode(static_cast<iconv_t>(m_decoder), bytes);
    if (!cp || !IsXmlChar(*cp)) return 0;
    std::string back = m_encoder->Convert(Utf8Of(*cp));
    if (back.size() == 1) return static_cast<unsigned char>(back[0]);
    if (back.size() == 2)
        return static_cast<std::uint16_t>(static_cast<unsigned char>(back[0]) << 8 |
                                          static_cast<unsigned char>(back[1]));
    return 0;
}

void TReadBackTable::Build(unsigned char lead) const {
    const std::lock_guard<std::mutex> hold(m_building);
    if (m_built[lead].load(std::memory_order_relaxed)) return;
    if (IsLeadByte(lead))
        for (unsigned trail = 0; trail < 0x100; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            m_double[static_cast<std::size_t>(lead) << 8 | trail] = Code({pair, 2});
        }
    m_built[lead].store(true, std::memory_order_release);
}

}  // namespace cp932
