// The ring around the control that has the keyboard. The program's controls are drawn flat and
// show no focus of their own, so a keyboard user would not see where Tab went: once the keyboard
// has moved by a key (Tab, Shift+Tab, a shortcut), the control that holds it is outlined, in
// whichever window of the program, until a click or the program moves the keyboard again.
//
//   FocusRing::install();  // once, after the QApplication is made
//
// The ring is drawn by a child of the focused control's window, above the window's other widgets
// and transparent for the mouse; it follows the control as the control or its parents move or
// resize. It reads why the keyboard moved from the focus events, through a filter on the
// application. GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace tessra {

class FocusRing final : public QObject {
  Q_OBJECT

 public:
  static constexpr int kWidth = 2;
  // How far the ring stands outside the control.
  static constexpr int kOffset = 2;

  // Starts the program's ring, owned by the application; a second call changes nothing.
  static void install();
  // The program's ring, null before `install`.
  static FocusRing* current();

  // The control the ring is drawn around now, null while it shows none.
  QWidget* target() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit FocusRing(QObject* parent);
  void follow(QWidget* focus, Qt::FocusReason reason);
  void place();

  QPointer<QWidget> m_target;
  // The widget that draws the ring, a child of the target's window.
  QPointer<QWidget> m_ring;
};

}  // namespace tessra
