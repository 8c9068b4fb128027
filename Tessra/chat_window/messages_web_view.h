// The transcript of a chat window: our message page (Tessra/resources/page/) in an embedded
// browser, fed with the window's message updates and the stored conversation, calling back for
// the three things that need the program (open a message alone, delete it, open its file).
//
//   auto* page = new MessagesWebView(ChatSource::master, hub, parent);
//   connect(page, &MessagesWebView::deleteMessageRequested, this, &Chat::confirmDelete);
//   page->setSessionID(sessionID);  // loads the conversation and shows it
//
// Everything reaches the page as script calls (Tessra/chat_window/page_script.h) in the order it
// happened. Edits of one message that follow each other are merged, the last one winning, and a
// new batch waits until the page has taken the last one: other calls go at most once a frame, a
// batch of edits alone at most ten times a second, so a streamed answer costs the page a few
// frames a second, not one per piece; an edit that only adds to the answer the page shows hands
// the page that new end alone. Updates that come before the page has loaded are dropped:
// the conversation shown on load is the store's copy of that moment. When the page's renderer
// process ends, the page loads again and shows the conversation as the store holds it (unless
// it ends again and again within seconds of each load, which would only repeat).
//
// What the page posts counts only from its main frame while it shows our page: "show_message"
// and "delete_message" become `showMessageRequested` and `deleteMessageRequested`; "open_file"
// opens only a regular file inside the attachment files folder, and when the desktop has no program
// to open it the page says so. Links open outside (see MessagesPage). The context menu offers Copy,
// and only over a selection; copying puts plain text on the clipboard. The view takes no drop:
// what is dropped on it goes to the widget beneath, which may attach it. With
// platform::animationsEnabled() off, the page's endless animations are off too.
//
// GUI thread only; `apply` may be called from any thread and moves itself to the GUI thread.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>
#include <QWebChannel>
#include <QWebEngineView>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_window/chat_source.h"
#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/chat_window/message_update.h"
#include "Tessra/storage/chat_message.h"
#include "Tessra/storage/chat_session.h"
#include "platform/foundation/notification_center.h"

namespace tessra {

class MessagesPage;
class PageBridge;

class MessagesWebView : public QWebEngineView {
  Q_OBJECT

 public:
  // The address of the message page among the program's resources.
  static QUrl pageUrl();
  // The width of the floating window for the current "window-size" setting.
  static double floatingWindowWidth();

  MessagesWebView(ChatSource source, ChatViewSignals& hub, QWidget* parent = nullptr);
  ~MessagesWebView() override;

  ChatSource source() const { return m_source; }

  // The conversation to show. A new, non-empty id loads it from the store and shows it.
  void setSessionID(const std::string& sessionID);
  const std::string& sessionID() const { return m_sessionID; }
  // Messages to show instead of a stored conversation (the detached window's one message).
  void setMessages(std::vector<ChatMessage> messages);
  const std::vector<ChatMessage>& messages() const { return m_messages; }

  // Whether the conversation shown has no messages; changes reach `isEmptyChanged` from the
  // event loop, after the call that caused them.
  bool isEmpty() const { return m_isEmpty; }
  bool pageDidLoad() const { return m_pageDidLoad; }
  // True when every script call asked for has been run by the page.
  bool isIdle() const { return m_pending.empty() && !m_batchInFlight; }
  // The page width last applied (the floating window's page only).
  std::optional<double> preferredWidth() const { return m_preferredWidth; }

  // Applies one update of the window's hub.
  void apply(const MessageUpdate& update);
  // Tells for a few seconds over the messages that an image offered as an attachment could not
  // be read.
  void tellImageNotAttached();

 signals:
  void isEmptyChanged(bool isEmpty);
  // "delete_message": the page asks to delete the message.
  void deleteMessageRequested(const std::string& messageID);
  // "show_message": the page asks to show the message of the view's conversation alone.
  void showMessageRequested(const std::string& sessionID, const std::string& messageID);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // A call waiting for the next batch: its text, or for an edit the message, written out only
  // when the batch leaves, so that edits merged away cost nothing. `shows` is the message the
  // page holds after an append.
  struct PendingScript {
    std::string script;
    std::optional<ChatMessage> edit;
    std::optional<ChatMessage> shows;
  };
  // The message the page was last sent, whole or grown, its answer apart.
  struct ShownMessage {
    ChatMessage withoutAnswer;
    std::string answer;
  };

  void installScripts();
  void sessionChanged(const std::string& previous);
  void pageFinishedLoading(bool ok);
  void renderProcessEnded(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);
  void restore(const ChatSession& session, bool scrollToEnd);
  void setIsEmptyLater(bool isEmpty);
  void applyPageWidth();

  void evaluate(std::string script, std::optional<ChatMessage> shows = std::nullopt);
  void evaluateEdit(const ChatMessage& message);
  // The script of a pending call, as it leaves; keeps what the page will show.
  std::string scriptFor(PendingScript& pending);
  void scheduleFlush();
  void flush();

  void handlePosted(const QJsonValue& body);
  void openFile(const QString& path);

  ChatSource m_source;
  ChatViewSignals& m_signals;
  MessagesPage* m_page;
  QWebChannel* m_channel;
  PageBridge* m_bridge;

  std::string m_sessionID;
  std::vector<ChatMessage> m_messages;
  bool m_pageDidLoad = false;
  // The conversation asked for before the page was ready; restored from the store on load.
  std::optional<std::string> m_sessionWaitingToBeRestored;
  bool m_isEmpty = false;
  std::optional<double> m_preferredWidth;
  platform::NotificationCenter::ObserverToken m_resizeObserver;

  std::vector<PendingScript> m_pending;
  // What the page holds of the message last edited or appended, as of the calls sent so far: an
  // edit that only grows its answer sends the new end alone, so that a piece of a streamed answer
  // costs the same however long the answer is.
  std::optional<ShownMessage> m_shown;
  QTimer m_flushTimer;
  QElapsedTimer m_sinceFlush;
  bool m_batchInFlight = false;
  // Counts the renderers the page has lost: an answer from one of them counts for nothing.
  int m_pageGeneration = 0;
  QElapsedTimer m_sinceReload;
  int m_quickRendererEnds = 0;
  // Expires when the view's destruction begins; the page's late answers check it.
  std::shared_ptr<void> m_alive = std::make_shared<int>(0);
};

}  // namespace tessra
