// Holds the keys typed at the program's windows while what they are meant for is not ready for
// them yet: a panel or a list of its own that takes the keyboard a moment after it shows, a window
// the window manager has yet to activate, a field that takes the keyboard once its bar has
// appeared, an answer the program waits for before it knows what comes next. People type on at
// once: without the hold, those keys reach whatever had the keyboard before (the prompt), where
// Return sends them.
//
//   auto* panel = new Panel;
//   platform::holdKeysFor(panel);  // what is typed until the panel has the keyboard is the panel's
//   panel->show();
//
//   platform::HeldKeys held;  // what is typed from now on waits...
//   ...                       // ...until the program knows where it belongs
//   held.giveTo(*view);
//
// A key that sets off a shortcut waits like any other and is given as a key: it sets off what it
// sets off where it is given. So keys and shortcuts typed at once act in the order typed, as if
// typed slowly. Holds made while another holds take the keys first, and the keys another gives
// pass through them, so they follow one another in order. Nothing is held while a menu or another
// popup is open: it has the keyboard, whatever was asked for behind it.
//
// GUI thread only.
#pragma once

#include <memory>

class QWidget;

namespace tessra::platform {

class HeldKeys {
 public:
  // Holds what is typed at any of the program's windows from now on.
  HeldKeys();
  // Drops what is held, unless it was given.
  ~HeldKeys();
  HeldKeys(HeldKeys&&) noexcept;
  HeldKeys& operator=(HeldKeys&&) noexcept;

  // Stops holding, and gives what was held to `target`'s window, in order, as if typed there now,
  // for as long as `target` is shown: a key that closes it takes the rest along, typed for it.
  void giveTo(const QWidget& target);

 private:
  class Filter;
  std::unique_ptr<Filter> m_filter;
};

// Holds the keys for `target` until it has the keyboard, then gives them to it: a window has the
// keyboard once it is the program's focus window, a widget inside one once it has the focus. Drops
// them when `target` goes (hidden or destroyed) first, or has not taken the keyboard within a few
// seconds (a window manager that keeps the focus where it is). Nothing is held when it has the
// keyboard already.
void holdKeysFor(QWidget* target);

}  // namespace tessra::platform
