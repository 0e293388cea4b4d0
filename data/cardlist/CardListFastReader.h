#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cardlist/Common.h"

// The card list reader's fast path for files declared Shift_JIS (or by another name of code page
// 932): the CP932 bytes are read as they are, without decoding to Unicode and back. It reads what
// the writer and hand-editing produce and declines everything else (a DOCTYPE, comments, CDATA,
// processing instructions, another encoding, bytes that are not CP932, any doubt about
// well-formedness), which the general parser then reads and reports as before.

// Reads the text (the file's bytes: it ends at its first NUL) into `cards`, giving exactly the cards the
// parser gives. False, with `cards` empty, when the parser must read the text.
// releaseText: the caller gives the text's buffer up (a large text's pages are given back to the
// system as they are read, so it reads as zeros after a read that succeeded or failed).
bool ReadCardListFast(std::string_view text, TCardInfos& cards, bool releaseText = false);

// The same, handing each card to `visit` in file order. False when the parser must read the text;
// the cards visited until then are to be discarded.
bool ReadCardListFast(std::string_view text, const std::function<void(TCardInfo&&)>& visit);

// The number of "<carditem>" tags: the card count of a file the writer made, for reserving.
std::size_t CountCardItemTags(std::string_view text);

// What a window needs to show a large card list before all its cards are read: how many cards
// there are, how many are owned, and the first of them, as the whole read is expected to give
// them. Only the whole read (ReadCardListFast, or the parser after it) says what the file holds.
struct TCardListPreview {
    std::size_t Cards = 0;
    std::size_t Owned = 0;
    TCardInfos First;  // the first cards, at most as many as asked for
};
// A look at the text (ending at its first NUL) costing one pass over it and the first cards;
// nullopt where the fast path would decline it.
std::optional<TCardListPreview> PreviewCardList(std::string_view text, std::size_t firstCount);

// Counts the cards of a text handed in pieces, by the same rules as ReadCardListFast, holding no
// more than the card being read and one piece, and building no card.
class TCardListFastCounter {
public:
    // The next piece of the text; false when no more are needed (the parser must read the text,
    // or it ended at a NUL).
    bool Feed(std::string_view piece);
    // After the last piece: false when the parser must read the text; the counts are then void.
    bool Finish();

    std::size_t Total() const { return m_total; }
    std::size_t Owned() const { return m_owned; }
    std::size_t Copies() const { return m_copies; }

private:
    enum class TStage { Prologue, Cards, Epilogue, Done, Declined };
    bool TakeCensus(std::string_view piece);
    void Advance();

    std::string m_buffer;  // the bytes not yet read, from m_consumed on
    std::size_t m_consumed = 0;
    std::size_t m_retryAt = 0;
    std::uint64_t m_offset = 0;  // bytes seen, for the census
    char m_previous = 0;
    bool m_ended = false;
    TStage m_stage = TStage::Prologue;
    std::string m_root;
    std::size_t m_total = 0;
    std::size_t m_owned = 0;
    std::size_t m_copies = 0;
};
