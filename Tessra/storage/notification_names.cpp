#include "Tessra/storage/notification_names.h"

#include <array>

namespace tessra::notification_names {

std::span<const std::string_view> all() {
  static constexpr std::array<std::string_view, 12> kAll = {
      kWillHideGptWindow,
      kConversationListDidChanged,
      kConversationSettingDidChanged,
      kFocusOnPromptInput,
      kChatTextFieldCompletionCommandUp,
      kChatTextFieldCompletionCommandDown,
      kAppLanguageChanged,
      kWillResizeGptWindow,
      kFloatingWindowPositionDidChanged,
      kFloatingWindowSizeDidChanged,
      kMenuBarVisibilityChanged,
      kOverlayVisibilityChanged,
  };
  return kAll;
}

}  // namespace tessra::notification_names
