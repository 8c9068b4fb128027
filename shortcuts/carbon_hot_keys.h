// The hot-key layer between the registry and the X server: one numbered registration per
// shortcut, press and release delivered back as the shortcut.
//
// Registrations are numbered from 1; every attempt draws a number, a refused one too. While a
// menu of the program is open it holds the keyboard, so the layer releases its grabs and matches
// the key events the application receives instead, swallowing the matches and letting every other
// key reach the menu. While disabled nothing is grabbed and nothing matched.
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

  // Grabs the shortcut (at once, or when the menu closes or hot keys are enabled again) and keeps
  // the callbacks; false, with nothing kept, when the X server refuses it. (`register` is a
  // keyword in C++.)
  static bool register_(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp);
  // Forgets every registration of the shortcut and releases its grab.
  static void unregister(const Shortcut& shortcut);
  // Releases every grab and keeps the registrations.
  static void unregisterAll();
  // Grabs again what `unregisterAll` released; a registration whose grab is now refused is
  // dropped and reported to the handler set by `setOnRegistrationLost`.
  static void updateRegistrations();
  // Puts grabs and the menu-time key matcher in the state the registry's switches ask for.
  static void updateEventHandler();

  static void setOnRegistrationLost(Callback onLost);

  // The number of the shortcut's registration, if it has one; and the last number drawn.
  static std::optional<std::int64_t> hotKeyId(const Shortcut& shortcut);
  static std::int64_t hotKeyIdCounter();
};

}  // namespace tessra::shortcuts
