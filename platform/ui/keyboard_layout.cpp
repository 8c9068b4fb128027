#include "platform/ui/keyboard_layout.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <span>

namespace tessra::platform {

namespace {

struct StateDeleter {
  void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using StatePtr = std::unique_ptr<xkb_state, StateDeleter>;

bool isLatinLetter(xkb_keysym_t sym) {
  return (sym >= XKB_KEY_a && sym <= XKB_KEY_z) || (sym >= XKB_KEY_A && sym <= XKB_KEY_Z);
}

}  // namespace

xkb_context* sharedXkbContext() {
  // Kept for the life of the process: layouts and the hot-key service borrow it.
  static xkb_context* const context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  return context;
}

KeyboardLayout::KeyboardLayout(xkb_keymap* keymap) : m_keymap(keymap) {}

KeyboardLayout::~KeyboardLayout() { xkb_keymap_unref(m_keymap); }

std::shared_ptr<const KeyboardLayout> KeyboardLayout::fromNames(const std::string& layout,
                                                                const std::string& variant) {
  const xkb_rule_names names{.rules = nullptr,
                             .model = nullptr,
                             .layout = layout.c_str(),
                             .variant = variant.empty() ? nullptr : variant.c_str(),
                             .options = nullptr};
  xkb_keymap* keymap =
      xkb_keymap_new_from_names(sharedXkbContext(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap) return nullptr;
  return std::make_shared<const KeyboardLayout>(keymap);
}

std::optional<std::uint32_t> KeyboardLayout::keycode(std::string_view keyName) const {
  const std::string name(keyName);
  const xkb_keycode_t code = xkb_keymap_key_by_name(m_keymap, name.c_str());
  if (code == XKB_KEYCODE_INVALID) return std::nullopt;
  return code;
}

std::uint32_t KeyboardLayout::latinGroup() const {
  const auto ac01 = keycode("AC01");
  if (!ac01) return 0;
  const xkb_layout_index_t groups = xkb_keymap_num_layouts(m_keymap);
  for (xkb_layout_index_t group = 0; group < groups; ++group) {
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(m_keymap, *ac01, group, 0, &syms);
    if (count > 0 && isLatinLetter(syms[0])) return group;
  }
  return 0;
}

std::optional<std::string> KeyboardLayout::character(std::uint32_t keycode) const {
  StatePtr state(xkb_state_new(m_keymap));
  if (!state) return std::nullopt;
  xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, latinGroup());
  std::array<char, 64> buffer{};
  const int size = xkb_state_key_get_utf8(state.get(), keycode, buffer.data(), buffer.size());
  if (size <= 0 || static_cast<std::size_t>(size) >= buffer.size()) return std::nullopt;
  // Control characters (Return, Escape, Tab) are no printable text.
  if (static_cast<unsigned char>(buffer[0]) < 0x20 || buffer[0] == 0x7f) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(size));
}

bool KeyboardLayout::types(std::uint32_t keycode, std::uint32_t keysym) const {
  const xkb_layout_index_t groups = xkb_keymap_num_layouts_for_key(m_keymap, keycode);
  for (xkb_layout_index_t group = 0; group < groups; ++group) {
    const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(m_keymap, keycode, group);
    for (xkb_level_index_t level = 0; level < levels; ++level) {
      const xkb_keysym_t* syms = nullptr;
      const int count = xkb_keymap_key_get_syms_by_level(m_keymap, keycode, group, level, &syms);
      const std::span<const xkb_keysym_t> typed(syms, static_cast<std::size_t>(std::max(count, 0)));
      if (std::ranges::find(typed, keysym) != typed.end()) return true;
    }
  }
  return false;
}

}  // namespace tessra::platform
