// One key combination of a global shortcut: a key code and the modifier bits, in the codes the
// stored form uses (Command 0x100, Shift 0x200, Option 0x800, Control 0x1000).
//
//   const Shortcut openPanel(Key::space, Qt::AltModifier);
//   openPanel.description();        // "Alt+Space"
//   encodeShortcut(openPanel);      // {"carbonKeyCode":49,"carbonModifiers":2048}
//
// On this desktop Command is Super (Qt's Meta), Option is Alt, Control is Ctrl. Every constructor
// drops modifier bits outside those four.
#pragma once

#include <QKeySequence>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/hot_keys.h"
#include "platform/ui/keyboard_layout.h"
#include "shortcuts/key.h"

class QAction;
class QKeyEvent;
class QWidget;

namespace tessra::shortcuts {

class Name;

// Modifier conversion between the stored bits and Qt's flags; other bits fall away both ways.
std::int64_t carbonModifiers(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers modifiersFromCarbon(std::int64_t carbon);
// "Ctrl+Alt+Shift+Super+" for the flags that are set, in that order; empty for none.
std::string describeModifiers(Qt::KeyboardModifiers modifiers);

struct Shortcut {
  static constexpr std::int64_t kCommand = 0x100;
  static constexpr std::int64_t kShift = 0x200;
  static constexpr std::int64_t kOption = 0x800;
  static constexpr std::int64_t kControl = 0x1000;

  Shortcut(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);
  Shortcut(Key key, Qt::KeyboardModifiers modifiers);

  // The stored shortcut of the name, if any.
  static std::optional<Shortcut> fromName(const Name& name);
  // The key press or release of `event` (its hardware key code read in `layout`, the server's
  // current one when null); nothing for other events and keys of no known code.
  static std::optional<Shortcut> fromEvent(const QKeyEvent& event,
                                           const platform::KeyboardLayout* layout = nullptr);

  std::int64_t carbonKeyCode = 0;
  std::int64_t carbonModifiers = 0;

  bool operator==(const Shortcut&) const = default;

  Key key() const { return Key(carbonKeyCode); }
  Qt::KeyboardModifiers modifiers() const { return modifiersFromCarbon(carbonModifiers); }

  // The character the key types without modifiers: the fixed text of the 53 special keys, else
  // the layout's (the server's current one when null).
  std::optional<std::string> keyToCharacter(const platform::KeyboardLayout* layout = nullptr) const;
  // "Ctrl+Alt+K", "Alt+Space"; U+FFFD stands for a key that types nothing.
  std::string description(const platform::KeyboardLayout* layout = nullptr) const;
  // The same combination for a Qt menu or action; empty when the key has no Qt equivalent.
  QKeySequence keySequence() const;

  // The first action of the main windows' menu bars that already uses this combination.
  QAction* takenByMainMenu() const;
  // The first action under `menuRoot` (a menu bar or a menu, depth first) that uses it.
  QAction* takenByMenu(const QWidget* menuRoot) const;
  // True when another program holds the combination (F12 alone never counts).
  bool isTakenBySystem() const;

  // The combination as the hot-key service grabs it; nothing for keys X keyboards do not send.
  std::optional<platform::KeyCombination> combination() const;
};

// The stored JSON text, members in the order carbonKeyCode, carbonModifiers.
std::string encodeShortcut(const Shortcut& shortcut);
// Reads either member order; nothing unless both members are integers.
std::optional<Shortcut> decodeShortcut(std::string_view text);

// The key behind a hardware key code in `layout`.
std::optional<Key> keyForKeycode(std::uint32_t keycode, const platform::KeyboardLayout& layout);

}  // namespace tessra::shortcuts

template <>
struct std::hash<tessra::shortcuts::Shortcut> {
  std::size_t operator()(const tessra::shortcuts::Shortcut& s) const noexcept {
    const std::size_t h = std::hash<std::int64_t>()(s.carbonKeyCode);
    return h ^ (std::hash<std::int64_t>()(s.carbonModifiers) + 0x9e3779b97f4a7c15ULL + (h << 6) +
                (h >> 2));
  }
};
