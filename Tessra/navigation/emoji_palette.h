// The emoji palette the emoji field opens (the desktop has no system character palette): a
// popup grid of emoji below the field. Arrows move the marked cell, Enter or a click chooses it,
// Escape or a press outside it closes it, as a menu closes.
//
//   auto* palette = new EmojiPalette(EmojiTextField::pool(), parent);
//   connect(palette, &EmojiPalette::emojiChosen, field, &QLineEdit::setText);
//   palette->popUp(field);
//
// The grid is painted in one widget, only the visible cells; the popup deletes itself when it
// closes. GUI thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QStringList>

namespace tessra {

class EmojiPalette final : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kColumns = 10;
  static constexpr int kCell = 36;
  static constexpr int kVisibleRows = 7;

  explicit EmojiPalette(QStringList emoji, QWidget* parent = nullptr);

  // Shows the palette below `anchor` (kept on its screen) and gives it the keyboard.
  void popUp(QWidget* anchor);

  int current() const { return m_current; }
  const QStringList& emoji() const { return m_emoji; }
  // The cell of an emoji in viewport coordinates.
  QRect cellRect(int index) const;

  QSize sizeHint() const override;

 signals:
  // Enter or a click chose this emoji; the palette has closed.
  void emojiChosen(const QString& emoji);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int rowCount() const { return (static_cast<int>(m_emoji.size()) + kColumns - 1) / kColumns; }
  int indexAt(const QPoint& point) const;
  void setCurrent(int index);
  void choose(int index);

  QStringList m_emoji;
  int m_current = 0;
};

}  // namespace tessra
