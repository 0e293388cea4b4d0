#pragma once

#include <string>
#include <string_view>

// The form in which the list filter compares CP932 texts, so that letter case and the width of
// letters, digits and katakana do not matter: full-width ASCII letters, digits, punctuation and
// space become ASCII, ASCII letters lower case, and half-width katakana full-width (a following
// half-width sound mark joins the letter into its voiced form, as ｶﾞ becomes ガ).
std::string SearchForm(std::string_view cp932);

// Whether `text` holds `needle` at a character boundary (both in search form): a match never
// starts on the trail byte of a double-byte character.
bool ContainsSearchForm(std::string_view text, std::string_view needle);
