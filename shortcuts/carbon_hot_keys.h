// The hot-key layer between the registry and the X server: one numbered registration per
// shortcut, press and release delivered back as the shortcut.
//
// Registrations are numbered from 1; every attempt draws a number, a refused one too. The
// registry tells the layer how to take the keys (`updateEventHandler`): by grabs; while a menu of
// the program holds the keyboard, by matching the key events the application receives instead,
// swallowing the matches and letting every other key reach the menu; or, while hot keys are
// disabled or paused, not at all.
//
// GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "shortcuts/shortcut.h"

namespace tessra::shortcuts {

class CarbonHotKeys {
 public:
  using Callback = std::function<void(const Shortcut&)>;

  // How the layer takes the registered keys.
  enum class Mode {
    grabbing,
    // A menu holds the keyboard: nothing is grabbed, the application's key events are matched.
    matchingInMenu,
    off,
  };

  // Grabs the shortcut (at once, or when the layer is grabbing again) and keeps the callbacks;
  // false, with nothing kept, when the X server refuses it. (`register` is a keyword in C++.)
  static bool register_(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp);
  // Forgets every registration of the shortcut and releases its grab.
  static void unregister(const Shortcut& shortcut);
  // Releases every grab and keeps the registrations.
  static void unregisterAll();
  // Grabs again what `unregisterAll` released; a registration whose grab is now refused is
  // dropped and reported to the handler set by `setOnRegistrationLost`.
  static void updateRegistrations();
  // Puts grabs and the menu-time key matcher in the state the mode asks for, and keeps the mode
  // for later registrations. The layer starts out grabbing.
  static void updateEventHandler(Mode mode);

  static void setOnRegistrationLost(Callback onLost);

  // The number of the shortcut's registration, if it has one; and the last number drawn.
  static std::optional<std::int64_t> hotKeyId(const Shortcut& shortcut);
  static std::int64_t hotKeyIdCounter();
};

}  // namespace tessra::shortcuts
