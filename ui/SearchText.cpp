#include "SearchText.h"

QString NormalizeForSearch(const QString& text) {
    // Compatibility composition maps full-width ASCII to ASCII and half-width katakana to
    // full-width, joining a following half-width sound mark into the voiced letter.
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}
