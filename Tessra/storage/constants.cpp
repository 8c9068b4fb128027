#include "Tessra/storage/constants.h"

#include <QMimeDatabase>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tessra {

namespace notification_names {

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

}  // namespace notification_names

namespace supported_types {

namespace {
constexpr ContentType kAvif{"public.avif", "image/avif"};
}  // namespace

std::span<const ContentType> images() {
  static const std::vector<ContentType> kImages = [] {
    std::vector<ContentType> types{{"webP", "image/webp"}};
    if (QMimeDatabase().mimeTypeForName(QString::fromUtf8(kAvif.mimeType)).isValid())
      types.push_back(kAvif);
    const std::array<ContentType, 6> rest = {{{"heic", "image/heic"},
                                              {"bmp", "image/bmp"},
                                              {"tiff", "image/tiff"},
                                              {"png", "image/png"},
                                              {"jpeg", "image/jpeg"},
                                              {"gif", "image/gif"}}};
    types.insert(types.end(), rest.begin(), rest.end());
    return types;
  }();
  return kImages;
}

std::span<const ContentType> textFiles() {
  static constexpr std::array<ContentType, 24> kTextFiles = {{
      {"plainText", "text/plain"},
      {"utf8PlainText", "text/plain"},
      {"utf16PlainText", "text/plain"},
      {"yaml", "application/x-yaml"},
      {"xml", "application/xml"},
      {"json", "application/json"},
      {"html", "text/html"},
      {"sourceCode", "text/x-csrc"},
      {"swiftSource", "text/x-swift"},
      {"cSource", "text/x-csrc"},
      {"cHeader", "text/x-chdr"},
      {"objectiveCSource", "text/x-objcsrc"},
      {"objectiveCPlusPlusSource", "text/x-objc++src"},
      {"cPlusPlusSource", "text/x-c++src"},
      {"pythonScript", "text/x-python3"},
      {"perlScript", "application/x-perl"},
      {"phpScript", "application/x-php"},
      {"shellScript", "application/x-shellscript"},
      {"assemblyLanguageSource", "text/x-asm"},
      {"script", "application/x-executable-script"},
      {"rubyScript", "application/x-ruby"},
      {"javaScript", "application/javascript"},
      {"appleScript", "application/x-applescript"},
      {"log", "text/x-log"},
  }};
  return kTextFiles;
}

}  // namespace supported_types

namespace sounds {

const QString& popUrl() {
  static const QString kUrl = QStringLiteral("qrc:/sounds/pop.wav");
  return kUrl;
}

}  // namespace sounds

namespace app_environment {

bool isRunningForPreviews() {
  const char* value = std::getenv("XCODE_RUNNING_FOR_PREVIEWS");
  return value != nullptr && std::string_view(value) == "1";
}

}  // namespace app_environment

}  // namespace tessra
