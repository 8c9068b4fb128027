// Emoji drawn in colour in the program's own widgets, as the message page draws them.
//
// Qt 6.4 draws each character with the first font that has a glyph for it, and the desktop's
// sans-serif font (DejaVu Sans) has monochrome outlines of many emoji: smileys, "⚙", "⚠", "☕".
// So emoji that Unicode shows as pictures are drawn with the colour emoji font instead: a
// widget that shows only emoji takes that font, a line of text takes it for its emoji alone
// (digits, "#" and "©" of the colour font are no text glyphs).
//
//   field->setFont(colorEmojiFont(field->font()));
//   drawColorEmojiText(painter, rect, Qt::AlignLeft, QStringLiteral("😀 Groceries"));
//
// GUI thread only.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QStringView>

class QPainter;

namespace tessra {

// `base` with the colour emoji font first, at `base`'s size and weight.
QFont colorEmojiFont(QFont base);

// Whether a user-perceived character is shown as a picture: its first code point has the
// default emoji presentation, or a variation selector U+FE0F asks for it.
bool isEmojiPresentation(QStringView grapheme);

// Draws `text` on one line in `rect`, vertically centred and placed by the horizontal part of
// `alignment`, with the painter's font and pen and its emoji in colour; elided with `elide` when
// it is wider than `rect`.
void drawColorEmojiText(QPainter& painter, const QRectF& rect, Qt::Alignment alignment,
                        const QString& text, Qt::TextElideMode elide = Qt::ElideRight);

}  // namespace tessra
