// The chat view's tests share this fixture: a chat view in a window of its own, with settings
// over this process's own keyring service, panel slots filled with plain labels that record what
// they were given, the window's requests counted, and every message update sent.
#pragma once

#include <QWidget>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_window/chat_view.h"
#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

namespace tessra::chat_window_test {

// The bodies of the chat requests the server has received.
std::vector<nlohmann::json> chatRequests();
// The session file of a conversation; null when there is none.
nlohmann::json sessionFile(const std::string& sessionID);
// A finished message with an answer.
ChatMessage finishedMessage(const std::string& question, bool endContext = false);

class ChatViewTest : public ChatWindowTest {
 protected:
  static constexpr std::size_t kAppend = 0;
  static constexpr std::size_t kEdit = 1;

  struct PanelContext {
    std::string slot;
    std::string sessionID;
    std::optional<Conversation> editing;
  };

  void SetUp() override;
  void TearDown() override;

  // Settings over this process's own keyring service, holding `key` once loaded.
  std::unique_ptr<UserSettings> makeSettings(std::optional<std::string> key);
  // A chat view in a shown window; `settings` defaults to the fixture's (loaded first).
  ChatView& makeView(UserSettings* settings = nullptr);
  // The chat view the program's own panel makes (`installChatWindow()`), with its own hub and the
  // shared settings, tied to the program-wide state as the program ties it; in a shown window.
  ChatView& makeInstalledView();
  // A conversation holding these messages, written to its file.
  std::string conversationWith(const std::vector<ChatMessage>& messages);
  // The updates sent of the `MessageUpdate::Value` alternative `index`.
  std::vector<MessageUpdate> updatesOfKind(std::size_t index) const;

  testing::TempDir m_dir;
  platform::UserDefaults m_defaults{m_dir / "defaults.json"};
  keychain::Keychain m_keychain;
  platform::NotificationCenter m_center;
  std::unique_ptr<UserSettings> m_settings;
  ChatViewSignals m_hub;
  std::unique_ptr<QWidget> m_window;
  std::vector<MessageUpdate> m_updates;
  std::vector<PanelContext> m_contexts;
  int m_recalculations = 0;
  int m_closes = 0;
};

}  // namespace tessra::chat_window_test
