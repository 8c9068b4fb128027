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
// A raw press carries no position, and the GUI thread may be busy for a while before it handles
// one (a long answer being laid out): by then the pointer can be anywhere. So a thread of the
// monitor's own reads the presses and asks the server where the pointer is as each one arrives,
// and the handler gets the press with that position and the time it was taken.
//
// The connection and its reader are made at the first start and kept until the monitor goes, so
// that starting again (the panel shows many times) costs no round trip to the server. An X server
// without XInput 2.0 cannot be watched: `start()` logs it and the monitor stays stopped. GUI
// thread only (but for its reader); the handler runs on the GUI thread from the event loop.
#pragma once

#include <QObject>
#include <QPoint>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/foundation/unique_fd.h"

namespace tessra::platform {

class X11Connection;

struct GlobalMouseEvent {
  Qt::MouseButton button = Qt::NoButton;
  // Where the press happened, in Qt's global coordinates.
  QPoint globalPosition;
  // When it happened, however much later the handler runs.
  std::chrono::steady_clock::time_point time;
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
  bool isRunning() const { return m_running; }

 private:
  // A press as the reader saw it: the pointer's position in device pixels of the root window.
  struct Press {
    Qt::MouseButton button;
    QPoint rootPosition;
    std::chrono::steady_clock::time_point time;
  };

  bool connectToServer();
  void select(std::uint32_t mask);
  // The reader thread: waits for the presses of the mask and takes each one's position at once.
  void read();
  // On the GUI thread, in the order they came.
  void report(const std::vector<Press>& presses);
  void connectionBroke();

  const unsigned m_mask;
  Handler m_handler;
  // Shared with the reader (xcb connections may be used from several threads).
  std::unique_ptr<X11Connection> m_connection;
  std::uint8_t m_inputOpcode = 0;
  // Wakes the reader to end it.
  UniqueFd m_wake;
  std::thread m_reader;
  bool m_running = false;
};

}  // namespace tessra::platform
