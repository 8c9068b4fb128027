// A named slot for one user-configurable global shortcut, with the shortcut it starts with.
//
//   const Name openPanel("openTessraGlobal", Shortcut(Key::space, Qt::AltModifier));
//   openPanel.shortcut();                 // what the user chose, or the default
//   openPanel.setShortcut(std::nullopt);  // cleared; the default does not come back
//
// The name's shortcut lives in the user defaults under "GlobalShortcuts_" + the name. Making a
// name with a default stores the default when nothing at all is stored there yet, so a shortcut
// the user cleared stays cleared across starts. Names compare by their text alone.
#pragma once

#include <optional>
#include <string>

#include "shortcuts/shortcut.h"

namespace tessra::shortcuts {

struct Name {
  Name(std::string rawValue, std::optional<Shortcut> defaultShortcut);
  // A name without a default.
  explicit Name(std::string rawValue);

  std::string rawValue;
  std::optional<Shortcut> defaultShortcut;

  bool operator==(const Name& other) const { return rawValue == other.rawValue; }

  // The stored shortcut; nothing when none, or nothing readable, is stored.
  std::optional<Shortcut> shortcut() const;
  // Stores a shortcut, or clears the name with nothing (see GlobalShortcuts::setShortcut).
  void setShortcut(std::optional<Shortcut> shortcut) const;
};

}  // namespace tessra::shortcuts

template <>
struct std::hash<tessra::shortcuts::Name> {
  std::size_t operator()(const tessra::shortcuts::Name& name) const noexcept {
    return std::hash<std::string>()(name.rawValue);
  }
};
