#include "Tessra/chat_window/chat_view.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

#include "Tessra/chat_engine/chat_gpt_api.h"
#include "Tessra/chat_window/answer_task.h"
#include "Tessra/chat_window/attachment_chip.h"
#include "Tessra/chat_window/chat_notice.h"
#include "Tessra/chat_window/chat_symbols.h"
#include "Tessra/chat_window/detached_answer_screen.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/side_pane_view.h"
#include "Tessra/chat_window/text_search_component.h"
#include "Tessra/prompt_input/chat_attachment_button.h"
#include "Tessra/prompt_input/chat_attachment_on_drop_modifier.h"
#include "Tessra/prompt_input/chat_text_field.h"
#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/constants.h"
#include "Tessra/storage/settings_keys.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/color_emoji.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/small_views.h"
#include "platform/foundation/logger.h"

namespace tessra {

namespace {

const QColor kSymbolColor("#79818a");
const QColor kHoverColor("#383a3f");
const QColor kDividerColor("#242529");
constexpr double kDimOpacity = 0.6;
constexpr double kVeilOpacity = 0.1;

// A single-line label that cuts its text at the tail to fit its width.
class TailElidedLabel final : public QLabel {
 public:
  explicit TailElidedLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    drawColorEmojiText(painter, contentsRect(), Qt::AlignLeft, text());
  }
};

// Black at some opacity over its parent, taking no clicks: the faint veil always over the main
// column, and the dimming of the whole chat while a floating panel is open over it. It keeps its
// parent's size and stays above the siblings made before it.
class Shade final : public QWidget {
 public:
  Shade(QWidget* parent, double opacity) : QWidget(parent), m_opacity(opacity) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(parent->rect());
    parent->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
      setGeometry(parentWidget()->rect());
      raise();
    }
    return false;
  }

  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QColor black(Qt::black);
    black.setAlphaF(m_opacity);
    painter.fillRect(rect(), black);
  }

 private:
  double m_opacity;
};

// The backdrop of a confirmation card: shades the chat and holds the card in its middle. It
// paints the shade itself: a style sheet's background would reach the card and its labels and
// buttons too, and let the chat show through them.
class SheetBackdrop final : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 90));
  }
};

QFrame* divider(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFixedHeight(2);
  line->setAutoFillBackground(true);
  QPalette colors = line->palette();
  colors.setColor(QPalette::Window, kDividerColor);
  line->setPalette(colors);
  return line;
}

void setBackground(QWidget* widget, const QColor& color) {
  QPalette colors = widget->palette();
  colors.setColor(QPalette::Window, color);
  widget->setPalette(colors);
  widget->setAutoFillBackground(true);
}

ActionButtonStyle rowButtonStyle() {
  return {24, palette::secondaryBackground(), kHoverColor, kHoverColor};
}

ActionButtonStyle toolbarButtonStyle() {
  return {36, palette::secondaryBackground(), kHoverColor, kHoverColor};
}

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

}  // namespace

ChatView::ChatView(ChatSource source, ChatViewSignals& hub, ChatViewHost host, QWidget* parent,
                   UserSettings& settings)
    : QWidget(parent),
      m_source(source),
      m_signals(&hub),
      m_host(std::move(host)),
      m_settings(settings),
      m_sessionModel(settings.openAiModel()),
      m_pinWindow(m_host.isWindowPinned ? m_host.isWindowPinned() : false),
      m_windowPosition(settings_keys::popupWindowPosition()),
      m_chatAttachment(new PendingAttachment(this)) {
  connect(m_chatAttachment, &PendingAttachment::changed, this, &ChatView::chatAttachmentChanged);
  setBackground(this, palette::secondaryBackground());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  QWidget* column = buildMainColumn();
  const auto& contents = ChatPanelContents::shared();
  QWidget* list = contents.sidePane ? contents.sidePane(hub, source) : nullptr;
  if (list) setBackground(list, palette::tertiaryBackground());
  m_sidePane = new SidePaneView(column, list, source, settings_keys::popupWindowPosition(), this);
  layout->addWidget(m_sidePane);
  m_dimmer = new Shade(this, kDimOpacity);
  m_dimmer->setVisible(hub.overlayCount() >= 1);

  buildPanels();
  buildShortcuts();
  observe();
  updateHeaderButton();
  updatePinButton();
  updateBusyControls();
}

ChatView::~ChatView() {
  if (m_messageTask) m_messageTask->stop();
}

// Layout ------------------------------------------------------------------------------------

QWidget* ChatView::buildMainColumn() {
  auto* column = new QWidget(this);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(buildHeader());

  m_searchBar = new TextSearchComponent(*m_signals, m_source, column);
  m_searchBar->setVisible(false);
  connect(m_searchBar, &TextSearchComponent::closeRequested, this,
          [this] { setSearchVisible(false); });
  layout->addWidget(m_searchBar);
  layout->addWidget(divider(column));

  m_page = new MessagesWebView(m_source, *m_signals, column);
  m_page->setOnDeleteMessage([this](const std::string& id) { requestDeleteMessage(id); });
  m_page->setOnShowMessage([this](const std::string& sessionID, const std::string& messageID) {
    DetachedAnswerScreen::open(sessionID, messageID, m_host.closeWindow);
  });
  connect(m_page, &MessagesWebView::isEmptyChanged, this,
          [this](bool isEmpty) { m_sessionIsEmpty = isEmpty; });
  layout->addWidget(m_page, 1);
  m_notice = new ChatNotice(column);
  layout->addWidget(m_notice);
  layout->addWidget(divider(column));
  layout->addWidget(buildActionRow());

  m_chip = new ChatAttachmentView(m_chatAttachment, column);
  layout->addWidget(m_chip);
  layout->addWidget(buildInputRow());
  layout->addWidget(buildToolbar());

  // Dropped images and texts become the pending attachment wherever they land in the column.
  new ChatAttachmentOnDropModifier(column, m_chatAttachment);
  new Shade(column, kVeilOpacity);
  return column;
}

QWidget* ChatView::buildHeader() {
  auto* header = new QWidget(this);
  setBackground(header, palette::background());
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(16, 8, 16, 8);

  const ActionButtonStyle style{36, palette::background(), kHoverColor, kHoverColor};
  const QIcon symbol = chatSymbol(u"sidebar.right", kSymbolColor);
  m_sidePaneButtonLeading = new ActionButton(symbol, style, header);
  m_sidePaneButtonTrailing = new ActionButton(symbol, style, header);
  for (ActionButton* button : {m_sidePaneButtonLeading, m_sidePaneButtonTrailing}) {
    button->setIconSize(QSize(18, 18));
    connect(button, &QAbstractButton::clicked, this,
            [this] { setSidePaneVisible(!isSidePaneVisible()); });
  }

  m_nameLabel = new TailElidedLabel(header);
  QFont font = m_nameLabel->font();
  font.setPixelSize(18);
  font.setWeight(QFont::DemiBold);
  m_nameLabel->setFont(font);
  QPalette colors = m_nameLabel->palette();
  colors.setColor(QPalette::WindowText, palette::white());
  m_nameLabel->setPalette(colors);

  row->addWidget(m_sidePaneButtonLeading);
  row->addWidget(m_nameLabel, 1);
  row->addWidget(m_sidePaneButtonTrailing);
  return header;
}

QWidget* ChatView::buildActionRow() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(16, 8, 16, 8);
  layout->setSpacing(4);

  m_modelBadge = new QPushButton(row);
  m_modelBadge->setFlat(true);
  m_modelBadge->setCursor(Qt::PointingHandCursor);
  m_modelBadge->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; }"));
  auto* badgeLayout = new QHBoxLayout(m_modelBadge);
  badgeLayout->setContentsMargins(0, 0, 0, 0);
  connect(m_modelBadge, &QPushButton::clicked, this, &ChatView::editCurrentSettings);
  layout->addWidget(m_modelBadge);

  const auto addButton = [&](QStringView symbol, const QString& hint, const QString& keys,
                             std::function<void()> action) {
    ActionButton* button =
        commandButton(row, symbol, rowButtonStyle(), hint, keys, Qt::LeftEdge, std::move(action));
    button->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(button);
    return button;
  };
  addButton(u"list.bullet", LocalizedText::Chat::showTopics(), QStringLiteral("Ctrl+T"),
            [this] { panel(Panel::topicList)->toggle(); });
  addButton(u"trash", LocalizedText::Chat::deleteAllMessages(), QStringLiteral("Ctrl+R"),
            [this] { toggleClearMessagesConfirmation(); });
  m_contextBreakButton = addButton(u"brain", LocalizedText::Chat::clearContext(),
                                   QStringLiteral("Ctrl+J"), [this] { toggleEndContext(); });
  m_pinButton = addButton(u"pin", LocalizedText::Chat::pinWindow(), QStringLiteral("Ctrl+P"),
                          [this] { togglePinWindow(); });
  layout->addStretch(1);
  return row;
}

ActionButton* ChatView::commandButton(QWidget* parent, QStringView symbol,
                                      const ActionButtonStyle& style, const QString& hint,
                                      const QString& keys, Qt::Edge arrowEdge,
                                      std::function<void()> action) {
  auto* button = new ActionButton(chatSymbol(symbol, kSymbolColor), style, parent);
  new HintPopover(button, hint, keys, arrowEdge);
  connect(button, &QAbstractButton::clicked, this, std::move(action));
  return button;
}

QWidget* ChatView::buildInputRow() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(16, 0, 16, 8);
  layout->setSpacing(8);

  m_prompt = new ChatTextField(row);
  m_prompt->setEnterToSend(true);
  m_prompt->setNewlineAction([this] { sendMessage(); });
  m_prompt->setOnPaste(
      [this](ChatAttachment attachment) { setChatAttachment(std::move(attachment)); });
  m_prompt->setExecuteCommand(
      [this](ChatTextFieldCompletionCommand command) { executeCommand(command); });
  connect(m_prompt, &ChatTextField::textChanged, this, [this] { emit textChanged(text()); });
  layout->addWidget(m_prompt, 1);

  m_attachButton = new ChatAttachmentButton(m_chatAttachment, row);
  layout->addWidget(m_attachButton, 0, Qt::AlignBottom);

  m_cancelButton =
      new FlatButton(LocalizedText::General::cancel(),
                     FlatButtonStyle{.customBase = palette::colorFromHex("#df4f4a")}, row);
  connect(m_cancelButton, &QPushButton::clicked, this, &ChatView::stopGenerating);
  layout->addWidget(m_cancelButton, 0, Qt::AlignBottom);
  return row;
}

QWidget* ChatView::buildToolbar() {
  auto* bar = new QWidget(this);
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(16, 0, 16, 12);
  const auto addButton = [&](QStringView symbol, const QString& hint, const QString& keys,
                             std::function<void()> action) {
    ActionButton* button = commandButton(bar, symbol, toolbarButtonStyle(), hint, keys, Qt::TopEdge,
                                         std::move(action));
    button->setIconSize(QSize(18, 18));
    layout->addWidget(button);
  };
  addButton(u"gearshape", LocalizedText::General::settings(), QStringLiteral("Ctrl+,"),
            [this] { openSettings(); });
  addButton(u"plus", LocalizedText::Chat::newConversation(), QStringLiteral("Ctrl+N"),
            [this] { toggleNewConversation(); });
  layout->addStretch(1);
  return bar;
}

void ChatView::buildPanels() {
  using Slot = ChatPanelFactory ChatPanelContents::*;
  const auto make = [this](Panel which, std::function<QRect()> rect, Slot slot, const char* what) {
    m_panels[static_cast<std::size_t>(which)] = new FloatingPanelPresenter(
        *m_signals, std::move(rect), false, true,
        [this, slot, what](FloatingPanel& panel) {
          return makePanelContent(ChatPanelContents::shared().*slot, panel, what);
        },
        this);
  };
  make(
      Panel::conversationList, [this] { return panelRect(340, 400); },
      &ChatPanelContents::conversationList, "conversation switcher");
  make(
      Panel::topicList, [this] { return panelRect(0.8, 0.6); }, &ChatPanelContents::topicList,
      "topic list");
  make(
      Panel::newConversation, [this] { return panelRect(440, 400); },
      &ChatPanelContents::newConversation, "new conversation");
  make(
      Panel::enterApiKey, [this] { return panelRect(450, 540); }, &ChatPanelContents::enterApiKey,
      "key entry");
  make(
      Panel::conversationSettings, [this] { return panelRect(0.9, 600, 600); },
      &ChatPanelContents::conversationSettings, "conversation settings");
}

QWidget* ChatView::makePanelContent(const ChatPanelFactory& factory, FloatingPanel& panel,
                                    const char* what) {
  if (!factory) {
    platform::logError("The chat window has no {} to show", what);
    return nullptr;
  }
  QPointer<ChatView> self(this);
  return factory(ChatPanelContext{*m_signals, m_source, panel, m_sessionID,
                                  [self](const std::string& id) {
                                    if (self) self->setSessionID(id);
                                  },
                                  m_editingConversation});
}

void ChatView::buildShortcuts() {
  const auto add = [this](const QKeySequence& keys, auto action) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, action);
  };
  add(QKeySequence(Qt::CTRL | Qt::Key_T), [this] { panel(Panel::topicList)->toggle(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_R), [this] { toggleClearMessagesConfirmation(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_J), [this] { toggleEndContext(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_P), [this] { togglePinWindow(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_Comma), [this] { openSettings(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_N), [this] { toggleNewConversation(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_K), [this] { panel(Panel::conversationList)->toggle(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { setSearchVisible(!m_searchVisible); });
  add(QKeySequence(Qt::Key_Escape), [this] { handleEscape(); });
}

void ChatView::observe() {
  connect(m_signals, &ChatViewSignals::setCurrentSessionID, this, &ChatView::setSessionID);
  connect(m_signals, &ChatViewSignals::editChatSession, this,
          [this](const Conversation& conversation) {
            m_editingConversation = conversation;
            panel(Panel::newConversation)->setPresented(true);
          });
  connect(m_signals, &ChatViewSignals::editChatSettings, this,
          [this](const Conversation& conversation) {
            m_editingConversation = conversation;
            panel(Panel::conversationSettings)->setPresented(true);
          });
  connect(m_signals, &ChatViewSignals::overlayCountChanged, this, [this](int count) {
    m_dimmer->setVisible(count >= 1);
    m_dimmer->raise();
  });
  // The badge shows the model the next request uses, also for a conversation that follows the
  // default.
  connect(&m_settings, &UserSettings::openAiModelChanged, this, &ChatView::refreshSessionDetails);
  connect(m_sidePane, &SidePaneView::presentingChanged, this, [this](bool visible) {
    if (m_host.setSideBarVisible) m_host.setSideBarVisible(visible);
    if (m_host.recalculateWindowSize) m_host.recalculateWindowSize();
  });

  QPointer<ChatView> self(this);
  auto& center = platform::NotificationCenter::defaultCenter();
  m_settingObserver =
      center.addObserver(std::string(notification_names::kConversationSettingDidChanged),
                         [self](const platform::Notification&) {
                           if (self) self->refreshSessionDetails();
                         });
  m_positionObserver =
      center.addObserver(std::string(notification_names::kFloatingWindowPositionDidChanged),
                         [self](const platform::Notification&) {
                           if (self) self->updatePopupPosition();
                         });
  m_fileObserver = center.addObserver(
      std::string(ChatSessionManager::kSessionFileStateDidChange),
      [self](const platform::Notification& notification) {
        if (self && notification.payload.value("sessionID", std::string()) == self->m_sessionID)
          self->updateNotice();
      });
}

void ChatView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!m_appeared) {
    m_appeared = true;
    if (m_sessionID.empty()) openFirstConversation();
  }
  focusPrompt();
}

void ChatView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutOverlays();
}

void ChatView::layoutOverlays() {
  for (QWidget* sheet : {m_deleteMessageWarning.data(), m_clearConfirmation.data()}) {
    if (sheet) sheet->setGeometry(rect());
  }
}

// State -------------------------------------------------------------------------------------

void ChatView::setSessionID(const std::string& sessionID) {
  if (sessionID == m_sessionID) return;
  if (!findConversation(sessionID)) {
    // Opening it would make the store invent an empty conversation and record it as the latest.
    platform::logError("There is no conversation \"{}\" to show", sessionID);
    return;
  }
  m_sessionID = sessionID;
  applySession(sessionID);
  emit sessionIDChanged(sessionID);
}

void ChatView::applySession(const std::string& sessionID) {
  refreshSessionDetails();
  stopGenerating();
  auto& store = ChatSessionManager::shared();
  if (!store.conversationList || store.conversationList->latestSessionID != sessionID) {
    if (store.conversationList) store.conversationList->latestSessionID = sessionID;
    store.saveConversationList();
  }
  m_page->setSessionID(sessionID);
  m_sendRefused = false;
  updateNotice();
  emit m_signals->setCurrentSessionID(sessionID);
}

void ChatView::updateNotice() {
  const auto& store = ChatSessionManager::shared();
  if (const auto unreadable = store.readError(m_sessionID)) {
    m_notice->present(m_sendRefused ? LocalizedText::Chat::questionRefused()
                                    : LocalizedText::Chat::conversationUnreadable(),
                      QString::fromStdString(*unreadable));
    return;
  }
  if (const auto unsaved = store.saveError(m_sessionID)) {
    m_notice->present(LocalizedText::Chat::conversationNotSaved(),
                      QString::fromStdString(*unsaved));
    return;
  }
  m_notice->dismiss();
}

void ChatView::refreshSessionDetails() {
  const Conversation* conversation = findConversation(m_sessionID);
  if (!conversation) return;
  m_sessionName = QString::fromStdString(conversation->name);
  m_sessionModel = conversation->config && conversation->config->model
                       ? *conversation->config->model
                       : m_settings.openAiModel();
  m_nameLabel->setText(m_sessionName);
  m_nameLabel->update();

  delete m_badgeLabel;
  auto* badge = new BadgeLabel(QString::fromUtf8(displayTitle(m_sessionModel)), m_modelBadge);
  badge->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_modelBadge->layout()->addWidget(badge);
  m_modelBadge->setFixedSize(badge->sizeHint());
  m_badgeLabel = badge;
}

const Conversation* ChatView::findConversation(const std::string& id) const {
  return ChatSessionManager::shared().conversation(id);
}

void ChatView::openFirstConversation() {
  auto& store = ChatSessionManager::shared();
  store.load();
  if (!store.conversationList || store.conversationList->conversations.empty()) return;
  const auto& latest = store.conversationList->latestSessionID;
  // A latest id that names no conversation any more (deleted elsewhere) falls back to the
  // first conversation, so the window never shows or sends into one the store does not hold.
  setSessionID(latest && findConversation(*latest)
                   ? *latest
                   : store.conversationList->conversations.front().id);
}

bool ChatView::holdsConversation(const std::string& id) {
  if (id.empty() || !findConversation(id)) return false;
  auto& store = ChatSessionManager::shared();
  if (store.sessions.contains(id)) return true;
  try {
    store.loadSession(id, false);
  } catch (const std::exception& error) {
    platform::logError("Cannot open the conversation to send into: {}", error.what());
    return false;
  }
  return store.sessions.contains(id);
}

bool ChatView::isSidePaneVisible() const { return m_sidePane->isPresenting(); }

void ChatView::setSidePaneVisible(bool visible) { m_sidePane->setPresenting(visible); }

void ChatView::setSearchVisible(bool visible) {
  if (visible == m_searchVisible) return;
  m_searchVisible = visible;
  m_searchBar->setVisible(visible);
  emit searchVisibleChanged(visible);
}

QString ChatView::searchText() const { return m_searchBar->searchText(); }

void ChatView::setSearchText(const QString& text) { m_searchBar->setSearchText(text); }

QString ChatView::text() const { return m_prompt->text(); }

void ChatView::setText(const QString& text) { m_prompt->setText(text); }

const std::optional<ChatAttachment>& ChatView::chatAttachment() const {
  return m_chatAttachment->value();
}

void ChatView::setChatAttachment(std::optional<ChatAttachment> attachment) {
  m_chatAttachment->set(std::move(attachment));
}

QWidget* ChatView::confirmation() const {
  if (m_deleteMessageWarning) return m_deleteMessageWarning;
  return m_clearConfirmation;
}

std::optional<ChatView::FocusStateField> ChatView::focusedState() const {
  if (m_prompt->isFocused()) return FocusStateField::input;
  return std::nullopt;
}

AnswerTask* ChatView::messageTask() const { return m_messageTask; }

bool ChatView::isDimmed() const { return !m_dimmer->isHidden(); }

void ChatView::focusPrompt() { m_prompt->focusInput(); }

// Sending -----------------------------------------------------------------------------------

void ChatView::sendMessage() {
  if (m_busy || m_sendWaitsForKeyring) return;
  if (isBlank(text()) && !chatAttachment()) return;
  if (!holdsConversation(m_sessionID)) {
    platform::logError("Not sent: the store holds no conversation \"{}\"", m_sessionID);
    m_sendRefused = true;
    updateNotice();
    return;
  }
  UserSettings& settings = m_settings;
  if (!settings.loaded()) {
    // Until the keyring has answered, "no key" is not known yet: the send waits for the answer
    // instead of showing the key form to a user whose key is stored.
    m_sendWaitsForKeyring = true;
    m_keyringConnection = connect(&settings, &UserSettings::loadedChanged, this, [this] {
      disconnect(m_keyringConnection);
      m_sendWaitsForKeyring = false;
      sendMessage();
    });
    return;
  }
  if (settings.openAiKey().empty()) {
    panel(Panel::enterApiKey)->setPresented(true);
    return;
  }
  startSend();
}

void ChatView::startSend() {
  setBusy(true);
  m_sessionIsEmpty = false;
  const std::string question = text().toStdString();
  std::optional<ChatAttachment> attachment = chatAttachment();
  setText(QString());
  setChatAttachment(std::nullopt);

  const ChatMessage message = AnswerTask::makeQuestion(question, attachment);
  auto* task = new AnswerTask(m_sessionID, message, this);
  m_messageTask = task;
  connect(task, &AnswerTask::messageChanged, this, &ChatView::announce);
  connect(task, &AnswerTask::finished, this, &ChatView::answerEnded);
  task->start(ChatGPTAPI::shared(), m_settings.openAiKey(), m_settings.openAiModel(),
              std::move(attachment));
  send(MessageUpdate::appendMessage(message));
}

void ChatView::announce(const ChatMessage& message, const std::string& sessionID) {
  if (sessionID == m_sessionID) send(MessageUpdate::editMessage(message));
}

void ChatView::answerEnded() {
  auto* task = qobject_cast<AnswerTask*>(sender());
  if (task && task == m_messageTask) setBusy(false);
  if (task) task->deleteLater();
}

void ChatView::stopGenerating() {
  if (m_messageTask) m_messageTask->stop();
  setBusy(false);
}

void ChatView::requestDeleteMessage(const std::string& id) {
  m_deleteMessageId = id;
  if (m_deleteMessageWarning) {
    dismissConfirmations();
    return;
  }
  presentConfirmation(m_deleteMessageWarning, LocalizedText::Chat::messageDeletionTitle(),
                      [this] { deleteMessage(m_deleteMessageId); });
}

void ChatView::toggleClearMessagesConfirmation() {
  if (m_clearConfirmation) {
    dismissConfirmations();
    return;
  }
  presentConfirmation(m_clearConfirmation, LocalizedText::Chat::allMessagesDeletionTitle(),
                      [this] { clearMessages(); });
}

void ChatView::deleteMessage(const std::string& id) {
  stopGenerating();
  auto& store = ChatSessionManager::shared();
  const std::optional<std::size_t> previous = store.previousMessageIndex(id, m_sessionID);
  store.deleteMessage(id, m_sessionID);
  send(MessageUpdate::deleteMessage(id));
  if (!previous) return;
  const auto session = store.sessions.find(m_sessionID);
  if (session == store.sessions.end() || *previous >= session->second.messages.size()) return;
  send(MessageUpdate::editMessage(session->second.messages[*previous]));
}

void ChatView::clearMessages() {
  stopGenerating();
  ChatSessionManager::shared().clearMessages(m_sessionID);
  send(MessageUpdate::clearMessages());
  m_sessionIsEmpty = true;
}

void ChatView::toggleEndContext() {
  // The next state of a streaming answer replaces the whole message and would undo the mark.
  if (m_busy) return;
  auto& store = ChatSessionManager::shared();
  std::optional<ChatMessage> last = store.lastMessage(m_sessionID);
  if (!last) return;
  last->endContext = !last->endContext;
  store.upsertMessage(*last, m_sessionID);
  if (last->finished) store.saveSession(m_sessionID);
  send(MessageUpdate::editMessage(*last));
}

void ChatView::setBusy(bool busy) {
  if (busy == m_busy) return;
  m_busy = busy;
  updateBusyControls();
  emit busyChanged(busy);
}

void ChatView::updateBusyControls() {
  m_attachButton->setVisible(!m_busy);
  m_cancelButton->setVisible(m_busy);
  m_contextBreakButton->setEnabled(!m_busy);
}

void ChatView::send(const MessageUpdate& update) {
  if (m_signals) emit m_signals->messageUpdates(update);
}

// Commands ----------------------------------------------------------------------------------

void ChatView::togglePinWindow() {
  m_pinWindow = !m_pinWindow;
  if (m_host.setWindowPinned) m_host.setWindowPinned(m_pinWindow);
  updatePinButton();
}

void ChatView::updatePinButton() {
  m_pinButton->setIcon(m_pinWindow ? chatSymbol(u"pin", palette::highlightedText(), 45)
                                   : chatSymbol(u"pin", kSymbolColor));
}

void ChatView::openSettings() { showSettingsWindow(); }

void ChatView::executeCommand(ChatTextFieldCompletionCommand command) {
  switch (command) {
    case ChatTextFieldCompletionCommand::openConversation:
      panel(Panel::conversationList)->setPresented(true);
      return;
    case ChatTextFieldCompletionCommand::listTopics:
      panel(Panel::topicList)->setPresented(true);
      return;
    case ChatTextFieldCompletionCommand::pinWindow:
      togglePinWindow();
      return;
    case ChatTextFieldCompletionCommand::clearContext:
      toggleEndContext();
      return;
    case ChatTextFieldCompletionCommand::settings:
      openSettings();
      return;
    case ChatTextFieldCompletionCommand::deleteAllMessages:
      toggleClearMessagesConfirmation();
      return;
  }
}

void ChatView::handleEscape() {
  if (confirmation()) {
    dismissConfirmations();
    return;
  }
  if (m_searchVisible) {
    if (!searchText().isEmpty()) {
      setSearchText(QString());
      return;
    }
    setSearchVisible(false);
    focusPrompt();
    return;
  }
  if (!text().isEmpty() || chatAttachment()) {
    setText(QString());
    setChatAttachment(std::nullopt);
    return;
  }
  if (m_pinWindow) {
    togglePinWindow();
    return;
  }
  if (m_host.closeWindow) m_host.closeWindow();
}

void ChatView::updatePopupPosition() {
  m_windowPosition = settings_keys::popupWindowPosition();
  updateHeaderButton();
}

void ChatView::updateHeaderButton() {
  m_sidePaneButtonLeading->setVisible(m_windowPosition == PopupPosition::left);
  m_sidePaneButtonTrailing->setVisible(m_windowPosition == PopupPosition::right);
}

void ChatView::editCurrentSettings() {
  if (const Conversation* conversation = findConversation(m_sessionID))
    emit m_signals->editChatSettings(*conversation);
}

void ChatView::toggleNewConversation() {
  // Ctrl+N makes a new conversation: a rename asked for earlier must not be what opens.
  m_editingConversation.reset();
  panel(Panel::newConversation)->toggle();
}

// Panels and sheets -------------------------------------------------------------------------

QRect ChatView::panelRect(double width, double height, std::optional<double> maxWidth,
                          std::optional<double> maxHeight) const {
  const QRect frame = window()->geometry();
  const auto extent = [](double value, int available, std::optional<double> cap) {
    double size = value > 0 && value <= 1 ? value * available : value;
    if (cap) size = std::min(size, *cap);
    return static_cast<int>(size);
  };
  QRect rect(0, 0, extent(width, frame.width(), maxWidth),
             extent(height, frame.height(), maxHeight));
  rect.moveCenter(frame.center());
  return rect;
}

void ChatView::presentConfirmation(QPointer<QWidget>& slot, const QString& title,
                                   std::function<void()> confirm) {
  auto* backdrop = new SheetBackdrop(this);
  slot = backdrop;
  QPointer<QWidget> sheet(backdrop);
  QPointer<QWidget>* owner = &slot;
  auto* card = new ConfirmationView(
      [&](ConfirmationView::Configuration configuration) {
        configuration.title = title;
        configuration.style = ConfirmationView::Style::destructive;
        configuration.confirmActionText = LocalizedText::General::deleteAction();
        configuration.confirmAction = std::move(confirm);
        return configuration;
      },
      BoolBinding{[sheet] { return !sheet.isNull() && sheet->isVisible(); },
                  [sheet, owner](bool presented) {
                    if (presented || !sheet) return;
                    if (*owner == sheet) *owner = nullptr;
                    sheet->hide();
                    sheet->deleteLater();
                  }},
      LocalizedText::General::continueAction(), LocalizedText::General::cancel(), backdrop);
  auto* layout = new QVBoxLayout(backdrop);
  layout->addWidget(card, 0, Qt::AlignCenter);
  backdrop->setGeometry(rect());
  backdrop->show();
  backdrop->raise();
  // Return answers with the focused button: never the destructive one unasked.
  card->cancelButton()->setFocus(Qt::OtherFocusReason);
}

void ChatView::dismissConfirmations() {
  for (QPointer<QWidget>* sheet : {&m_deleteMessageWarning, &m_clearConfirmation}) {
    if (!*sheet) continue;
    (*sheet)->hide();
    (*sheet)->deleteLater();
    *sheet = nullptr;
  }
}

}  // namespace tessra
