#include "Tessra/navigation/emoji_palette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

#include "Tessra/ui_foundation/color_emoji.h"
#include "Tessra/ui_foundation/palette.h"
#include "platform/ui/screens.h"

namespace tessra {

namespace {

constexpr int kGlyphPixelSize = 24;

}  // namespace

EmojiPalette::EmojiPalette(QStringList emoji, QWidget* parent)
    : QAbstractScrollArea(parent), m_emoji(std::move(emoji)) {
  setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_DeleteOnClose);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setMouseTracking(true);
  QFont glyphs = font();
  glyphs.setPixelSize(kGlyphPixelSize);
  setFont(colorEmojiFont(glyphs));
  QPalette colors = palette();
  colors.setColor(QPalette::Base, palette::background());
  setPalette(colors);
  verticalScrollBar()->setSingleStep(kCell);
}

QSize EmojiPalette::sizeHint() const {
  const int rows = std::min(rowCount(), kVisibleRows);
  return {kColumns * kCell + verticalScrollBar()->sizeHint().width(), rows * kCell};
}

void EmojiPalette::popUp(QWidget* anchor) {
  resize(sizeHint());
  QPoint origin = anchor->mapToGlobal(QPoint(anchor->width() / 2 - width() / 2, anchor->height()));
  if (const QScreen* screen = anchor->screen()) {
    const QRect area = platform::Screens::workArea(screen);
    origin.setX(std::clamp(origin.x(), area.left(), std::max(area.left(), area.right() - width())));
    if (origin.y() + height() > area.bottom())
      origin.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - height());
  }
  move(origin);
  show();
  setFocus();
}

QRect EmojiPalette::cellRect(int index) const {
  return {(index % kColumns) * kCell, (index / kColumns) * kCell - verticalScrollBar()->value(),
          kCell, kCell};
}

int EmojiPalette::indexAt(const QPoint& point) const {
  if (point.x() < 0 || point.x() >= kColumns * kCell || point.y() < 0) return -1;
  const int index =
      ((point.y() + verticalScrollBar()->value()) / kCell) * kColumns + point.x() / kCell;
  return index < m_emoji.size() ? index : -1;
}

bool EmojiPalette::event(QEvent* event) {
  // While it is open, the popup gets every press, those on other programs' windows too. A popup
  // closes on one outside it in QWidget's own press handler, which a scroll area never calls: it
  // leaves presses to its viewport. Without this, the palette would stay, holding the keyboard.
  if (event->type() == QEvent::MouseButtonPress &&
      !rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
    close();
    return true;
  }
  return QAbstractScrollArea::event(event);
}

void EmojiPalette::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette::background());
  painter.setRenderHint(QPainter::Antialiasing);
  const int top = verticalScrollBar()->value();
  const int firstRow = top / kCell;
  const int lastRow = std::min(rowCount() - 1, (top + viewport()->height()) / kCell);
  for (int row = firstRow; row <= lastRow; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const int index = row * kColumns + column;
      if (index >= m_emoji.size()) break;
      const QRect cell = cellRect(index);
      if (index == m_current) {
        QPainterPath marked;
        marked.addRoundedRect(QRectF(cell).adjusted(2, 2, -2, -2), 6, 6);
        painter.fillPath(marked, palette::selectedRow());
      }
      painter.drawText(cell, Qt::AlignCenter, m_emoji[index]);
    }
  }
}

void EmojiPalette::setCurrent(int index) {
  if (m_emoji.isEmpty()) return;
  index = std::clamp(index, 0, static_cast<int>(m_emoji.size()) - 1);
  if (index == m_current) return;
  m_current = index;
  const QRect cell = cellRect(index);
  QScrollBar* bar = verticalScrollBar();
  if (cell.top() < 0)
    bar->setValue(bar->value() + cell.top());
  else if (cell.bottom() >= viewport()->height())
    bar->setValue(bar->value() + cell.bottom() - viewport()->height() + 1);
  viewport()->update();
}

void EmojiPalette::choose(int index) {
  if (index < 0 || index >= m_emoji.size()) return;
  const QString chosen = m_emoji[index];
  close();
  emit emojiChosen(chosen);
}

void EmojiPalette::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
      setCurrent(m_current - 1);
      break;
    case Qt::Key_Right:
      setCurrent(m_current + 1);
      break;
    case Qt::Key_Up:
      if (m_current >= kColumns) setCurrent(m_current - kColumns);
      break;
    case Qt::Key_Down:
      if (m_current + kColumns < m_emoji.size()) setCurrent(m_current + kColumns);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      choose(m_current);
      break;
    case Qt::Key_Escape:
      close();
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

void EmojiPalette::mouseMoveEvent(QMouseEvent* event) {
  if (const int index = indexAt(event->position().toPoint()); index >= 0) setCurrent(index);
}

void EmojiPalette::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) choose(indexAt(event->position().toPoint()));
}

void EmojiPalette::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  verticalScrollBar()->setPageStep(viewport()->height());
  verticalScrollBar()->setRange(0, std::max(0, rowCount() * kCell - viewport()->height()));
}

}  // namespace tessra
