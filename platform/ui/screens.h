// The screens of the display: their frames, their work areas (the frame without the desktop's
// panels) and the one under the pointer, with one signal for any change among them.
//
//   const auto frame = Screens::mainScreenFrame();       // nothing without a screen
//   QScreen* screen = Screens::screenWithMouse();        // nullptr when the pointer is off all
//   const QRect area = Screens::workArea(screen);
//   connect(&Screens::shared(), &Screens::parametersChanged, ...);
//
// The work area is the one the window manager publishes or, where it publishes none as tiling
// managers do, the frame less the struts of the desktop's docks (work_area.h).
//
// Coordinates are Qt's global ones: origin at the top left of the virtual desktop, y growing
// downwards, in logical pixels. The main screen is the primary screen. GUI thread only.
#pragma once

#include <QObject>
#include <QRect>

#include <optional>

class QScreen;

namespace tessra::platform {

class Screens final : public QObject {
  Q_OBJECT

 public:
  // Created on first use (after the application), kept until the program ends.
  static Screens& shared();

  // The primary screen; nullptr while no output has a mode (all switched off).
  static QScreen* mainScreen();
  static std::optional<QRect> mainScreenFrame();
  // The main screen's frame less the desktop's panels.
  static std::optional<QRect> mainScreenWorkArea();
  // `screen`'s frame less the desktop's panels.
  static QRect workArea(const QScreen* screen);
  // The first screen whose frame holds the pointer, or nullptr.
  static QScreen* screenWithMouse();
  // The screen under the pointer, else the main screen, else nullptr.
  static QScreen* screenWithMouseOrMain();

 signals:
  // A screen came or went, or one changed its frame or work area (a dock came or went).
  void parametersChanged();

 private:
  explicit Screens(QObject* parent = nullptr);
  void watch(QScreen* screen);
};

}  // namespace tessra::platform
