// The chat window's root view: one conversation at a time, with its name, the message page, the
// conversation's actions, the pending attachment, the prompt box and a small toolbar, the
// conversation list in a side pane, and floating panels and confirmations over it.
//
//   auto* view = new ChatView(ChatSource::master, hub, host, window);
//   view->sendMessage();  // what Return in the prompt box does
//
// It owns which conversation is current, the text being typed, the pending attachment, and the
// answer being produced (`AnswerTask`). Buttons, Ctrl shortcuts (which work wherever the focus is
// inside the window, the message page included) and slash commands become operations on the
// conversation store and events on the window's hub; the message page only renders what the hub
// tells it.
//
// Sending: Return while an answer is produced, or with a blank prompt and no attachment, does
// nothing; before the keyring has answered whether a key is stored the send waits for it; with
// no key the key panel opens and the prompt stays. A send never goes into a conversation the
// store does not hold: into one whose file cannot be read it is refused, and the notice above the
// prompt says so. Delete and clear stop the answer first; the context break cannot be toggled
// while an answer streams.
//
// The notice also tells when the conversation's file cannot be read and when it could not be
// saved (the answer then stays on the page to copy). The model badge shows the model the next
// request uses: the conversation's own, or the default model, followed as it changes.
//
// GUI thread only.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "Tessra/chat_window/action_button_style.h"
#include "Tessra/chat_window/chat_panel_contents.h"
#include "Tessra/chat_window/chat_source.h"
#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/chat_window/floating_panel_presenter.h"
#include "Tessra/prompt_input/chat_text_field_completion_command.h"
#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/user_settings.h"
#include "platform/foundation/notification_center.h"

class QPushButton;
class QShortcut;

namespace tessra {

class AnswerTask;
class ChatAttachmentView;
class ChatNotice;
class ChatTextField;
class MessagesWebView;
class PendingAttachment;
class SidePaneView;
class TextSearchComponent;

// What the window hosting a chat view does for it.
struct ChatViewHost {
  // Recomputes the window's frame (the side pane widens it).
  std::function<void()> recalculateWindowSize;
  // Closes (slides out) the window.
  std::function<void()> closeWindow;
  // The program-wide pin flag: a pinned window stays when the user clicks elsewhere.
  std::function<bool()> isWindowPinned;
  std::function<void(bool)> setWindowPinned;
  // The program-wide side-list flag the window's width follows.
  std::function<void(bool)> setSideBarVisible;
};

class ChatView final : public QWidget {
  Q_OBJECT

 public:
  enum class FocusStateField { input };

  // The floating panels of the view, in the order of the Part's table.
  enum class Panel {
    conversationList,
    topicList,
    newConversation,
    enterApiKey,
    conversationSettings,
  };

  // `settings` holds the API key the view sends with.
  ChatView(ChatSource source, ChatViewSignals& hub, ChatViewHost host, QWidget* parent = nullptr,
           UserSettings& settings = UserSettings::shared());
  ~ChatView() override;

  ChatSource source() const { return m_source; }
  ChatViewSignals& chatViewSignals() const { return *m_signals; }

  // The current conversation; setting another one applies it (`applySession`).
  const std::string& sessionID() const { return m_sessionID; }
  void setSessionID(const std::string& sessionID);
  const QString& sessionName() const { return m_sessionName; }
  ChatGPTModels sessionModel() const { return m_sessionModel; }
  bool sessionIsEmpty() const { return m_sessionIsEmpty; }

  bool isSidePaneVisible() const;
  void setSidePaneVisible(bool visible);
  bool pinWindow() const { return m_pinWindow; }
  PopupPosition windowPosition() const { return m_windowPosition; }

  bool searchVisible() const { return m_searchVisible; }
  void setSearchVisible(bool visible);
  QString searchText() const;
  void setSearchText(const QString& text);

  QString text() const;
  void setText(const QString& text);
  const std::optional<ChatAttachment>& chatAttachment() const;
  void setChatAttachment(std::optional<ChatAttachment> attachment);

  bool busy() const { return m_busy; }
  // The answer being produced, while there is one.
  AnswerTask* messageTask() const;

  bool deleteMessageWarningIsVisible() const { return m_deleteMessageWarning != nullptr; }
  const std::string& deleteMessageId() const { return m_deleteMessageId; }
  bool showClearMessagesConfirmation() const { return m_clearConfirmation != nullptr; }
  // The visible confirmation card, if any (for its buttons).
  QWidget* confirmation() const;

  FloatingPanelPresenter* panel(Panel which) const {
    return m_panels[static_cast<std::size_t>(which)];
  }
  bool isPresenting(Panel which) const { return panel(which)->isPresented(); }
  const std::optional<Conversation>& editingConversation() const { return m_editingConversation; }
  std::optional<FocusStateField> focusedState() const;

  // The message page, the prompt box and the search bar (absent while hidden).
  MessagesWebView* page() const { return m_page; }
  ChatTextField* prompt() const { return m_prompt; }
  TextSearchComponent* searchBar() const { return m_searchBar; }
  SidePaneView* sidePane() const { return m_sidePane; }
  // What the view tells about the conversation's file (hidden while nothing).
  ChatNotice* notice() const { return m_notice; }
  // Whether the chat is dimmed under a floating panel.
  bool isDimmed() const;
  QAbstractButton* contextBreakButton() const { return m_contextBreakButton; }

  // The operations of the view.
  void sendMessage();
  void stopGenerating();
  void deleteMessage(const std::string& id);
  void clearMessages();
  void toggleEndContext();
  void setBusy(bool busy);
  void togglePinWindow();
  void openSettings();
  void executeCommand(ChatTextFieldCompletionCommand command);
  void handleEscape();
  void updatePopupPosition();
  // The page asked to delete a message: asks the user first.
  void requestDeleteMessage(const std::string& id);
  // Toggles the delete-all confirmation.
  void toggleClearMessagesConfirmation();
  // Sends the current conversation on `editChatSettings` (the model badge).
  void editCurrentSettings();
  // Opens the new-conversation panel (Ctrl+N): a new conversation, not a rename.
  void toggleNewConversation();
  // Gives the prompt box the keyboard.
  void focusPrompt();

 signals:
  void sessionIDChanged(const std::string& sessionID);
  void busyChanged(bool busy);
  void textChanged(const QString& text);
  void chatAttachmentChanged();
  void searchVisibleChanged(bool visible);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* buildMainColumn();
  QWidget* buildHeader();
  QWidget* buildActionRow();
  QWidget* buildInputRow();
  QWidget* buildToolbar();
  // An icon button with a hover hint of its command and its keys.
  ActionButton* commandButton(QWidget* parent, QStringView symbol, const ActionButtonStyle& style,
                              const QString& hint, const QString& keys, Qt::Edge arrowEdge,
                              std::function<void()> action);
  void buildPanels();
  void buildShortcuts();
  void observe();

  void applySession(const std::string& sessionID);
  void refreshSessionDetails();
  void updateNotice();
  // The conversation of the list with that id, or null.
  const Conversation* findConversation(const std::string& id) const;
  // Makes sure the conversation is in the list and its session is cached; false otherwise.
  bool holdsConversation(const std::string& id);
  void openFirstConversation();
  void startSend();
  void announce(const ChatMessage& message, const std::string& sessionID);
  void answerEnded();
  void send(const MessageUpdate& update);

  QRect panelRect(double width, double height, std::optional<double> maxWidth = std::nullopt,
                  std::optional<double> maxHeight = std::nullopt) const;
  QWidget* makePanelContent(const ChatPanelFactory& factory, FloatingPanel& panel,
                            const char* what);
  // Shows a destructive confirmation card over the chat, kept in `slot` while it is shown.
  void presentConfirmation(QPointer<QWidget>& slot, const QString& title,
                           std::function<void()> confirm);
  void dismissConfirmations();
  void updatePinButton();
  void updateHeaderButton();
  void updateBusyControls();
  void layoutOverlays();

  ChatSource m_source;
  QPointer<ChatViewSignals> m_signals;
  ChatViewHost m_host;
  UserSettings& m_settings;

  std::string m_sessionID;
  QString m_sessionName;
  ChatGPTModels m_sessionModel;
  bool m_sessionIsEmpty = false;
  bool m_pinWindow;
  PopupPosition m_windowPosition;
  bool m_searchVisible = false;
  std::string m_deleteMessageId;
  std::optional<Conversation> m_editingConversation;
  PendingAttachment* m_chatAttachment;
  bool m_busy = false;
  bool m_sendWaitsForKeyring = false;
  // A question was refused in the current conversation, whose file cannot be read.
  bool m_sendRefused = false;
  bool m_appeared = false;
  QPointer<AnswerTask> m_messageTask;

  SidePaneView* m_sidePane = nullptr;
  QWidget* m_dimmer = nullptr;
  QLabel* m_nameLabel = nullptr;
  ActionButton* m_sidePaneButtonLeading = nullptr;
  ActionButton* m_sidePaneButtonTrailing = nullptr;
  TextSearchComponent* m_searchBar = nullptr;
  MessagesWebView* m_page = nullptr;
  ChatNotice* m_notice = nullptr;
  QPushButton* m_modelBadge = nullptr;
  QWidget* m_badgeLabel = nullptr;
  ActionButton* m_contextBreakButton = nullptr;
  ActionButton* m_pinButton = nullptr;
  ChatAttachmentView* m_chip = nullptr;
  ChatTextField* m_prompt = nullptr;
  QWidget* m_attachButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPointer<QWidget> m_deleteMessageWarning;
  QPointer<QWidget> m_clearConfirmation;
  std::array<FloatingPanelPresenter*, 5> m_panels{};

  platform::NotificationCenter::ObserverToken m_settingObserver;
  platform::NotificationCenter::ObserverToken m_fileObserver;
  QMetaObject::Connection m_keyringConnection;
};

}  // namespace tessra
