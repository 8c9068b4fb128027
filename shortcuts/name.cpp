#include "shortcuts/name.h"

#include "platform/foundation/user_defaults.h"
#include "shortcuts/global_shortcuts.h"

namespace tessra::shortcuts {

Name::Name(std::string raw, std::optional<Shortcut> fallback)
    : rawValue(std::move(raw)), defaultShortcut(fallback) {
  // Any stored object counts, the cleared marker `false` included.
  if (defaultShortcut &&
      !platform::UserDefaults::standard().object(GlobalShortcuts::defaultsKey(*this))) {
    GlobalShortcuts::userDefaultsSet(*this, *defaultShortcut);
  }
  GlobalShortcuts::observeMenuTracking();
}

Name::Name(std::string raw) : Name(std::move(raw), std::nullopt) {}

std::optional<Shortcut> Name::shortcut() const { return GlobalShortcuts::getShortcut(*this); }

void Name::setShortcut(std::optional<Shortcut> shortcut) const {
  GlobalShortcuts::setShortcut(shortcut, *this);
}

}  // namespace tessra::shortcuts
