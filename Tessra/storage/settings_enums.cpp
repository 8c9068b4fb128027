#include "Tessra/storage/settings_enums.h"

#include <array>

#include "Tessra/localized_text/localized_text.h"

namespace tessra {

namespace {

constexpr std::array<PopupPosition, 4> kPopupPositions = {
    PopupPosition::right, PopupPosition::left, PopupPosition::top, PopupPosition::bottom};

constexpr std::array<FloatingWindowSize, 6> kFloatingWindowSizes = {
    FloatingWindowSize::extraSmall, FloatingWindowSize::small,      FloatingWindowSize::medium,
    FloatingWindowSize::large,      FloatingWindowSize::extraLarge, FloatingWindowSize::ultraWide};

constexpr std::array<FloatingWindowPadding, 6> kFloatingWindowPaddings = {
    FloatingWindowPadding::none,       FloatingWindowPadding::small,
    FloatingWindowPadding::medium,     FloatingWindowPadding::large,
    FloatingWindowPadding::extraLarge, FloatingWindowPadding::ultraWide};

// The padding of every step but `none`, indexed by raw value minus one.
constexpr std::array<int, 5> kPaddingPoints = {16, 32, 48, 64, 128};

struct LanguageRow {
  AppLanguage language;
  std::string_view code;
  std::string_view title;
};

constexpr std::array<LanguageRow, 7> kLanguages = {{
    {AppLanguage::system, "system", "System Default 🌐"},
    {AppLanguage::english, "en", "English 🇺🇸"},
    {AppLanguage::chineseSimplified, "zh-Hans", "中文 (简体) 🇨🇳"},
    {AppLanguage::french, "fr", "Français (France) 🇫🇷"},
    {AppLanguage::german, "de", "Deutsch (Deutschland) 🇩🇪"},
    {AppLanguage::japanese, "ja", "日本語 (日本) 🇯🇵"},
    {AppLanguage::brazilianPortuguese, "pt-BR", "Português (Brasil) 🇧🇷"},
}};

constexpr std::array<AppLanguage, 7> kAllLanguages = {AppLanguage::system,
                                                      AppLanguage::english,
                                                      AppLanguage::chineseSimplified,
                                                      AppLanguage::french,
                                                      AppLanguage::german,
                                                      AppLanguage::japanese,
                                                      AppLanguage::brazilianPortuguese};

}  // namespace

std::span<const PopupPosition> allPopupPositions() { return kPopupPositions; }

std::optional<PopupPosition> popupPositionFromRawValue(std::int64_t raw) {
  if (raw < 0 || raw >= static_cast<std::int64_t>(kPopupPositions.size())) return std::nullopt;
  return static_cast<PopupPosition>(raw);
}

std::string title(PopupPosition position) {
  switch (position) {
    case PopupPosition::right:
      return "Right";
    case PopupPosition::left:
      return "Left";
    case PopupPosition::top:
      return "Top";
    case PopupPosition::bottom:
      return "Bottom";
  }
  return "Right";
}

std::span<const FloatingWindowSize> allFloatingWindowSizes() { return kFloatingWindowSizes; }

std::optional<FloatingWindowSize> floatingWindowSizeFromRawValue(std::int64_t raw) {
  if (raw < 0 || raw >= static_cast<std::int64_t>(kFloatingWindowSizes.size())) return std::nullopt;
  return static_cast<FloatingWindowSize>(raw);
}

FloatingWindowSize floatingWindowSizeFromStoredInt(std::int64_t raw) {
  return floatingWindowSizeFromRawValue(raw).value_or(FloatingWindowSize::medium);
}

std::string title(FloatingWindowSize size) {
  using Texts = LocalizedText::Settings;
  switch (size) {
    case FloatingWindowSize::extraSmall:
      return Texts::sizeExtraSmall().toStdString();
    case FloatingWindowSize::small:
      return Texts::sizeSmall().toStdString();
    case FloatingWindowSize::medium:
      return Texts::sizeMedium().toStdString();
    case FloatingWindowSize::large:
      return Texts::sizeLarge().toStdString();
    case FloatingWindowSize::extraLarge:
      return Texts::sizeExtraLarge().toStdString();
    case FloatingWindowSize::ultraWide:
      return Texts::sizeUltraWide().toStdString();
  }
  return Texts::sizeMedium().toStdString();
}

std::span<const FloatingWindowPadding> allFloatingWindowPaddings() {
  return kFloatingWindowPaddings;
}

std::optional<FloatingWindowPadding> floatingWindowPaddingFromRawValue(std::int64_t raw) {
  if (raw < 0 || raw >= static_cast<std::int64_t>(kFloatingWindowPaddings.size()))
    return std::nullopt;
  return static_cast<FloatingWindowPadding>(raw);
}

int paddingPoints(FloatingWindowPadding padding) {
  if (padding == FloatingWindowPadding::none) return 0;
  return kPaddingPoints[static_cast<std::size_t>(rawValue(padding) - 1)];
}

std::string title(FloatingWindowPadding padding) {
  if (padding == FloatingWindowPadding::none) return "None";
  return std::to_string(paddingPoints(padding)) + "px";
}

std::span<const AppLanguage> allAppLanguages() { return kAllLanguages; }

std::string_view rawValue(AppLanguage language) {
  return kLanguages[static_cast<std::size_t>(language)].code;
}

std::optional<AppLanguage> appLanguageFromRawValue(std::string_view code) {
  for (const LanguageRow& row : kLanguages)
    if (row.code == code) return row.language;
  return std::nullopt;
}

std::string title(AppLanguage language) {
  return std::string(kLanguages[static_cast<std::size_t>(language)].title);
}

}  // namespace tessra
