#pragma once

// The fonts of the secondary windows. They were laid out for an 8 pt bitmap sans serif
// (11 pixels high) and a bold 10 pt one (13 pixels). Where that face is missing, the platform's
// sans serif of the same pixel size stands in, narrowed a little because the usual stand-ins run
// wider and the texts must still fit their controls.

#include <QFont>
#include <QFontInfo>

enum class FontWeight { Normal, Bold };

inline QFont formFont(int pixelSize, FontWeight weight = FontWeight::Normal) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(weight == FontWeight::Bold);
    if (!QFontInfo(font).exactMatch())
        font.setStretch(QFont::SemiCondensed);
    return font;
}

/// Window flags of a fixed dialog whose caption offers only the close button.
inline Qt::WindowFlags closeOnlyDialogFlags() {
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
}
