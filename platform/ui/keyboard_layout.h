// One keyboard layout as the X server's keyboard extension describes it: which hardware key code
// sits behind a key's XKB name ("AC01" is the key right of Caps Lock), and which character a key
// types without modifiers.
//
//   auto layout = KeyboardLayout::fromNames("fr");   // or HotKeys::shared().layout()
//   const auto a = layout->keycode("AC01");           // the key that types "q" on fr
//   layout->character(*a);                            // "q"
//
// Immutable once made; safe to read from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct xkb_context;
struct xkb_keymap;

namespace tessra::platform {

class KeyboardLayout {
 public:
  // Takes ownership of one reference to `keymap`.
  explicit KeyboardLayout(xkb_keymap* keymap);
  ~KeyboardLayout();
  KeyboardLayout(const KeyboardLayout&) = delete;
  KeyboardLayout& operator=(const KeyboardLayout&) = delete;

  // A layout compiled from rule names (layout "us", "fr", "de"; an optional variant); null when
  // the system's keyboard data has no such layout.
  static std::shared_ptr<const KeyboardLayout> fromNames(const std::string& layout,
                                                         const std::string& variant = {});

  // The hardware key code of the key with this XKB name (aliases included).
  std::optional<std::uint32_t> keycode(std::string_view keyName) const;

  // The text the key types with no modifier held, in the first layout group whose AC01 key types
  // a Latin letter (so a Cyrillic-first setup still names keys by their Latin letters); nothing
  // for a key that types no printable text.
  std::optional<std::string> character(std::uint32_t keycode) const;

  // Whether the key types the keysym (XKB_KEY_...) in some group, at some level.
  bool types(std::uint32_t keycode, std::uint32_t keysym) const;

 private:
  std::uint32_t latinGroup() const;

  xkb_keymap* m_keymap;
};

// The one xkb context of the process: shared by every layout, made on first use.
xkb_context* sharedXkbContext();

}  // namespace tessra::platform
