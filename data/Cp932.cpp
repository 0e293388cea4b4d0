#include "Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

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

struct Utf8ToCp932Lossy::Impl {
    IconvHandle cd = OpenIconv("CP932", "UTF-8");
};

Utf8ToCp932Lossy::Utf8ToCp932Lossy() : m_impl(std::make_unique<Impl>()) {}
Utf8ToCp932Lossy::~Utf8ToCp932Lossy() = default;

std::string Utf8ToCp932Lossy::Convert(std::string_view utf8) {
    bool ascii = true;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return std::string(utf8);
    return *Run(static_cast<iconv_t>(m_impl->cd.get()), utf8, OnInvalid::Replace, "?",
                Utf8SequenceLength);
}

}  // namespace cp932
