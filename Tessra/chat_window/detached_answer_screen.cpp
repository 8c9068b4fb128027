#include "Tessra/chat_window/detached_answer_screen.h"

#include <QApplication>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>

#include "Tessra/chat_window/chat_source.h"
#include "Tessra/chat_window/floating_panel_view.h"
#include "Tessra/chat_window/message_update.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

FloatingPanelView* DetachedAnswerScreen::open(const std::string& sessionID,
                                              const std::string& messageID,
                                              std::function<void()> closeFloatingWindow) {
  if (closeFloatingWindow) closeFloatingWindow();
  const ChatSession* session = ChatSessionManager::shared().session(sessionID);
  if (session == nullptr) return nullptr;
  const auto& messages = session->messages;
  const auto message = std::find_if(messages.begin(), messages.end(),
                                    [&](const ChatMessage& m) { return m.id == messageID; });
  if (message == messages.end()) return nullptr;

  auto* window = new FloatingPanelView(QRect(0, 0, kWidth, kHeight), true, true);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setCloseAutomatically(false);
  window->setMinimumSize(kMinimumSide, kMinimumSide);
  window->setWindowTitle(windowTitleText(QString::fromStdString(message->shortQuestion)));
  window->setContent(
      new DetachedAnswerScreen(sessionID, *message, std::move(closeFloatingWindow), window));
  window->present();
  return window;
}

void DetachedAnswerScreen::deleteAll() {
  QList<QPointer<QWidget>> windows;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    const auto* panel = qobject_cast<FloatingPanelView*>(window);
    if (panel != nullptr && qobject_cast<DetachedAnswerScreen*>(panel->content()) != nullptr)
      windows.append(window);
  }
  for (const QPointer<QWidget>& window : windows) delete window.data();
}

DetachedAnswerScreen::DetachedAnswerScreen(std::string sessionID, ChatMessage question,
                                           std::function<void()> closeFloatingWindow,
                                           QWidget* parent)
    : QWidget(parent),
      m_sessionID(std::move(sessionID)),
      m_question(std::move(question)),
      m_page(new MessagesWebView(ChatSource::popUpAnswers, m_signals, this)) {
  setAutoFillBackground(true);
  QPalette colors = palette();
  colors.setColor(QPalette::Window, palette::background());
  setPalette(colors);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_page);

  connect(m_page, &MessagesWebView::showMessageRequested, this,
          [closeFloatingWindow](const std::string& session, const std::string& message) {
            open(session, message, closeFloatingWindow);
          });
  m_page->setMessages({m_question});
  m_page->setSessionID(m_sessionID);

  // An answer opened while it still streams, or before its picture is in, goes on growing here.
  connect(&ChatSessionManager::shared(), &ChatSessionManager::messageChanged, this,
          [this](const std::string& session, const ChatMessage& message) {
            if (session != m_sessionID || message.id != m_question.id) return;
            m_question = message;
            emit m_signals.messageUpdates(MessageUpdate::editMessage(message));
          });
}

}  // namespace tessra
