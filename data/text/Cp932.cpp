#include "text/Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace cp932 {
namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    return IconvHandle(cd);
}

enum class OnInvalid { Fail, Replace };

// Converts the whole input; on a sequence that cannot be converted either fails or writes
// `replacement` and skips one character of the input (`skip` gives its length).
template <typename Skip>
std::optional<std::string> Run(iconv_t cd, std::string_view input, OnInvalid onInvalid,
                               std::string_view replacement, Skip skip) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t used = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (onInvalid == OnInvalid::Fail) {
            return std::nullopt;
        } else {
            size_t n = std::min(inLeft, skip(std::string_view(in, inLeft)));
            in += n;
            inLeft -= n;
            out.resize(std::max(out.size(), used + replacement.size() + 16));
            out.replace(used, replacement.size(), replacement);
            used += replacement.size();
        }
    }
    out.resize(used);
    return out;
}

size_t Utf8SequenceLength(std::string_view s) {
    unsigned char c = static_cast<unsigned char>(s[0]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    // A broken sequence skips only its first byte.
    for (size_t i = 1; i < n; ++i)
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
    return n;
}

size_t Cp932SequenceLength(std::string_view s) { return CharLength(s, 0); }

}  // namespace

std::optional<std::string> ToUtf8(std::string_view text) {
    IconvHandle cd = OpenIconv("UTF-8", "CP932");
    return Run(static_cast<iconv_t>(cd.get()), text, OnInvalid::Fail, {}, Cp932SequenceLength);
}

std::optional<std::string> FromUtf8(std::string_view text) {
    IconvHandle cd = OpenIconv("CP932", "UTF-8");
    return Run(static_cast<iconv_t>(cd.get()), text, OnInvalid::Fail, {}, Utf8SequenceLength);
}

std::string ToUtf8Lossy(std::string_view text) {
    IconvHandle cd = OpenIconv("UTF-8", "CP932");
    return *Run(static_cast<iconv_t>(cd.get()), text, OnInvalid::Replace, "\xEF\xBF\xBD",
                Cp932SequenceLength);
}

namespace {

// Every BMP code point's CP932 bytes as iconv gives them (0 = none), built once: converting
// field by field through iconv would dominate reading a large card list.
// The CP932 code of each BMP code point (0: none), asked of iconv a block of 256 code points at
// a time, the first time one of them is converted: a process converts a few dozen blocks, not all
// 65,536 code points.
class TEncodeTable {
public:
    TEncodeTable() : m_codes(0x10000, 0), m_handle(OpenIconv("CP932", "UTF-8")) {}
    std::uint16_t Code(std::uint32_t cp) const {
        const std::size_t block = cp >> 8;
        if (!m_built[block].load(std::memory_order_acquire)) Build(block);
        return m_codes[cp];
    }

private:
    void Build(std::size_t block) const {
        const std::lock_guard<std::mutex> hold(m_building);
        if (m_built[block].load(std::memory_order_relaxed)) return;
        iconv_t cd = static_cast<iconv_t>(m_handle.get());
        for (std::uint32_t cp =
                 std::max<std::uint32_t>(0x80, static_cast<std::uint32_t>(block << 8));
             cp < ((block + 1) << 8); ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            char in[3];
            size_t inLength = cp < 0x800 ? 2 : 3;
            if (inLength == 2) {
                in[0] = static_cast<char>(0xC0 | (cp >> 6));
                in[1] = static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                in[0] = static_cast<char>(0xE0 | (cp >> 12));
                in[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                in[2] = static_cast<char>(0x80 | (cp & 0x3F));
            }
            char out[4];
            char* inPtr = in;
            char* outPtr = out;
            size_t inLeft = inLength, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) continue;
            size_t n = sizeof out - outLeft;
            auto b0 = static_cast<unsigned char>(out[0]);
            auto b1 = static_cast<unsigned char>(out[1]);
            if (n == 1)
                m_codes[cp] = b0;
            else if (n == 2)
                m_codes[cp] = static_cast<std::uint16_t>(b0 << 8 | b1);
        }
        m_built[block].store(true, std::memory_order_release);
    }

    mutable std::vector<std::uint16_t> m_codes;
    mutable std::array<std::atomic<bool>, 256> m_built{};
    mutable std::mutex m_building;  // also guards the iconv handle
    IconvHandle m_handle;
};

const TEncodeTable& EncodeTable() {
    static const TEncodeTable table;
    return table;
}

// Decodes one UTF-8 sequence at pos; returns its length and the code point (0xFFFFFFFF when
// broken).
size_t DecodeUtf8(std::string_view s, size_t pos, std::uint32_t& cp) {
    size_t n = Utf8SequenceLength(s.substr(pos));
    auto c = static_cast<unsigned char>(s[pos]);
    if (n == 1) {
        cp = c < 0x80 ? c : 0xFFFFFFFF;
        return 1;
    }
    cp = c & (0xFF >> (n + 1));
    for (size_t i = 1; i < n; ++i) cp = cp << 6 | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    return n;
}

}  // namespace

struct Utf8ToCp932Lossy::Impl {
    const TEncodeTable& table = EncodeTable();
};

Utf8ToCp932Lossy::Utf8ToCp932Lossy() : m_impl(std::make_unique<Impl>()) {}
Utf8ToCp932Lossy::~Utf8ToCp932Lossy() = default;

std::string Utf8ToCp932Lossy::Convert(std::string_view utf8) {
    bool ascii = std::all_of(utf8.begin(), utf8.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        std::uint32_t cp = 0;
        pos += DecodeUtf8(utf8, pos, cp);
        std::uint16_t code = cp < 0x80      ? static_cast<std::uint16_t>(cp)
                             : cp < 0x10000 ? m_impl->table.Code(cp)
                                            : 0;
        if (cp != 0 && code == 0) {
            out.push_back('?');
        } else if (code > 0xFF) {
            out.push_back(static_cast<char>(code >> 8));
            out.push_back(static_cast<char>(code & 0xFF));
        } else {
            out.push_back(static_cast<char>(code));
        }
    }
    return out;
}

}  // namespace cp932
