// The program-wide constants: the names of the notifications by which windows that do not hold
// each other talk, the content types attachments accept, the dark colour palette, the location
// of the "pop" sound and the check for a design-time preview run. Each is made once, on first use
// (thread-safe), and never changes.
//
//   auto token = NotificationCenter::defaultCenter().addObserver(
//       std::string(notification_names::kMenuBarVisibilityChanged), handler);
#pragma once

#include <QColor>
#include <QString>

#include <array>
#include <span>
#include <string_view>

#include "Tessra/ui_foundation/hex_color.h"

namespace tessra {

// Each name's text is the constant's name, letter for letter.
namespace notification_names {
inline constexpr std::string_view kWillHideGptWindow = "willHideGptWindow";
inline constexpr std::string_view kConversationListDidChanged = "conversationListDidChanged";
inline constexpr std::string_view kConversationSettingDidChanged = "conversationSettingDidChanged";
inline constexpr std::string_view kFocusOnPromptInput = "focusOnPromptInput";
inline constexpr std::string_view kChatTextFieldCompletionCommandUp =
    "chatTextFieldCompletionCommandUp";
inline constexpr std::string_view kChatTextFieldCompletionCommandDown =
    "chatTextFieldCompletionCommandDown";
inline constexpr std::string_view kAppLanguageChanged = "appLanguageChanged";
inline constexpr std::string_view kWillResizeGptWindow = "willResizeGptWindow";
inline constexpr std::string_view kFloatingWindowPositionDidChanged =
    "floatingWindowPositionDidChanged";
inline constexpr std::string_view kFloatingWindowSizeDidChanged = "floatingWindowSizeDidChanged";
inline constexpr std::string_view kMenuBarVisibilityChanged = "menuBarVisibilityChanged";
inline constexpr std::string_view kOverlayVisibilityChanged = "overlayVisibilityChanged";

// The twelve names in the order above.
std::span<const std::string_view> all();

// Payload keys of "focusOnPromptInput".
inline constexpr std::string_view kInputedTextKey = "inputedTextKey";
inline constexpr std::string_view kChatAttachmentKey = "chatAttachmentKey";
}  // namespace notification_names

// A content type an attachment may have: the uniform type's name and the MIME type the desktop
// knows it by.
struct ContentType {
  std::string_view name;
  std::string_view mimeType;

  bool operator==(const ContentType&) const = default;
};

namespace supported_types {
// webP, AVIF (only when the desktop's MIME database knows "image/avif"), heic, bmp, tiff, png,
// jpeg, gif.
std::span<const ContentType> images();
// The 24 text types, from plainText to log.
std::span<const ContentType> textFiles();
}  // namespace supported_types

// The dark palette: sixteen opaque sRGB colours, each named by its hex text.
namespace app_colors {
inline constexpr std::array<std::string_view, 16> kHexTexts = {
    "#383a3f", "#313338", "#2b2d31", "#1e1f22", "#404249", "#F2F3F5", "#ffffff", "#dcdee1",
    "#b6bac0", "#959ba3", "#79818a", "#1ABC9C", "#e6b44e", "#df4f4a", "#515356", "#242529"};

using tessra::colorFromHex;
// The palette entries, in the order of `kHexTexts`.
std::span<const QColor> all();
}  // namespace app_colors

namespace sounds {
// The "pop" sound among the program's resources.
const QString& popUrl();
}  // namespace sounds

namespace app_environment {
// True exactly when the environment holds "XCODE_RUNNING_FOR_PREVIEWS" with the value "1".
bool isRunningForPreviews();
}  // namespace app_environment

}  // namespace tessra
