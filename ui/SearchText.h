#pragma once

#include <QString>

// The form in which the filter compares texts: letter case, and full-width against half-width
// letters, digits and katakana (half-width katakana with their sound marks become the one
// full-width character), do not matter.
QString NormalizeForSearch(const QString& text);
