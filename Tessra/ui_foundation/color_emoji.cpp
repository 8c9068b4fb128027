#include "Tessra/ui_foundation/color_emoji.h"

#include <unicode/uchar.h>

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>

namespace tessra {

namespace {

// "emoji" is fontconfig's name for the desktop's chosen colour emoji font.
const QStringList& emojiFamilies() {
  static const QStringList families{QStringLiteral("emoji"), QStringLiteral("Noto Color Emoji")};
  return families;
}

// The runs of `text` that are emoji, set in the colour emoji font.
QList<QTextLayout::FormatRange> emojiRuns(const QString& text) {
  QList<QTextLayout::FormatRange> runs;
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  qsizetype start = 0;
  for (qsizetype end = graphemes.toNextBoundary(); end != -1; end = graphemes.toNextBoundary()) {
    if (isEmojiPresentation(QStringView(text).sliced(start, end - start))) {
      if (!runs.isEmpty() && runs.back().start + runs.back().length == start) {
        runs.back().length += static_cast<int>(end - start);
      } else {
        QTextLayout::FormatRange run;
        run.start = static_cast<int>(start);
        run.length = static_cast<int>(end - start);
        run.format.setFontFamilies(emojiFamilies());
        runs.append(run);
      }
    }
    start = end;
  }
  return runs;
}

void layOutLine(QTextLayout& layout, const QString& text) {
  layout.clearLayout();
  layout.setText(text);
  layout.setFormats(emojiRuns(text));
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
}

}  // namespace

QFont colorEmojiFont(QFont base) {
  base.setFamilies(emojiFamilies() + base.families());
  return base;
}

bool isEmojiPresentation(QStringView grapheme) {
  const QList<uint> scalars = grapheme.toUcs4();
  if (scalars.isEmpty()) return false;
  if (u_hasBinaryProperty(static_cast<UChar32>(scalars.front()), UCHAR_EMOJI_PRESENTATION))
    return true;
  return std::ranges::find(scalars, 0xFE0Fu) != scalars.end();
}

void drawColorEmojiText(QPainter& painter, const QRectF& rect, Qt::Alignment alignment,
                        const QString& text, Qt::TextElideMode elide) {
  QTextLayout layout(QString(), painter.font(), painter.device());
  layOutLine(layout, text);
  // The colour glyphs are wider than the text font's metrics think: ask for less until it fits.
  const QFontMetricsF metrics(painter.font());
  qreal budget = rect.width();
  while (elide != Qt::ElideNone && layout.lineAt(0).naturalTextWidth() > rect.width() &&
         budget > 0) {
    layOutLine(layout, metrics.elidedText(text, elide, budget));
    budget -= metrics.averageCharWidth();
  }
  const QTextLine line = layout.lineAt(0);
  const qreal width = line.naturalTextWidth();
  qreal x = rect.left();
  if (alignment & Qt::AlignHCenter) x += (rect.width() - width) / 2;
  if (alignment & Qt::AlignRight) x += rect.width() - width;
  const qreal y = rect.top() + (rect.height() - line.height()) / 2;
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  layout.draw(&painter, QPointF(x, y));
  painter.restore();
}

}  // namespace tessra
