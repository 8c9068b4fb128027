#include "Tessra/settings/settings_test_support.h"

#include <qguiapplication_platform.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <unistd.h>

#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/foundation/queue.h"

namespace tessra::settings_test {

void runMainQueueOnQt() {
  platform::mainQueue().setPoster([](platform::Job job) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(job), Qt::QueuedConnection);
  });
}

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
  const auto cookie =
      xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

}  // namespace

void closeAsTheUserWould(QWidget* window) { closeAsTheUserWould(window->winId()); }

void closeAsTheUserWould(unsigned long windowId) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr);
  xcb_connection_t* connection = x11->connection();
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(windowId);
  message.type = atom(connection, "WM_PROTOCOLS");
  message.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

SettingsHarness::SettingsHarness()
    : keychain("org.tessra.Tessra.settings-tests." + std::to_string(::getpid())) {
  runMainQueueOnQt();
  (void)keychain.remove(UserSettings::kOpenAiKeyItem);
  settings = std::make_unique<UserSettings>(defaults, keychain, center, platform::mainQueue());
  if (!QTest::qWaitFor([this] { return settings->loaded(); }, 10000))
    ADD_FAILURE() << "the keyring was not read";
}

SettingsHarness::~SettingsHarness() {
  settings.reset();
  (void)keychain.remove(UserSettings::kOpenAiKeyItem);
}

std::optional<std::string> SettingsHarness::storedKey() const {
  auto stored = keychain.get(UserSettings::kOpenAiKeyItem);
  return stored ? *stored : std::nullopt;
}

std::string chatAnswer(const std::string& text) {
  return nlohmann::json{{"id", "chatcmpl-1"},
                        {"object", "chat.completion"},
                        {"created", 1700000000},
                        {"model", "gpt-4"},
                        {"choices",
                         {{{"index", 0},
                           {"message", {{"role", "assistant"}, {"content", text}}},
                           {"finish_reason", "stop"}}}}}
      .dump();
}

std::string emptyChatAnswer() {
  return nlohmann::json{{"id", "chatcmpl-1"},
                        {"object", "chat.completion"},
                        {"created", 1700000000},
                        {"model", "gpt-4"},
                        {"choices", nlohmann::json::array()}}
      .dump();
}

std::string errorEnvelope(const std::string& message) {
  return nlohmann::json{{"error",
                         {{"message", message},
                          {"type", "invalid_request_error"},
                          {"param", nullptr},
                          {"code", "invalid_api_key"}}}}
      .dump();
}

}  // namespace tessra::settings_test
