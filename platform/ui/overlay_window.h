// A window the program places itself above everything else: the floating panel and the side
// button.
//
// The window manager does not manage it (X11 override-redirect): no frame, no taskbar entry, no
// move by the manager, and it shows on every workspace because it belongs to none. Nobody gives
// such a window the keyboard, so it takes the input focus itself when it is shown and when it is
// pressed anywhere, on any of its widgets, and hands it back as it goes (`KeyboardKeeper`).
// Dialogs opened while it is on screen stand above it (platform/ui/overlay_dialogs.h). Corners
// are rounded with a window shape, which needs no compositor.
//
//   auto* window = new OverlayWindow;
//   window->setRoundedCorners(16, OverlayWindow::topLeft | OverlayWindow::bottomLeft);
//   window->setGeometry(frame);
//   window->showAndFocus();
//
// GUI thread only.
#pragma once

#include <QRegion>
#include <QWidget>

namespace tessra::platform {

class OverlayWindow : public QWidget {
  Q_OBJECT

 public:
  enum Corner : unsigned { topLeft = 1, topRight = 2, bottomLeft = 4, bottomRight = 8 };
  static constexpr unsigned kAllCorners = topLeft | topRight | bottomLeft | bottomRight;

  explicit OverlayWindow(QWidget* parent = nullptr);

  // Rounds the given corners (a mask of `Corner`) with `radius`; 0 makes the window square.
  void setRoundedCorners(int radius, unsigned corners = kAllCorners);
  int cornerRadius() const { return m_radius; }

  // Whether a press anywhere inside takes the input focus (on by default; the side button keeps
  // it off, so that clicking it leaves the focus where it was).
  void setTakesFocusOnPress(bool takes);
  // Whether showing takes the input focus (on by default).
  void setTakesFocusOnShow(bool takes);

  // Shows the window on top and gives it the input focus.
  void showAndFocus();
  // Gives the shown window the input focus now (`platform::giveKeyboard`).
  void takeInputFocus();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void updateShape();
  void applyShape();
  // Hands the focus settings to the window's `KeyboardKeeper` once the window exists.
  void updateKeeper();

  QRegion m_shape;
  int m_radius = 0;
  unsigned m_corners = kAllCorners;
  bool m_takesFocusOnPress = true;
  bool m_takesFocusOnShow = true;
};

}  // namespace tessra::platform
