// The side button: a small pill at the edge of the screen the user works on (the one the panel
// opens on) that opens the panel with one click. It stands 28 of its 64 pixels beyond the screen's
// left edge when the panel comes from the left, else beyond the right edge, vertically centred.
//
// The pill is dim until the pointer is over it; its icon keeps away from the part beyond the
// edge and follows the position setting at once. It never takes the keyboard. GUI thread only.
#pragma once

#include <QAbstractButton>

#include "Tessra/storage/settings_enums.h"
#include "platform/ui/overlay_window.h"

class QScreen;

namespace tessra {

// The pill itself; a click on it is the button's `clicked()`.
class CallToActionView final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CallToActionView(QWidget* parent = nullptr);

  bool isHovered() const { return m_hover; }
  QSize sizeHint() const override;
  PopupPosition windowPosition() const { return m_windowPosition; }

 signals:
  void hoverChanged(bool hover);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void setHover(bool hover);

  bool m_hover = false;
  PopupPosition m_windowPosition;
};

class SideButtonWindow final : public platform::OverlayWindow {
  Q_OBJECT

 public:
  static constexpr int kWidth = 64;
  static constexpr int kHeight = 36;
  // How much of the width lies beyond the screen's edge.
  static constexpr int kBeyondEdge = 28;

  explicit SideButtonWindow(QWidget* parent = nullptr);

  CallToActionView* view() const { return m_view; }

  // The frame on `screen`, else on the main screen (platform/ui/screens.h), for the current
  // position setting; an empty rectangle without any screen.
  static QRect overlayButtonFrame(QScreen* screen = nullptr);

 signals:
  // The user clicked the pill: the owner opens the panel.
  void clicked();

 private:
  CallToActionView* m_view;
};

}  // namespace tessra
