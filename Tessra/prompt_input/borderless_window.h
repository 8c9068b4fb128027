// A borderless pop-up window that stands in a fixed relation to an anchor widget and may reach
// beyond the anchor's own window, like the command list on the top edge of the prompt box.
//
//   auto* popup = new BorderlessWindow(anchor, content,
//   BorderlessWindowBehavior::applicationDefined,
//                                      {0.5, 0}, {0.5, 1});   // its bottom centre on anchor's top
//   popup->setShown(true);
//
// The window is override-redirect (no window manager decoration or placement), stays above the
// anchor's window, and never takes the keyboard focus, so typing goes on in the anchor. Hiding
// fades out over 0.1 s where a compositor draws translucency; showing is immediate. The window
// follows the anchor when it, its window or a widget between them moves or resizes. It is owned
// by the anchor.
// GUI thread only.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class QPropertyAnimation;

namespace tessra {

enum class BorderlessWindowBehavior {
  // Only the owner hides it.
  applicationDefined,
  // Any press outside it hides it.
  transient,
  // A press outside it hides it, unless it is in the anchor's window.
  semitransient,
};

class BorderlessWindow : public QWidget {
  Q_OBJECT

 public:
  // `anchorPoint` and `windowAnchor` are unit points (0..1, y downwards) of the anchor and of
  // this window; the second is put on the first, then moved by `offset` (y downwards).
  BorderlessWindow(QWidget* anchor, QWidget* content, BorderlessWindowBehavior behavior,
                   QPointF anchorPoint, QPointF windowAnchor, QPoint offset = {});
  ~BorderlessWindow() override;

  bool isShown() const { return m_shown; }
  void setShown(bool shown);

  QWidget* content() const { return m_content; }
  // Places the window by the rule above; runs by itself when the anchor moves.
  void place();

 signals:
  // An outside press hid it.
  void shownChanged(bool shown);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void watchAnchorWindow();
  void finishHiding();

  QPointer<QWidget> m_anchor;
  QWidget* m_content;
  BorderlessWindowBehavior m_behavior;
  QPointF m_anchorPoint;
  QPointF m_windowAnchor;
  QPoint m_offset;
  bool m_shown = false;
  QPointer<QWidget> m_watchedWindow;
  QPropertyAnimation* m_fade;
};

}  // namespace tessra
