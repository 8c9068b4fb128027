#include "Tessra/shell/ax_error.h"

#include <array>
#include <string_view>

namespace tessra {
namespace {

// Indexed by -code for 0 and by -(code + 25200) + 1 for the rest.
constexpr std::array<std::string_view, 16> kNames = {
    "Success",
    "Failure",
    "IllegalArgument",
    "InvalidUIElement",
    "InvalidUIElementObserver",
    "CannotComplete",
    "AttributeUnsupported",
    "ActionUnsupported",
    "NotificationUnsupported",
    "NotImplemented",
    "NotificationAlreadyRegistered",
    "NotificationNotRegistered",
    "APIDisabled",
    "NoValue",
    "ParameterizedAttributeUnsupported",
    "NotEnoughPrecision",
};

std::string_view name(int code) {
  if (code == 0) return kNames[0];
  const int index = -(code + 25200) + 1;
  if (index < 1 || index >= static_cast<int>(kNames.size())) return "Unknown";
  return kNames[static_cast<std::size_t>(index)];
}

}  // namespace

std::string description(AXError error) {
  return "AXError." + std::string(name(static_cast<int>(error)));
}

}  // namespace tessra
