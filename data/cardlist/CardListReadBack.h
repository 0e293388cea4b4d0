#pragma once

#include <span>

#include "cardlist/Common.h"

// Whether reading the writer's text for these cards gives them back exactly (no lone CR, control
// or white-space-only text, no escape sequence typed in, every character under its one code).
bool ReadsBackAsWritten(std::span<const TCardInfo> cards);
