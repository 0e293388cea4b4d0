#pragma once

#include <cstddef>
#include <string_view>

// One pass over a card list's text before the fast reader reads it: what it holds, counted
// without reading a card.
struct TTagCensus {
    std::size_t CardItems = 0;
    // Owned marks as the writer writes them: a count to show before the cards are read.
    std::size_t OwnedMarks = 0;
    // A "<!" or "<?" after the first byte: a comment, CDATA, a DOCTYPE or a processing
    // instruction, all left to the parser. Knowing it before reading spares reading twice.
    bool MarkupDeclarations = false;
    // The offset of the first NUL, where the text ends and the census stopped; npos without one.
    std::size_t Nul = std::string_view::npos;
};

// `whole`: the text from its start, whose first byte opens the declaration.
TTagCensus TakeTagCensus(std::string_view text, bool whole = true);
