// The stored global shortcut as the program reads it from the settings: its JSON record, then
// what the program makes of it: its description, its menu key sequence and the combination the
// hot-key service would grab.
//
// Input: the stored text.
// Rules: a shortcut that was read writes back to a text that reads as the same shortcut.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "platform/ui/keyboard_layout.h"
#include "shortcuts/shortcut.h"

namespace {

std::shared_ptr<const tessra::platform::KeyboardLayout> layout;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tessra::fuzz::quietLogs();
  layout = tessra::platform::KeyboardLayout::fromNames("us");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessra::shortcuts;
  const auto shortcut = decodeShortcut(tessra::fuzz::text(data, size));
  if (!shortcut) return 0;
  FUZZ_CHECK(decodeShortcut(encodeShortcut(*shortcut)) == shortcut);
  if (layout) (void)shortcut->description(layout.get());
  (void)shortcut->keySequence();
  (void)shortcut->combination();
  return 0;
}
