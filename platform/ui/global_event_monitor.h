// Watches mouse-button presses anywhere on the X display, in any program's window.
//
//   GlobalEventMonitor monitor(GlobalEventMonitor::leftMouseDown,
//                              [](const GlobalMouseEvent& e) { ... e.globalPosition ... });
//   monitor.start();  // stop() or destruction ends it
//
// It selects XInput 2 raw button presses on the root window over an X connection of its own, so
// it sees presses that go to other programs' windows and those that set off another client's
// button grab (not those made while another client holds the pointer: a press that closes an open
// menu closes only the menu); it never grabs or changes anything. Presses in the program's own
// windows are reported as well: the handler decides what they mean. Scroll-wheel "buttons" are
// never reported.
//
// A raw press carries no position, and the GUI thread may be busy for a while before it handles
// one (a long answer being laid out): by then the pointer can be anywhere. So a thread of the
// monitor's own reads the presses and asks the server where the pointer is as each one arrives,
// and the handler gets the press with that position and the time it was taken.
//
// The connections and their reader are made at the first start and kept until the monitor goes, so
// that starting again (the panel shows many times) costs no round trip to the server. An X server
// without XInput 2.1 cannot be watched: `start()` logs it and the monitor stays stopped. GUI
// thread only (but for its reader); the handler runs on the GUI thread from the event loop.
//
// Running, it can also keep the keyboard in a window that has just taken it
// (`keepKeyboardIn`): the reader sees what the user does and the focus leaving that window in the
// order they happened, and takes the keyboard back at once, however busy the GUI thread is.
#pragma once

#include <QObject>
#include <QPoint>

#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/unique_fd.h"

class QWindow;

namespace tessra::platform {

class X11Connection;

struct GlobalMouseEvent {
  Qt::MouseButton button = Qt::NoButton;
  // Where the press happened, in Qt's global coordinates.
  QPoint globalPosition;
  // When it happened, however much later the handler runs.
  std::chrono::steady_clock::time_point time;
  // The X server's time of it, to stamp what the program asks of the server because of it.
  std::uint32_t serverTime = 0;
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

  // For `moment` from now, when the X input focus leaves `window` (about to take the keyboard, or
  // just having taken it) for a window that is not the program's, takes it back, unless the user
  // sent it there: pressed a mouse button anywhere, or a key that another client grabbed (a
  // window manager's switch keys, which move the focus from the window for that grab first), or
  // Super (Meta) alone, pressed while no other key is held and let go before another is pressed
  // (a desktop opens its menu on it, read without a grab), or moved the pointer off the window it
  // was over onto the one that has it now (where the focus follows the mouse). Shift, Alt or Caps
  // Lock alone, Super tapped while Shift, Ctrl or the shortcut's own Alt is held, or the pointer
  // moved inside its window send it nowhere. Other clients hand the keyboard on as what the
  // user's last key set off settles (a window manager gives it to the next window of its list
  // when a popup that the key closed goes), and a request made a moment after the window's wins
  // over it. Until `stop` or `stopKeepingKeyboard`; a running monitor only.
  void keepKeyboardIn(QWindow* window, std::chrono::milliseconds moment);
  // From now on the focus goes where anyone sends it: before the window gives the keyboard away.
  void stopKeepingKeyboard();

 private:
  // A press as the reader saw it: the pointer's position in device pixels of the root window.
  struct Press {
    Qt::MouseButton button;
    QPoint rootPosition;
    std::chrono::steady_clock::time_point time;
    std::uint32_t serverTime;
  };
  // The window whose keyboard is kept, the program's own X windows (those of Qt's connection),
  // until when, where the pointer was then, the keys that type Super or Meta and the keys held.
  struct KeptKeyboard {
    std::uint32_t window = 0;
    std::uint32_t ownIdBase = 0;
    std::uint32_t ownIdMask = 0;
    std::chrono::steady_clock::time_point until;
    std::optional<std::pair<int, int>> pointer;
    std::bitset<256> menuKeys;
    std::bitset<256> held;
    // A menu key pressed while no other key was held, until another key is pressed.
    std::optional<std::uint8_t> menuKeyAlone;
  };

  bool connectToServer();
  // Selects the raw input the monitor needs now: presses while it runs, keys while it keeps the
  // keyboard. Under m_keptMutex.
  void selectInput();
  // Stops keeping the keyboard; under m_keptMutex.
  void endKeeping();
  // The reader thread: waits for the presses of the mask and takes each one's position at once.
  void read();
  // The reader thread: what the keeping connection has heard, in the order it happened.
  void readKeeping();
  // The reader thread: how long the keyboard is still kept, in milliseconds, -1 when it is not
  // (and ends the keeping whose moment is over).
  int keptFor();
  // The reader thread: the focus left `window`, with that mode and detail.
  void focusLeft(std::uint32_t window, std::uint8_t mode, std::uint8_t detail);
  // The reader thread: a key went down or up.
  void keyChanged(std::uint8_t keycode, bool down);
  // The reader thread: whether the user has moved the pointer from `start`, where it was as the
  // keeping began, off the window there onto the window `focus`: a window manager whose focus
  // follows the mouse gives that one the keyboard.
  bool pointerMovedOnto(std::uint32_t focus, std::optional<std::pair<int, int>> start);
  // Whether the keyboard of `window` is kept now; under m_keptMutex.
  bool keeps(std::uint32_t window) const;
  // On the GUI thread, in the order they came.
  void report(const std::vector<Press>& presses);
  void connectionBroke();

  const unsigned m_mask;
  Handler m_handler;
  // Shared with the reader (xcb connections may be used from several threads): one for the
  // presses, one for keeping the keyboard (connectToServer says why two).
  std::unique_ptr<X11Connection> m_connection;
  std::unique_ptr<X11Connection> m_keeping;
  std::uint8_t m_inputOpcode = 0;
  // Wakes the reader: to end it once m_ending is set, else to wait for the end of a keeping.
  UniqueFd m_wake;
  std::atomic<bool> m_ending = false;
  std::thread m_reader;
  // Written by the GUI thread under m_keptMutex; read there, and by the reader under the mutex.
  bool m_running = false;
  // Written by the GUI thread, read and ended by the reader; the reader holds the mutex while it
  // sends the focus back, so none goes out once the GUI thread has stopped keeping it.
  std::mutex m_keptMutex;
  std::optional<KeptKeyboard> m_kept;
  std::uint32_t m_selected = 0;
  std::uint32_t m_keepingSelected = 0;
};

}  // namespace tessra::platform
