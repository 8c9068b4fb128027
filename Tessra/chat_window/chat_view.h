// The chat window's root view: one conversation at a time, with its name, the message page, the
// conversation's actions, the pending attachment, the prompt box and a small toolbar, the
// conversation list in a side pane, and floating panels and confirmations over it.
//
//   auto* view = new ChatView(ChatSource::master, hub, window);
//   connect(view, &ChatView::closeRequested, window, &FloatingWindow::close);
//   view->sendMessage();  // what Return in the prompt box does
//
// It lays out what its `ChatController` says (the conversation, the answer under way, the notice
// about the conversation's file) and hands the controller what the user does. Its commands
// (`ChatCommands`: buttons, Ctrl shortcuts that work wherever the focus is inside the window,
// the message page included, and slash commands) act on it as their `ChatCommands::Target`:
// operations of the controller, panels and confirmations over the chat, and events for the
// window that hosts it: the pin, the side pane that widens the window, and closing. Return sends
// through the controller: a question it does not take stays in the prompt, and when no key is
// stored the key panel opens. A question taken stays in the prompt, with its attachment, until
// its conversation's file holds it; then the prompt gives it up and keeps what was typed after
// it. The model badge shows the model the next request uses.
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
#include "Tessra/chat_window/chat_commands.h"
#include "Tessra/chat_window/chat_controller.h"
#include "Tessra/chat_window/chat_panel_contents.h"
#include "Tessra/chat_window/chat_source.h"
#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/chat_window/floating_panel_presenter.h"
#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/user_settings.h"
#include "platform/foundation/notification_center.h"
#include "platform/ui/held_keys.h"

class QPushButton;

namespace tessra {

class ChatAttachmentView;
class ChatNotice;
class ChatTextField;
class MessagesWebView;
class PendingAttachment;
class SidePaneView;
class TextSearchComponent;

class ChatView final : public QWidget, public ChatCommands::Target {
  Q_OBJECT

 public:
  enum class FocusStateField { input };

  // `settings` holds the API key the view sends with.
  ChatView(ChatSource source, ChatViewSignals& hub, QWidget* parent = nullptr,
           UserSettings& settings = UserSettings::shared());
  ~ChatView() override;

  ChatSource source() const { return m_source; }
  ChatViewSignals& chatViewSignals() const { return *m_signals; }
  // The conversation shown and what is done with it.
  ChatController& controller() override { return m_controller; }
  const ChatController& controller() const { return m_controller; }

  bool isSidePaneVisible() const override;
  void setSidePaneVisible(bool visible) override;
  // Whether the window is pinned: it stays when the user clicks elsewhere.
  bool pinWindow() const { return m_pinWindow; }
  void setPinWindow(bool pinned);
  PopupPosition windowPosition() const { return m_windowPosition; }

  bool searchVisible() const override { return m_searchVisible; }
  void setSearchVisible(bool visible) override;
  QString searchText() const;
  void setSearchText(const QString& text);

  QString text() const;
  void setText(const QString& text);
  const std::optional<ChatAttachment>& chatAttachment() const;
  void setChatAttachment(std::optional<ChatAttachment> attachment);

  bool deleteMessageWarningIsVisible() const { return m_deleteMessageWarning != nullptr; }
  const std::string& deleteMessageId() const { return m_deleteMessageId; }
  bool showClearMessagesConfirmation() const { return m_clearConfirmation != nullptr; }
  // The visible confirmation card, if any (for its buttons).
  QWidget* confirmation() const;

  FloatingPanelPresenter* panel(Panel which) const override {
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
  // Sends what the prompt holds; the prompt gives the question up once it is written.
  void sendMessage();
  void togglePinWindow() override;
  void openSettings() override;
  void handleEscape() override;
  void updatePopupPosition();
  // The page asked to delete a message: asks the user first.
  void requestDeleteMessage(const std::string& id);
  // Toggles the delete-all confirmation.
  void toggleClearMessagesConfirmation() override;
  // Opens the new-conversation panel (Ctrl+N): a new conversation, not a rename.
  void toggleNewConversation() override;
  // Gives the prompt box the keyboard.
  void focusPrompt();

 signals:
  void textChanged(const QString& text);
  void chatAttachmentChanged();
  void searchVisibleChanged(bool visible);
  void pinWindowChanged(bool pinned);
  // The side pane was shown or hidden: the hosting window's width follows.
  void sidePaneVisibleChanged(bool visible);
  // Escape found nothing else to do, or a message opened in a window of its own: the hosting
  // window should close.
  void closeRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* buildMainColumn();
  QWidget* buildHeader();
  QWidget* buildActionRow();
  QWidget* buildInputRow();
  QWidget* buildToolbar();
  void buildPanels();
  void observe();

  void showSessionDetails();
  void showNotice();
  // Takes the question sent last out of the prompt, and its attachment, where they still stand.
  void releaseSentQuestion();

  QRect panelRect(double width, double height, std::optional<double> maxWidth = std::nullopt,
                  std::optional<double> maxHeight = std::nullopt) const;
  QWidget* makePanelContent(const ChatPanelFactory& factory, FloatingPanel& panel,
                            const char* what);
  // Shows a destructive confirmation card over the chat, kept in `slot` while it is shown.
  void presentConfirmation(QPointer<QWidget>& slot, const QString& title,
                           std::function<void()> confirm);
  void dismissConfirmations();
  void updatePinSymbol();
  void updateHeaderButton();
  void updateBusyControls();
  void layoutOverlays();

  ChatSource m_source;
  QPointer<ChatViewSignals> m_signals;
  UserSettings& m_settings;
  ChatController m_controller;

  bool m_pinWindow = false;
  PopupPosition m_windowPosition;
  bool m_searchVisible = false;
  std::string m_deleteMessageId;
  std::optional<Conversation> m_editingConversation;
  PendingAttachment* m_chatAttachment;
  // The question sent last, while it is not written yet.
  struct SentQuestion {
    QString text;
    std::optional<ChatAttachment> attachment;
  };
  std::optional<SentQuestion> m_sentQuestion;
  // What is typed while a send waits for the keyring: had the answer come at once, it would have
  // come after the send, into the prompt or the key panel.
  std::optional<platform::HeldKeys> m_keysWhileSendWaits;
  bool m_appeared = false;
  ChatCommands* m_commands = nullptr;

  SidePaneView* m_sidePane = nullptr;
  // The header, messages, prompt and toolbar, beside the side list.
  QWidget* m_mainColumn = nullptr;
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
  // The last button of the row above the prompt, after which Tab goes into the page.
  ActionButton* m_lastActionButton = nullptr;
  ChatAttachmentView* m_chip = nullptr;
  ChatTextField* m_prompt = nullptr;
  QWidget* m_attachButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPointer<QWidget> m_deleteMessageWarning;
  QPointer<QWidget> m_clearConfirmation;
  std::array<FloatingPanelPresenter*, 5> m_panels{};
};

}  // namespace tessra
