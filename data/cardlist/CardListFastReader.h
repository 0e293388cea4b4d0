#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "cardlist/Common.h"

// The card list reader's fast path for files declared Shift_JIS (or by another name of code page
// 932): the CP932 bytes are read as they are, without decoding to Unicode and back. It reads what
// the writer and hand-editing produce and declines everything else (a DOCTYPE, comments, CDATA,
// processing instructions, another encoding, bytes that are not CP932, any doubt about
// well-formedness), which the general parser then reads and reports as before.

// Reads the text (the file's bytes up to its first NUL) into `cards`, giving exactly the cards the
// parser gives. False, with `cards` empty, when the parser must read the text.
bool ReadCardListFast(std::string_view text, TCardInfos& cards);

// The same, handing each card to `visit` in file order. False when the parser must read the text;
// the cards visited until then are to be discarded.
bool ReadCardListFast(std::string_view text, const std::function<void(TCardInfo&&)>& visit);

// The number of "<carditem>" tags: the card count of a file the writer made, for reserving.
std::size_t CountCardItemTags(std::string_view text);
