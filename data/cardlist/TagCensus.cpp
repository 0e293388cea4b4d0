#include "cardlist/TagCensus.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::string_view kTag = "<carditem>";
constexpr std::string_view kOwned = "<exist>Y</exist>";

// A "<" at `p`, with at least one byte after it.
void Count(const char* p, const char* end, TTagCensus& census) {
    const std::size_t left = static_cast<std::size_t>(end - p);
    if (p[1] == '!' || p[1] == '?')
        census.MarkupDeclarations = true;
    else if (p[1] == 'c' && left >= kTag.size() && std::memcmp(p, kTag.data(), kTag.size()) == 0)
        ++census.CardItems;
    else if (p[1] == 'e' && left >= kOwned.size() &&
             std::memcmp(p, kOwned.data(), kOwned.size()) == 0)
        ++census.OwnedMarks;
}

#if defined(__SSE2__)
// Sixteen bytes at a time, stopping only at a "<" followed by a byte Count looks for: a card
// has sixteen tags, and stopping at each of them took twice as long.
const char* CountBlocks(const char* begin, const char* p, const char* end, TTagCensus& census) {
    const __m128i open = _mm_set1_epi8('<'), nul = _mm_setzero_si128();
    const __m128i c = _mm_set1_epi8('c'), e = _mm_set1_epi8('e');
    const __m128i bang = _mm_set1_epi8('!'), question = _mm_set1_epi8('?');
    for (; end - p > 16; p += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i wanted =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(next, c), _mm_cmpeq_epi8(next, e)),
                         _mm_or_si128(_mm_cmpeq_epi8(next, bang), _mm_cmpeq_epi8(next, question)));
        unsigned hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, open), wanted)));
        const unsigned nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, nul)));
        if (nuls != 0) hits &= (1u << __builtin_ctz(nuls)) - 1;
        for (; hits != 0; hits &= hits - 1) Count(p + __builtin_ctz(hits), end, census);
        if (nuls != 0) {
            census.Nul =
                static_cast<std::size_t>(p - begin) + static_cast<unsigned>(__builtin_ctz(nuls));
            return end;
        }
    }
    return p;
}
#endif

}  // namespace

TTagCensus TakeTagCensus(std::string_view text, bool whole) {
    TTagCensus census;
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* p = begin + (text.empty() || !whole ? 0 : 1);
    if (whole && !text.empty() && text[0] == '\0') {
        census.Nul = 0;
        return census;
    }
#if defined(__SSE2__)
    p = CountBlocks(begin, p, end, census);
    if (census.Nul != std::string_view::npos) return census;
#endif
    for (; p < end; ++p) {
        if (*p == '\0') {
            census.Nul = static_cast<std::size_t>(p - begin);
            break;
        }
        if (*p == '<' && end - p >= 2) Count(p, end, census);
    }
    return census;
}
