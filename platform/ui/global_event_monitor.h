// Watches mouse-button presses anywhere on the X display, in any program's window.
//
//   GlobalEventMonitor monitor(GlobalEventMonitor::leftMouseDown,
//                              [](const GlobalMouseEvent& e) { ... e.globalPosition ... });
//   monitor.start();  // stop() or destruction ends it
//
// It selects XInput 2 raw button presses on the root window over an X connection of its own, so
// it sees presses that go to other programs' windows and that another client has grabbed; it
// never grabs or changes anything. Presses in the program's own windows are reported as well:
// the handler decides what they mean. Scroll-wheel "buttons" are never reported.
//
// An X server without XInput 2.0 cannot be watched: `start()` logs it and the monitor stays
// stopped. GUI thread only; the handler runs on the GUI thread from the event loop.
#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tessra::platform {

class X11Connection;

struct GlobalMouseEvent {
  Qt::MouseButton button = Qt::NoButton;
  // Where the pointer is as the press is handled, in Qt's global coordinates.
  QPoint globalPosition;
};

class GlobalEventMonitor final : public QObject {
  Q_OBJECT

 public:
  enum Mask : unsigned {
    leftMouseDown = 1u << 0,
    rightMouseDown = 1u << 1,
    otherMouseDown = 1u << 2,
  };
  using Handler = std::function<void(const GlobalMouseEvent&)>;

  // Stores both; nothing is watched until `start()`.
  GlobalEventMonitor(unsigned mask, Handler handler, QObject* parent = nullptr);
  ~GlobalEventMonitor() override;

  // Starts watching; a running monitor stays as it is. False (logged) when the X server cannot
  // be watched.
  bool start();
  // Stops watching; a stopped monitor stays as it is.
  void stop();
  bool isRunning() const { return m_connection != nullptr; }

 private:
  void readEvents();

  unsigned m_mask;
  Handler m_handler;
  std::unique_ptr<X11Connection> m_connection;
  std::unique_ptr<QSocketNotifier> m_notifier;
  std::uint8_t m_inputOpcode = 0;
};

}  // namespace tessra::platform
