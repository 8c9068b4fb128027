// The registry of global shortcuts: where each name's shortcut is stored, which shortcuts are
// grabbed, and which actions run when one goes down or up.
//
//   static const Name openPanel("openTessraGlobal", Shortcut(Key::space, Qt::AltModifier));
//   GlobalShortcuts::onKeyDown(openPanel, [] { togglePanel(); });
//   if (const auto s = openPanel.shortcut(); s && !GlobalShortcuts::isRegistered(*s)) {
//     // another program holds it
//   }
//
// Storing a shortcut grabs it at once; a press is matched against the stored shortcut of every
// name with handlers, read afresh, so a change takes effect with the next press. Only a grab the
// X server granted counts as registered; a refused one is logged and tried again when shortcuts
// are enabled, the keyboard layout changes, a menu closes or the program starts again.
//
// Changes are announced by the notification `kShortcutByNameDidChange` with the payload
// {"name": <the name's text>} and the `Name` itself as the notification's object.
//
// GUI thread only.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>

#include "platform/foundation/async_stream.h"
#include "shortcuts/name.h"
#include "shortcuts/shortcut.h"

namespace tessra::shortcuts {

enum class EventType { keyDown, keyUp };

class GlobalShortcuts {
 public:
  using Action = std::function<void()>;

  static constexpr const char* kShortcutByNameDidChange = "GlobalShortcuts_shortcutByNameDidChange";
  // "GlobalShortcuts_" followed by the name.
  static std::string defaultsKey(const Name& name);

  // --- Storage
  static std::optional<Shortcut> getShortcut(const Name& name);
  // Stores the shortcut, or with nothing clears the name: a name with a default then keeps the
  // marker `false`, so the default is not stored again.
  static void setShortcut(std::optional<Shortcut> shortcut, const Name& name);
  static void userDefaultsSet(const Name& name, const Shortcut& shortcut);
  // Each name back to its default, or cleared when it has none.
  static void resetShortcuts(std::span<const Name> names);
  static void resetShortcuts(std::initializer_list<Name> names) {
    resetShortcuts(std::span<const Name>(names.begin(), names.size()));
  }

  // --- Registration
  static void enableShortcuts(std::span<const Name> names);
  static void enableShortcuts(std::initializer_list<Name> names) {
    enableShortcuts(std::span<const Name>(names.begin(), names.size()));
  }
  static void disableShortcuts(std::span<const Name> names);
  static void disableShortcuts(std::initializer_list<Name> names) {
    disableShortcuts(std::span<const Name>(names.begin(), names.size()));
  }
  // True while the X server grants this shortcut to the program.
  static bool isRegistered(const Shortcut& shortcut);
  // Tries again the refused shortcuts of the names with handlers or streams.
  static void retryRefused();

  // The global switch of every hot key.
  static bool isEnabled();
  static void setEnabled(bool enabled);

  // While one `Pause` lives (a recorder field records), no action runs and no stream yields, and
  // nothing is grabbed, so the keys reach the field. Pauses count: ending one leaves the others
  // in force.
  class Pause {
   public:
    Pause();
    ~Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
  };
  static bool isPaused();

  // True while one of the program's menus or other popups is open (and holds the keyboard).
  static bool isMenuOpen();

  // --- Handlers
  static void onKeyDown(const Name& name, Action action);
  static void onKeyUp(const Name& name, Action action);
  static void removeAllActionHandlers();
  // Every press and release of the name's shortcut, delivered through the main queue; the
  // stream's end (the consumer cancels or drops it) takes its handlers away again.
  static platform::AsyncStream<EventType> eventStream(const Name& name);
  static platform::AsyncStream<EventType> eventStream(EventType type, const Name& name);

  // --- Dispatch: called by the hot-key layer with the shortcut that went down or up.
  static void handleOnKeyDown(const Shortcut& shortcut);
  static void handleOnKeyUp(const Shortcut& shortcut);

  // Starts following the program's menus; its work is done once per process, as soon as there
  // is an application object.
  static void observeMenuTracking();

 private:
  static bool registerShortcutIfNeeded(const Shortcut& shortcut);
  static void unregisterShortcut(const Shortcut& shortcut);
  static platform::AsyncStream<EventType> openStream(const Name& name,
                                                     std::optional<EventType> only);
};

}  // namespace tessra::shortcuts
