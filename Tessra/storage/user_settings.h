// `UserSettings`: the one observable object through which windows read and change the global
// settings (interface language, sound, tray icon, side button, the panel's edge, width and
// padding, the chat's conversation list, whether the onboarding was shown), the default chat
// model and the OpenAI API key. No window reads or writes the user defaults' keys itself.
//
//   auto& settings = UserSettings::shared();
//   settings.setValue(setting::popupPosition, PopupPosition::left);  // stores 1, posts
//                                                  // "floatingWindowPositionDidChanged"
//   settings.onValueChanged(setting::popupPosition, view, &View::moveToEdge);
//   connect(&settings, &UserSettings::openAiKeyChanged, view, &KeyView::refresh);
//
// The settings of the user defaults are the rows of Tessra/storage/settings_table.h, read and
// changed through `value` and `setValue`. A value is read from the defaults each time (they keep
// the suite in memory); the object copies none. A change is stored, then `valueChanged` is
// emitted, then the write's outcome is published as `writeError()`, then the row's own rule runs
// and its named notification is posted (Tessra/storage/notification_names.h), with no payload.
// Setting the value in force again does the same, unless the row says otherwise (`WhenUnchanged`).
//
// The API key lives only in the login keyring, item "openAiKey". It is read once, on a worker,
// after creation; until that read is back `loaded()` is false and `openAiKey()` is "". Every
// change of the key after that is saved on the same worker, in order, the last value winning; a
// key typed before the read is back is kept and saved rather than overwritten by the stored one
// (a field cleared again before then typed no key: the stored one is taken).
// A keyring failure (reading or saving) is published as `keychainError()` so the key form can
// show it; a later success clears it. Where no keyring is available at all, the key is kept in
// memory for this run only, never in a file: `keyringAvailable()` turns false, a save counts as
// done, and `keychainError()` tells the user that the key will not be kept. A caller that must know
// whether its key reached the keyring (the key form closes only then) passes a completion to
// `setOpenAiKey`. A user-defaults write that fails is published the same way, as `writeError()`;
// the value stays in memory and a later successful write clears it.
//
// GUI thread only, except `value()`, `chosenLanguage()` and `chosenLanguageCode()`, which any
// thread may call (the string table asks for the language where it looks a text up). Keyring
// calls run on the object's own serial worker; their results come back through the main queue.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/setting.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/settings_table.h"
#include "keychain/keychain.h"
#include "platform/foundation/error.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/user_defaults.h"

namespace tessra {

class UserSettings final : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::string openAiKey READ openAiKey WRITE setOpenAiKey NOTIFY openAiKeyChanged)
  Q_PROPERTY(bool loaded READ loaded NOTIFY loadedChanged)

 public:
  // The keyring item that holds the API key.
  static constexpr std::string_view kOpenAiKeyItem = "openAiKey";
  // The service name the key is kept under.
  static constexpr std::string_view kKeychainService = keychain::kMainBundleIdentifier;

  // The instance, created on first use with the standard defaults, the login keyring, the
  // default notification centre and the main queue, and never released. Creating it also makes
  // it the string table's source of the chosen language.
  static UserSettings& shared();

  // An instance over other parts, for tests. `mainQueue` runs the hand-back of keyring results
  // and must outlive the object.
  UserSettings(platform::UserDefaults& defaults, keychain::Keychain keychain,
               platform::NotificationCenter& center, platform::Queue& mainQueue,
               QObject* parent = nullptr);
  // Waits for the keyring saves already asked for.
  ~UserSettings() override;

  // The value of a row of the settings table, as the defaults hold it. Any thread.
  template <class T>
  T value(const Setting<T>& setting) const {
    return setting.read(m_defaults);
  }
  // Stores the value, emits `valueChanged`, publishes the write's outcome as `writeError()`,
  // runs the row's rule and posts its notification; the value in force again does what the row's
  // `unchanged` says.
  template <class T>
  void setValue(const Setting<T>& setting, const std::type_identity_t<T>& newValue);
  // Calls `slot` each time `setting` is set, while `receiver` lives: a member function of the
  // receiver or any callable, given the new value or nothing.
  template <class T, class Receiver, class Slot>
  QMetaObject::Connection onValueChanged(const Setting<T>& setting, Receiver* receiver,
                                         Slot slot) const;

  const std::string& openAiKey() const { return m_openAiKey; }
  // True once the key has been read from the keyring.
  bool loaded() const { return m_loaded; }
  // The last keyring failure, as a text the key form can show; nothing when the last keyring
  // call succeeded.
  const std::optional<std::string>& keychainError() const { return m_keychainError; }
  // The last failed user-defaults write, as a text the settings window can show; nothing when
  // the last write succeeded.
  const std::optional<std::string>& writeError() const { return m_writeError; }
  // False once a keyring call found no keyring to ask; true again after one succeeds.
  bool keyringAvailable() const { return m_keyringAvailable; }

  // The language the user picked, nothing for `system`. Any thread.
  std::optional<AppLanguage> chosenLanguage() const;
  // Its code ("de"), nothing for `system`. Any thread.
  std::optional<std::string> chosenLanguageCode() const;

  void setOpenAiKey(const std::string& key);
  // Sets the key and calls `saved` on the GUI thread once the keyring holds it: nothing on
  // success, the keyring's error otherwise. The key is written even when it equals the one in
  // memory, so the outcome is the keyring's own. When a later key is set before this one is
  // written, `saved` gets the outcome of that later write, which replaces this one. Before the
  // stored key has been read, the write (and `saved`) waits for that read.
  void setOpenAiKey(const std::string& key, std::function<void(Result<void>)> saved);

  // Sends one small chat request with `key` (not the stored one) to check it before it is
  // stored. `completion` gets nothing on success; the client's own error unchanged (transport,
  // the service's error envelope, decoding); or the text error "Invalid response" when the
  // answer's first choice carries no text. It runs once, on the client's callback queue, never on
  // the GUI thread: the caller moves back to it itself. Stores nothing.
  static void testApiKey(const std::string& key, ChatGPTModels model,
                         std::function<void(Result<void>)> completion);

 signals:
  // A row of the settings table was set; `key` is the row's.
  void valueChanged(std::string_view key);
  void openAiKeyChanged(const std::string& key);
  void loadedChanged(bool loaded);
  void keychainErrorChanged();
  void keyringAvailableChanged(bool available);
  void writeErrorChanged();

 private:
  struct KeyWorker;

  void post(std::string_view name);
  void startKeyLoad();
  void finishKeyLoad(keychain::KeychainResult<std::optional<std::string>> stored);
  // Returns the number of the write.
  std::uint64_t startKeySave(std::string key);
  void finishKeySave(std::uint64_t number, std::optional<keychain::Status> failure);
  // Publishes the outcome of a keyring call; false when it failed for another reason than a
  // missing keyring (without one, the key in memory is all the user was promised).
  bool publishKeyringOutcome(std::optional<keychain::Status> failure);
  void setKeychainError(std::optional<std::string> error);
  void publishWrite(const Result<void>& written);

  platform::UserDefaults& m_defaults;
  platform::NotificationCenter& m_center;
  platform::Queue& m_mainQueue;
  std::shared_ptr<KeyWorker> m_worker;
  // Lets a hand-back that reaches the GUI thread after destruction see that the object is gone.
  std::shared_ptr<UserSettings*> m_self;

  bool m_loaded = false;
  bool m_keyChangedBeforeLoad = false;
  // Completions waiting for a keyring write: by the number of the write that reports to them
  // (0: the write that follows the load).
  std::vector<std::pair<std::uint64_t, std::function<void(Result<void>)>>> m_saveCompletions;
  std::string m_openAiKey;
  std::optional<std::string> m_keychainError;
  std::optional<std::string> m_writeError;
  bool m_keyringAvailable = true;
};

template <class T>
void UserSettings::setValue(const Setting<T>& setting, const std::type_identity_t<T>& newValue) {
  if (setting.unchanged != WhenUnchanged::storesAndAnnounces && value(setting) == newValue) {
    if (setting.unchanged == WhenUnchanged::signalsOnly) emit valueChanged(setting.key);
    return;
  }
  const Result<void> written = setting.write(newValue, m_defaults);
  emit valueChanged(setting.key);
  publishWrite(written);
  if (setting.then) setting.then(*this, newValue);
  if (!setting.notification.empty()) post(setting.notification);
}

template <class T, class Receiver, class Slot>
QMetaObject::Connection UserSettings::onValueChanged(const Setting<T>& setting, Receiver* receiver,
                                                     Slot slot) const {
  if constexpr (std::is_member_function_pointer_v<Slot>) {
    return onValueChanged(setting, receiver, [receiver, slot](const T& value) {
      if constexpr (std::is_invocable_v<Slot, Receiver*, const T&>) {
        (receiver->*slot)(value);
      } else {
        (receiver->*slot)();
      }
    });
  } else {
    return connect(this, &UserSettings::valueChanged, receiver,
                   [this, setting, slot = std::move(slot)](std::string_view key) {
                     if (key != setting.key) return;
                     if constexpr (std::is_invocable_v<const Slot&, const T&>) {
                       slot(value(setting));
                     } else {
                       slot();
                     }
                   });
  }
}

}  // namespace tessra
