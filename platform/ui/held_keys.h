// Holds the keys typed at one of the program's windows for a moment, while what they are meant for
// is not ready for them yet: a field that takes the keyboard a moment after its bar shows, a
// window the window manager has yet to activate. People type on at once; without the hold those
// keys reach whatever had the keyboard before (the prompt), and Return sends them.
//
//   platform::HeldKeys held(panel->windowHandle());  // from now on, the panel's keys wait
//   searchField->setFocus();
//   held.deliver();  // they reach the panel in order, as if typed now: the field gets them
//
// Presses and releases are held; shortcuts are not, since Qt matches them before a key reaches a
// window, so Escape and the commands still act at once. Keys held when the hold is destroyed
// without delivering them are dropped. GUI thread only.
#pragma once

#include <QPointer>
#include <QWindow>

#include <memory>
#include <vector>

class QKeyEvent;

namespace tessra::platform {

class LocalEventMonitor;

class HeldKeys {
 public:
  explicit HeldKeys(QWindow* window);
  ~HeldKeys();
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;

  // Stops holding and sends what was held to the window, in order, through the program's event
  // filters as any key typed now.
  void deliver();

 private:
  QPointer<QWindow> m_window;
  std::vector<std::unique_ptr<QKeyEvent>> m_keys;
  std::unique_ptr<LocalEventMonitor> m_monitor;
};

// Drops the keys that reach the window that has the keyboard now (a panel of ours) until `window`,
// just asked to be shown and activated, is active, goes, or has not become active in a few
// seconds (a window manager that keeps the focus where it is). The keys typed at once after the
// key or click that opened the window are the window's, which a window manager activates only a
// moment later; they must not reach the window it opened from.
void dropKeysUntilActive(QWindow* window);

}  // namespace tessra::platform
