// What the shell's window tests share: private settings and caches for each test process, real
// input through xdotool, and a window of another X client to click on.
#pragma once

#include <QPoint>
#include <QRect>
#include <QStringList>

#include <xcb/xcb.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "platform/ui/x11_connection.h"

namespace tessra::testing {

// Runs xdotool with the arguments and waits for it; false when it failed.
bool xdotool(const QStringList& arguments);
// Presses the left button at `point` (global coordinates), as the user would.
bool clickAt(const QPoint& point);

// Waits (running events) until `condition` holds, at most `timeout`.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A mapped window of a client that is not the program, like another application's window.
class ForeignWindow {
 public:
  explicit ForeignWindow(const QRect& frame);
  ~ForeignWindow();
  ForeignWindow(const ForeignWindow&) = delete;
  ForeignWindow& operator=(const ForeignWindow&) = delete;

  QPoint center() const { return m_frame.center(); }
  // Takes the keyboard, as the window the user works in has it.
  void takeKeyboard();
  // Whether it has the keyboard now.
  bool hasKeyboard();

 private:
  platform::X11Connection m_x;
  xcb_window_t m_window = 0;
  QRect m_frame;
};

// Collects the texts posted as "focusOnPromptInput" {"inputedTextKey": ...}, and how many
// attachments were posted.
class PromptInputRecorder {
 public:
  PromptInputRecorder();
  std::vector<std::string> texts;
  int attachments = 0;

 private:
  platform::NotificationCenter::ObserverToken m_token;
};

}  // namespace tessra::testing
