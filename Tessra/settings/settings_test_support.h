// Shared by the settings tests: the main queue run by Qt's event loop, settings over a keyring
// service of the process's own, a close as the user's, and the service's answers. The process's
// own data and configuration home is the storage tests' (Tessra/storage/storage_test_support.h).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class QWidget;

#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "testing/temp_dir.h"

namespace tessra::settings_test {

// Hands the program's main queue to Qt's event loop, so results posted to it arrive while a test
// waits with ASSERT_EVENTUALLY (testing/qt_wait.h).
void runMainQueueOnQt();

// Asks the window to close as a window manager does for the user's close button: a
// WM_DELETE_WINDOW message from the X server, which reaches the window as a spontaneous close.
void closeAsTheUserWould(QWidget* window);
// The same for a window of any client, by its X identifier.
void closeAsTheUserWould(unsigned long windowId);

// Settings over their own defaults file, centre and keyring service; the keyring item is removed
// when it ends.
struct SettingsHarness {
  SettingsHarness();
  ~SettingsHarness();

  std::optional<std::string> storedKey() const;

  testing::TempDir dir;
  platform::UserDefaults defaults{dir / "defaults.json"};
  keychain::Keychain keychain;
  platform::NotificationCenter center;
  std::unique_ptr<UserSettings> settings;
};

// A chat-completions answer whose first choice says `text`.
std::string chatAnswer(const std::string& text);
// An answer without choices.
std::string emptyChatAnswer();
// The service's error envelope.
std::string errorEnvelope(const std::string& message);

}  // namespace tessra::settings_test
