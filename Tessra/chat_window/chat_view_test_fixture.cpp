#include "Tessra/chat_window/chat_view_test_fixture.h"

#include <unistd.h>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include <fstream>
#include <stdexcept>

#include "Tessra/chat_window/answer_task.h"
#include "Tessra/chat_window/chat_window_installation.h"
#include "Tessra/chat_window/floating_panel_view.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/paths.h"
#include "platform/foundation/queue.h"

namespace tessra::chat_window_test {

using nlohmann::json;

std::vector<json> chatRequests() {
  std::vector<json> bodies;
  for (const auto& request : ChatWindowTest::server().requests())
    if (request.path == "/v1/chat/completions") bodies.push_back(json::parse(request.body));
  return bodies;
}

json sessionFile(const std::string& sessionID) {
  std::ifstream file(Paths::sessionFile(sessionID).rawValue());
  return file ? json::parse(file) : json();
}

ChatMessage finishedMessage(const std::string& question, bool endContext) {
  ChatMessage message = AnswerTask::makeQuestion(question);
  message.answer = "Answer to " + question;
  message.finished = true;
  message.endContext = endContext;
  return message;
}

void ChatViewTest::SetUp() {
  m_keychain = keychain::Keychain("org.tessra.chat-view-test." + std::to_string(::getpid()));
  auto& contents = ChatPanelContents::shared();
  for (auto [slot, name] : {std::pair{&ChatPanelContents::conversationList, "switcher"},
                            {&ChatPanelContents::topicList, "topics"},
                            {&ChatPanelContents::newConversation, "new conversation"},
                            {&ChatPanelContents::enterApiKey, "key entry"},
                            {&ChatPanelContents::conversationSettings, "conversation settings"}}) {
    contents.*slot = [this, name](const ChatPanelContext& context) {
      m_contexts.push_back({name, context.sessionID, context.editingConversation});
      return new QLabel(QString::fromUtf8(name));
    };
  }
  // A plain window, as the settings window is.
  setSettingsWindowFactory([] {
    auto* window = new QLabel(QStringLiteral("settings"), nullptr, Qt::Window);
    window->resize(320, 240);
    return window;
  });
  m_settings = makeSettings("sk-view");
  QObject::connect(&m_hub, &ChatViewSignals::messageUpdates,
                   [this](const MessageUpdate& update) { m_updates.push_back(update); });
}

void ChatViewTest::TearDown() {
  m_window.reset();
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (qobject_cast<FloatingPanelView*>(window) || window->objectName() == u"settings")
      delete window;
  }
  (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
}

std::unique_ptr<UserSettings> ChatViewTest::makeSettings(std::optional<std::string> key) {
  (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  if (key) (void)m_keychain.set(*key, UserSettings::kOpenAiKeyItem);
  return std::make_unique<UserSettings>(m_defaults, m_keychain, m_center, platform::mainQueue());
}

ChatView& ChatViewTest::makeView(UserSettings* settings) {
  if (!settings) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_settings->loaded(); }, 10000));
    settings = m_settings.get();
  }
  m_window = std::make_unique<QWidget>();
  m_window->setGeometry(1400, 40, 500, 900);
  auto* view = new ChatView(ChatSource::master, m_hub, m_window.get(), *settings);
  // Tied to the program-wide flags as the floating window's view is; the window counts.
  view->setPinWindow(isWindowPinned());
  QObject::connect(view, &ChatView::pinWindowChanged, view, &setWindowPinned);
  QObject::connect(view, &ChatView::sidePaneVisibleChanged, view, [this](bool visible) {
    UserSettings::shared().setValue(setting::sideBarVisible, visible);
    ++m_recalculations;
  });
  QObject::connect(view, &ChatView::closeRequested, view, [this] { ++m_closes; });
  view->setGeometry(m_window->rect());
  m_window->show();
  return *view;
}

ChatView& ChatViewTest::makeInstalledView() {
  installChatWindow();
  m_window = std::make_unique<QWidget>();
  m_window->setGeometry(1400, 40, 500, 900);
  auto* controller = new FloatingController(m_window.get());
  // The factory stays the program's for no other controller of this process.
  FloatingController::setChatViewFactory({});
  controller->setGeometry(m_window->rect());
  m_window->show();
  auto* view = qobject_cast<ChatView*>(controller->mainView());
  // GoogleTest fails the case on the exception.
  if (!view) throw std::logic_error("the program's panel made no chat view");
  return *view;
}

std::string ChatViewTest::conversationWith(const std::vector<ChatMessage>& messages) {
  const std::string id = makeConversation("🧪 Test");
  auto& store = ChatSessionManager::shared();
  for (const ChatMessage& message : messages) store.upsertMessage(message, id);
  store.saveSession(id);
  return id;
}

std::vector<MessageUpdate> ChatViewTest::updatesOfKind(std::size_t index) const {
  std::vector<MessageUpdate> found;
  for (const MessageUpdate& update : m_updates)
    if (update.value.index() == index) found.push_back(update);
  return found;
}

}  // namespace tessra::chat_window_test
