// The screens of the display (each monitor one): their frames, their work areas (the frame
// without the desktop's panels), the one the user works on and the one under the pointer, with one
// signal for any change among them, which comes once Qt has dealt with the change.
//
//   QScreen* main = Screens::mainScreen();               // nullptr without a screen
//   QScreen* screen = Screens::screenWithMouse();        // nullptr when the pointer is off all
//   const QRect area = Screens::workArea(screen);
//   connect(&Screens::shared(), &Screens::parametersChanged, ...);
//
// The main screen is the one the user works on: the one holding the program's window that has the
// keyboard (the floating panel, which the window manager does not count as active), else the one
// holding the window manager's active window, else the one under the pointer. Never simply the
// primary one, which may be a monitor the user is not looking at.
//
// The work area is the one the window manager publishes or, where it publishes none as tiling
// managers do, the frame less the struts of the desktop's docks (work_area.h).
//
// Coordinates are Qt's global ones: origin at the top left of the virtual desktop, y growing
// downwards, in logical pixels. GUI thread only.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QRect>
#include <QTimer>

class QScreen;

namespace tessra::platform {

class Screens final : public QObject, private QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  // Created on first use (after the application), kept until the program ends.
  static Screens& shared();

  // The screen the user works on, else the primary one; nullptr while no output has a mode (all
  // switched off).
  static QScreen* mainScreen();
  // `screen`'s frame less the desktop's panels.
  static QRect workArea(const QScreen* screen);
  // The first screen whose frame holds the pointer, or nullptr.
  static QScreen* screenWithMouse();
  // The screen under the pointer, else the main screen, else nullptr.
  static QScreen* screenWithMouseOrMain();
  // A point of the root window in device pixels (as the X server gives it) in Qt's global
  // coordinates.
  static QPoint fromRootPixels(const QPoint& point);
  // And back: a point in Qt's global coordinates in device pixels of the root window.
  static QPoint toRootPixels(const QPoint& point);

 signals:
  // A screen came or went, or one changed its frame or work area (a dock came or went). Comes on
  // the next turn of the event loop, once for changes that come together.
  void parametersChanged();

 private:
  explicit Screens(QObject* parent = nullptr);
  void watch(QScreen* screen);
  void deliverChangeLater();
  // Watches for the root window's configuration change, on which Qt reads the monitors anew.
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  // Gives each screen the frame Qt's platform layer has for it, which Qt may have kept to itself.
  void takeFramesFromPlatform();

  QTimer m_delivery;
};

}  // namespace tessra::platform
