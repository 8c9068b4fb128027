// A window of its own with the floating panels' look, for the settings window and the detached
// answer window: a normal window with a title bar that the window manager manages.
//
//   auto* window = new FloatingPanelView(QRect(0, 0, 624, 512), true, true);
//   window->setContent(screen);
//   window->setCloseAutomatically(false);
//   window->present();  // counted in the taskbar, in front, focused, centred in its work area
//
// With `showDockIcon`, the window counts itself in the taskbar policy when it is presented and
// out once when it closes, so the program shows in the taskbar while it is open. With
// `closeAutomatically` (on by default) it closes when another window becomes active.
//
// GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

namespace tessra {

class FloatingPanelView : public QWidget {
  Q_OBJECT

 public:
  FloatingPanelView(const QRect& contentRect, bool showDockIcon, bool resizable = false,
                    QWidget* parent = nullptr);
  ~FloatingPanelView() override;

  // The window's content fills it; the window owns it.
  void setContent(QWidget* content);
  QWidget* content() const { return m_content; }

  bool showDockIcon() const { return m_showDockIcon; }
  bool closeAutomatically() const { return m_closeAutomatically; }
  void setCloseAutomatically(bool close) { m_closeAutomatically = close; }

  // Counts the window in the taskbar (with `showDockIcon`), shows it in front with the keyboard
  // and, with `center`, centres it in the work area of its screen.
  void present(bool center = true);

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void countOut();

  bool m_showDockIcon;
  bool m_closeAutomatically = true;
  bool m_counted = false;
  bool m_wasActive = false;
  QPointer<QWidget> m_content;
};

}  // namespace tessra
