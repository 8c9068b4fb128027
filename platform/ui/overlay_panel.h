// A window that floats above the program's other overlay windows (the floating chat panel among
// them) and takes the keyboard itself, for the small panels a chat window opens over itself.
//
//   auto* panel = new OverlayPanel;
//   connect(panel, &OverlayPanel::focusLeft, panel, &QWidget::close);
//   panel->present(QRect(100, 100, 340, 400));
//
// On X11 it is an override-redirect window like the chat panel: no window manager places,
// decorates or focuses it, so it is placed by its owner, stacked above the windows mapped before
// it, and given the X input focus explicitly when it is shown and when it is pressed. When it is
// hidden while it holds the keyboard (Escape, its content closing it), the keyboard goes back to
// the window it took it from. Once it has had the focus, it reports the moment the focus goes to
// a window that is not its own (another program's, or another window of this program); windows it
// opens itself (menus, popups, dialogs) stay its own.
//
// GUI thread only.
#pragma once

#include <QWidget>

class QWindow;

namespace tessra::platform {

class OverlayPanel : public QWidget {
  Q_OBJECT

 public:
  explicit OverlayPanel(QWidget* parent = nullptr);

  // Places the panel at `geometry` (screen pixels), shows it above every other window of the
  // program and gives it the keyboard focus.
  void present(const QRect& geometry);
  // Rounds the panel's corners; without a compositor the shape is cut out of the window.
  void setCornerRadius(int radius);
  int cornerRadius() const { return m_cornerRadius; }
  // True once the panel has held the keyboard focus since it was last shown.
  bool hadFocus() const { return m_hadFocus; }

 signals:
  // The keyboard focus went from this panel to a window outside it.
  void focusLeft();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void onFocusWindowChanged(QWindow* window);
  void updateMask();

  int m_cornerRadius = 0;
  bool m_hadFocus = false;
};

}  // namespace tessra::platform
