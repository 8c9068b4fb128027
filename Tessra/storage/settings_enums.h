// The user's choices for the interface language and for where and how large the floating chat
// panel is shown, and the `Pickable` concept through which a settings picker shows any of them.
//
// `PopupPosition`, `FloatingWindowSize` and `FloatingWindowPadding` are stored as their integer
// raw values, `AppLanguage` as its code text (Tessra/storage/settings_table.h). Every value is
// identified by its raw value:
//
//   for (FloatingWindowSize size : allFloatingWindowSizes()) picker.add(title(size));
//   const auto position = popupPositionFromRawValue(7);  // nothing
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessra {

enum class PopupPosition : int { right = 0, left = 1, top = 2, bottom = 3 };

enum class FloatingWindowSize : int {
  extraSmall = 0,
  small = 1,
  medium = 2,
  large = 3,
  extraLarge = 4,
  ultraWide = 5,
};

enum class FloatingWindowPadding : int {
  none = 0,
  small = 1,
  medium = 2,
  large = 3,
  extraLarge = 4,
  ultraWide = 5,
};

enum class AppLanguage {
  system,
  english,
  chineseSimplified,
  french,
  german,
  japanese,
  brazilianPortuguese,
};

// --- PopupPosition ----------------------------------------------------------------------------

std::span<const PopupPosition> allPopupPositions();
constexpr std::int64_t rawValue(PopupPosition position) {
  return static_cast<std::int64_t>(position);
}
// 0 to 3 give their case, anything else nothing.
std::optional<PopupPosition> popupPositionFromRawValue(std::int64_t raw);
// "Right", "Left", "Top", "Bottom".
std::string title(PopupPosition position);

// --- FloatingWindowSize -----------------------------------------------------------------------

std::span<const FloatingWindowSize> allFloatingWindowSizes();
constexpr std::int64_t rawValue(FloatingWindowSize size) { return static_cast<std::int64_t>(size); }
// 0 to 5 give their case, anything else nothing.
std::optional<FloatingWindowSize> floatingWindowSizeFromRawValue(std::int64_t raw);
// The stored form read back: 0 to 5 give their case, every other integer `medium`.
FloatingWindowSize floatingWindowSizeFromStoredInt(std::int64_t raw);
// The localized title ("Default - 700px" for `medium` in English), looked up in the string table
// of the language chosen when it is first asked for.
std::string title(FloatingWindowSize size);

// --- FloatingWindowPadding --------------------------------------------------------------------

std::span<const FloatingWindowPadding> allFloatingWindowPaddings();
constexpr std::int64_t rawValue(FloatingWindowPadding padding) {
  return static_cast<std::int64_t>(padding);
}
// 0 to 5 give their case, anything else nothing.
std::optional<FloatingWindowPadding> floatingWindowPaddingFromRawValue(std::int64_t raw);
// The padding in points the panel gets: 0, 16, 32, 48, 64 or 128.
int paddingPoints(FloatingWindowPadding padding);
// "None" for `none`, else the points followed by "px" ("128px").
std::string title(FloatingWindowPadding padding);

// --- AppLanguage ------------------------------------------------------------------------------

// The seven cases in declaration order. The settings page offers three (the system's, English,
// Brazilian Portuguese); each of the others still works when stored.
std::span<const AppLanguage> allAppLanguages();
// "system", "en", "zh-Hans", "fr", "de", "ja", "pt-BR". Every code but "system" names the
// language folder of the string tables ("<code>.lproj").
std::string_view rawValue(AppLanguage language);
// The case with exactly that code (case-sensitive), else nothing.
std::optional<AppLanguage> appLanguageFromRawValue(std::string_view code);
// The fixed titles, the same in every interface language ("Deutsch (Deutschland) 🇩🇪").
std::string title(AppLanguage language);

// --- Pickable ---------------------------------------------------------------------------------

// A value a settings picker can show: it has a title and is identified by its raw value.
template <class T>
concept Pickable = requires(T value) {
  { title(value) } -> std::convertible_to<std::string>;
  rawValue(value);
};

static_assert(Pickable<PopupPosition> && Pickable<FloatingWindowSize> &&
              Pickable<FloatingWindowPadding> && Pickable<AppLanguage>);

}  // namespace tessra
