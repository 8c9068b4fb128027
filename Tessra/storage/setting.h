// `Setting<T>`: one setting of the user defaults, described once: the key it is kept under, the
// form its value is stored in with the reading of an absent or unreadable value, and what a
// change of it sets off. The program's settings are the rows of Tessra/storage/settings_table.h;
// `UserSettings` reads, changes and announces any of them through its row.
//
//   inline constexpr Setting<bool> soundEffectEnabled{.key = "soundEffects",
//                                                     .stored = kInvertedFlag};
//   const bool on = soundEffectEnabled.read(defaults);  // true while the key is absent
//   const Result<void> written = soundEffectEnabled.write(false, defaults);  // stores 1
//
// Reads never fail and never write: an absent key, or a value of another type, reads as the
// default of the row's form. Nothing registers defaults; every default is what an absent key
// reads as. `read` and `write` are the bare store, for the settings object, the conversation
// store and tests; windows change a setting through `UserSettings::setValue`, which announces it.
//
// The defaults suite is thread-safe, so `read` may run on any thread.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"
#include "platform/foundation/user_defaults.h"

namespace tessra {

class UserSettings;

// How a value is kept under its key, and read back.
template <class T>
struct StoredForm {
  T (*read)(const platform::UserDefaults& defaults, std::string_view key);
  Result<void> (*write)(platform::UserDefaults& defaults, std::string_view key, const T& value);
};

namespace stored_forms {
bool readInvertedFlag(const platform::UserDefaults& defaults, std::string_view key);
Result<void> writeInvertedFlag(platform::UserDefaults& defaults, std::string_view key,
                               const bool& on);
bool readBoolean(const platform::UserDefaults& defaults, std::string_view key);
Result<void> writeBoolean(platform::UserDefaults& defaults, std::string_view key, const bool& on);
std::string readText(const platform::UserDefaults& defaults, std::string_view key);
Result<void> writeText(platform::UserDefaults& defaults, std::string_view key,
                       const std::string& text);

template <auto fromRawValue, auto otherwise>
decltype(otherwise) readRawValue(const platform::UserDefaults& defaults, std::string_view key) {
  if constexpr (std::integral<decltype(rawValue(otherwise))>) {
    // As the platform reads an integer: absent, or a value of another type, is 0.
    return fromRawValue(defaults.integer(key).value_or(0)).value_or(otherwise);
  } else {
    const auto code = defaults.string(key);
    if (!code) return otherwise;
    return fromRawValue(*code).value_or(otherwise);
  }
}

template <class T>
Result<void> writeRawValue(platform::UserDefaults& defaults, std::string_view key, const T& value) {
  if constexpr (std::integral<decltype(rawValue(value))>) {
    return defaults.set(key, rawValue(value));
  } else {
    return defaults.set(key, std::string(rawValue(value)));
  }
}
}  // namespace stored_forms

// A flag that defaults to on, kept as an integer in which 0 means on: absent or 0 reads as on,
// any other integer as off; on writes 0, off writes 1 (never removes the key).
inline constexpr StoredForm<bool> kInvertedFlag{stored_forms::readInvertedFlag,
                                                stored_forms::writeInvertedFlag};
// A boolean; absent reads as false.
inline constexpr StoredForm<bool> kBoolean{stored_forms::readBoolean, stored_forms::writeBoolean};
// A text; absent reads as "".
inline constexpr StoredForm<std::string> kText{stored_forms::readText, stored_forms::writeText};
// An enumeration by its raw value: the case's integer, or its code text. `fromRawValue` finds the
// case of a raw value; one it finds none for reads as `otherwise`. An absent integer, or a value
// of another type, reads as the raw value 0, as the platform reads an integer key; an absent
// text reads as `otherwise`.
template <auto fromRawValue, auto otherwise>
inline constexpr StoredForm<decltype(otherwise)> kRawValue{
    stored_forms::readRawValue<fromRawValue, otherwise>,
    stored_forms::writeRawValue<decltype(otherwise)>};

// What setting a setting to the value it already has does.
enum class WhenUnchanged {
  storesAndAnnounces,  // as a new value: stored, signalled and posted again
  signalsOnly,         // the change signal only: nothing is stored, no rule runs, nothing is posted
  ignored,             // nothing at all
};

template <class T>
struct Setting {
  using Value = T;

  // The user defaults' key.
  std::string_view key;
  StoredForm<T> stored;
  // The named notification posted, with no payload, after each change is stored; none when
  // empty.
  std::string_view notification = {};
  WhenUnchanged unchanged = WhenUnchanged::storesAndAnnounces;
  // A rule of the setting's own, run after its change is stored and signalled, before its
  // notification.
  void (*then)(UserSettings& settings, const T& value) = nullptr;

  T read(const platform::UserDefaults& defaults = platform::UserDefaults::standard()) const {
    return stored.read(defaults, key);
  }
  // Stores the value and nothing else: no signal, no notification. A write whose file cannot be
  // written keeps the value in memory, is logged by the defaults, and returns the error.
  [[nodiscard]] Result<void> write(
      const T& value, platform::UserDefaults& defaults = platform::UserDefaults::standard()) const {
    return stored.write(defaults, key, value);
  }
};

}  // namespace tessra
