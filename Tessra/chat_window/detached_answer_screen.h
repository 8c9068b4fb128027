// One message (its question and answer) in a window of its own, opened from the message page, so
// an answer stays in view while the floating chat window is gone.
//
//   DetachedAnswerScreen::open(sessionID, messageID, closeFloatingWindow);
//
// The window is an ordinary movable, resizable window with the question's first 80 characters as
// its title; it stays open when the user works elsewhere, counts itself in the taskbar while it
// is open and is released when closed. Its message page has a hub of its own, on which only the
// window itself sends: the answer's later changes, heard from the store, reach it, so an answer
// opened while it streams goes on growing there; a delete request from it does nothing, and
// opening the message from it opens a further window. Several may be open at once.
//
// GUI thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <string>

#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/storage/chat_message.h"

namespace tessra {

class FloatingPanelView;
class MessagesWebView;

class DetachedAnswerScreen final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 624;
  static constexpr int kHeight = 512;
  static constexpr int kMinimumSide = 200;

  // Closes the floating chat window (`closeFloatingWindow`, when given) and opens a window for
  // the message of that conversation in the store's memory. Nothing opens when the conversation
  // or the message is not there; returns the window otherwise.
  static FloatingPanelView* open(const std::string& sessionID, const std::string& messageID,
                                 std::function<void()> closeFloatingWindow = {});
  // Deletes every such window still open. The program does so when its event loop has ended:
  // their pages of the embedded browser must end before the browser's profile, which ends with
  // the application object.
  static void deleteAll();

  DetachedAnswerScreen(std::string sessionID, ChatMessage question,
                       std::function<void()> closeFloatingWindow, QWidget* parent = nullptr);

  const std::string& sessionID() const { return m_sessionID; }
  const ChatMessage& question() const { return m_question; }
  MessagesWebView* page() const { return m_page; }
  ChatViewSignals& chatViewSignals() { return m_signals; }

 private:
  std::string m_sessionID;
  ChatMessage m_question;
  ChatViewSignals m_signals;
  MessagesWebView* m_page;
};

}  // namespace tessra
