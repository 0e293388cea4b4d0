#pragma once

#include <QFont>
#include <QString>

// Every window of the program is drawn in this family; the entry maps it to a font that exists.
inline QString UiFontFamily() { return QString::fromUtf8("ＭＳ Ｐゴシック"); }

inline QFont UiFont(int pixelSize, bool bold = false) {
    QFont font(UiFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
