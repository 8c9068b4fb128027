#include "Tessra/chat_window/chat_view.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <utility>

#include "Tessra/chat_window/attachment_chip.h"
#include "Tessra/chat_window/chat_notice.h"
#include "Tessra/chat_window/detached_answer_screen.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/side_pane_view.h"
#include "Tessra/chat_window/text_search_component.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/prompt_input/chat_attachment_button.h"
#include "Tessra/prompt_input/chat_attachment_on_drop_modifier.h"
#include "Tessra/prompt_input/chat_text_field.h"
#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/color_emoji.h"
#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/small_views.h"
#include "platform/foundation/logger.h"

namespace tessra {

namespace {

const QColor kHoverColor = palette::raisedBackground();
const QColor kDividerColor = palette::divider();
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
// buttons too, and let the chat show through them. Like a sheet in a window of its own, it keeps
// Tab and Shift+Tab going round its card's buttons: the controls under the shade are not there
// for the keyboard either, nor the prompt for a key typed at the card, which it would otherwise
// be given as stray typing, to be sent by the next Return while the card still asks.
class SheetBackdrop final : public QWidget {
 public:
  using QWidget::QWidget;

  // Gives the keyboard to the card's widget that had it last (at first the one given here): a
  // card shown again with the panel still asks, and keeps the keyboard from the prompt under it.
  void setKeyboardWidget(QWidget* widget) { m_keyboardWidget = widget; }
  void takeKeyboard() {
    if (m_keyboardWidget) m_keyboardWidget->setFocus(Qt::OtherFocusReason);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 90));
  }
  void showEvent(QShowEvent*) override {
    m_forwardingPause.emplace();
    if (!m_focusBefore) m_focusBefore = window()->focusWidget();
  }
  void hideEvent(QHideEvent*) override {
    m_forwardingPause.reset();
    if (QWidget* focus = window()->focusWidget(); focus != nullptr && isAncestorOf(focus))
      m_keyboardWidget = focus;
    // Answered or dismissed, not just hidden with the panel: the keyboard goes back where it was
    // (the prompt), where the commands and the typing work again. Left inside the card, it would
    // be on no widget at all.
    if (isHidden() && m_focusBefore && m_focusBefore->isVisible())
      m_focusBefore->setFocus(Qt::OtherFocusReason);
  }

  bool focusNextPrevChild(bool next) override {
    QList<QWidget*> stops;
    for (QWidget* widget = nextInFocusChain(); widget != this; widget = widget->nextInFocusChain())
      if (isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) &&
          widget->isVisibleTo(this) && widget->isEnabled())
        stops.append(widget);
    if (stops.isEmpty()) return true;
    const qsizetype at = stops.indexOf(focusWidget());
    const qsizetype count = stops.size();
    const qsizetype to = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    stops[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }

 private:
  std::optional<PromptKeyForwardingPause> m_forwardingPause;
  QPointer<QWidget> m_focusBefore;
  QPointer<QWidget> m_keyboardWidget;
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

}  // namespace

ChatView::ChatView(ChatSource source, ChatViewSignals& hub, QWidget* parent, UserSettings& settings)
    : QWidget(parent),
      m_source(source),
      m_signals(&hub),
      m_settings(settings),
      m_controller(hub, settings),
      m_windowPosition(settings.value(setting::popupPosition)),
      m_chatAttachment(new PendingAttachment(this)) {
  connect(m_chatAttachment, &PendingAttachment::changed, this, &ChatView::chatAttachmentChanged);
  connect(m_chatAttachment, &PendingAttachment::unreadableImageOffered, this,
          [this] { m_page->tellImageNotAttached(); });
  setBackground(this, palette::secondaryBackground());
  buildPanels();
  m_commands = new ChatCommands(*this, *this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  QWidget* column = buildMainColumn();
  m_mainColumn = column;
  // The side list opening or closing moves the chat under a card.
  column->installEventFilter(this);
  const auto& contents = ChatPanelContents::shared();
  QWidget* list = contents.sidePane ? contents.sidePane(hub, source) : nullptr;
  if (list) setBackground(list, palette::tertiaryBackground());
  m_sidePane = new SidePaneView(column, list, source, m_windowPosition, this);
  layout->addWidget(m_sidePane);
  m_dimmer = new Shade(this, kDimOpacity);
  m_dimmer->setVisible(hub.overlayCount() >= 1);

  observe();
  updateHeaderButton();
  updatePinSymbol();
  updateBusyControls();
}

ChatView::~ChatView() {
  // The controller goes after this body and stops the answer under way as it goes: what it says
  // then must not reach a view that is half gone.
  disconnect(&m_controller, nullptr, this, nullptr);
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
  connect(m_page, &MessagesWebView::deleteMessageRequested, this, &ChatView::requestDeleteMessage);
  connect(m_page, &MessagesWebView::showMessageRequested, this,
          [this](const std::string& sessionID, const std::string& messageID) {
            QPointer<ChatView> self(this);
            // The answer's own window takes the panel's place, unless the panel is pinned.
            DetachedAnswerScreen::open(sessionID, messageID, [self] {
              if (self && !self->pinWindow()) emit self->closeRequested();
            });
          });
  connect(m_page, &MessagesWebView::isEmptyChanged, &m_controller,
          &ChatController::setSessionIsEmpty);
  layout->addWidget(m_page, 1);
  m_notice = new ChatNotice(column);
  layout->addWidget(m_notice);
  layout->addWidget(divider(column));
  layout->addWidget(buildActionRow());
  // The page, with a link or a button for every message, comes after the panel's own controls:
  // Tab from the prompt passes them all before it walks the page, and leaves it for the prompt.
  // Qt orders only widgets that take the keyboard; the page takes it through its browser's own
  // widget, which the order moves with it.
  m_page->setFocusPolicy(Qt::StrongFocus);
  setTabOrder(m_lastActionButton, m_page);

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
  QAction* sidePane = m_commands->action(ChatCommand::sidePane);
  m_sidePaneButtonLeading = new ActionButton(sidePane, style, header);
  m_sidePaneButtonTrailing = new ActionButton(sidePane, style, header);
  for (ActionButton* button : {m_sidePaneButtonLeading, m_sidePaneButtonTrailing})
    button->setIconSize(QSize(18, 18));

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
  connect(m_modelBadge, &QPushButton::clicked, &m_controller, &ChatController::editCurrentSettings);
  layout->addWidget(m_modelBadge);

  for (ChatCommand command : {ChatCommand::showTopics, ChatCommand::deleteAllMessages,
                              ChatCommand::clearContext, ChatCommand::pinWindow}) {
    ActionButton* button = m_commands->button(command, rowButtonStyle(), Qt::LeftEdge, row);
    button->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(button);
    if (command == ChatCommand::clearContext) m_contextBreakButton = button;
    m_lastActionButton = button;
  }
  layout->addStretch(1);
  return row;
}

QWidget* ChatView::buildInputRow() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(16, 0, 16, 8);
  layout->setSpacing(8);

  m_prompt = new ChatTextField(row);
  m_prompt->setEnterToSend(true);
  m_prompt->setCommands(m_commands->slashCommands());
  connect(m_prompt, &ChatTextField::sendRequested, this, &ChatView::sendMessage);
  connect(m_prompt, &ChatTextField::attachmentPasted, this,
          [this](const ChatAttachment& attachment) { setChatAttachment(attachment); });
  connect(m_prompt, &ChatTextField::unreadableImagePasted, this,
          [this](const UnreadableImage& image) { m_chatAttachment->take(image); });
  connect(m_prompt, &ChatTextField::commandChosen, m_commands, &ChatCommands::executeCommand);
  connect(m_prompt, &ChatTextField::textChanged, this, [this] { emit textChanged(text()); });
  layout->addWidget(m_prompt, 1);

  m_attachButton = new ChatAttachmentButton(m_chatAttachment, row);
  layout->addWidget(m_attachButton, 0, Qt::AlignBottom);

  m_cancelButton = new FlatButton(LocalizedText::General::cancel(),
                                  FlatButtonStyle{.customBase = palette::destructive()}, row);
  connect(m_cancelButton, &QPushButton::clicked, &m_controller, &ChatController::stopGenerating);
  layout->addWidget(m_cancelButton, 0, Qt::AlignBottom);
  return row;
}

QWidget* ChatView::buildToolbar() {
  auto* bar = new QWidget(this);
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(16, 0, 16, 12);
  for (ChatCommand command : {ChatCommand::settings, ChatCommand::newConversation}) {
    ActionButton* button = m_commands->button(command, toolbarButtonStyle(), Qt::TopEdge, bar);
    button->setIconSize(QSize(18, 18));
    layout->addWidget(button);
  }
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
  QPointer<ChatController> controller(&m_controller);
  return factory(ChatPanelContext{*m_signals, m_source, panel, m_controller.sessionID(),
                                  [controller](const std::string& id) {
                                    if (controller) controller->setSessionID(id);
                                  },
                                  m_editingConversation});
}

void ChatView::observe() {
  connect(&m_controller, &ChatController::sessionIDChanged, m_page, &MessagesWebView::setSessionID);
  connect(&m_controller, &ChatController::sessionDetailsChanged, this,
          &ChatView::showSessionDetails);
  connect(&m_controller, &ChatController::noticeChanged, this, &ChatView::showNotice);
  connect(&m_controller, &ChatController::busyChanged, this, &ChatView::updateBusyControls);
  connect(&m_controller, &ChatController::keyRequired, this,
          [this] { panel(Panel::enterApiKey)->setPresented(true); });
  connect(&m_controller, &ChatController::readyToSend, this, [this] {
    std::optional<platform::HeldKeys> held = std::exchange(m_keysWhileSendWaits, std::nullopt);
    sendMessage();
    if (held) held->giveTo(*this);
  });
  connect(&m_controller, &ChatController::questionWritten, this, &ChatView::releaseSentQuestion);
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
  connect(m_sidePane, &SidePaneView::presentingChanged, this, &ChatView::sidePaneVisibleChanged);
  m_settings.onValueChanged(setting::popupPosition, this, &ChatView::updatePopupPosition);
}

void ChatView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!m_appeared) {
    m_appeared = true;
    if (m_controller.sessionID().empty()) m_controller.openLatestConversation();
  }
  if (QWidget* card = confirmation()) {
    static_cast<SheetBackdrop*>(card)->takeKeyboard();
    return;
  }
  focusPrompt();
}

void ChatView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutOverlays();
}

bool ChatView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_mainColumn && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
    layoutOverlays();
  return QWidget::eventFilter(watched, event);
}

void ChatView::layoutOverlays() {
  // The shade covers the whole view; its card stands in the middle of the chat it is about, not
  // of the view with the side list.
  const QRect chat(m_mainColumn->mapTo(this, QPoint(0, 0)), m_mainColumn->size());
  const QMargins aside(chat.left(), 0, width() - chat.right() - 1, 0);
  for (QWidget* sheet : {m_deleteMessageWarning.data(), m_clearConfirmation.data()}) {
    if (!sheet) continue;
    sheet->setGeometry(rect());
    sheet->layout()->setContentsMargins(aside);
  }
}

// State -------------------------------------------------------------------------------------

void ChatView::showSessionDetails() {
  m_nameLabel->setText(m_controller.sessionName());
  m_nameLabel->update();

  delete m_badgeLabel;
  auto* badge =
      new BadgeLabel(QString::fromUtf8(displayTitle(m_controller.sessionModel())), m_modelBadge);
  badge->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_modelBadge->layout()->addWidget(badge);
  m_modelBadge->setFixedSize(badge->sizeHint());
  m_badgeLabel = badge;
}

void ChatView::showNotice() {
  if (const auto& notice = m_controller.notice()) {
    m_notice->present(notice->text, notice->reason);
    return;
  }
  m_notice->dismiss();
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

bool ChatView::isDimmed() const { return !m_dimmer->isHidden(); }

void ChatView::focusPrompt() { m_prompt->focusInput(); }

// Sending -----------------------------------------------------------------------------------

void ChatView::sendMessage() {
  SentQuestion question{text(), chatAttachment()};
  if (!m_controller.send(question.text, question.attachment)) {
    if (m_controller.sendWaitsForKeyring() && !m_keysWhileSendWaits) m_keysWhileSendWaits.emplace();
    return;
  }
  // Shown as sent only once it is on disk: until then a crash finds it here.
  m_sentQuestion = std::move(question);
}

void ChatView::releaseSentQuestion() {
  if (!m_sentQuestion) return;
  const SentQuestion sent = *std::exchange(m_sentQuestion, std::nullopt);
  // What the user typed after it, or in place of it, stays theirs.
  if (const QString now = text(); now.startsWith(sent.text)) setText(now.mid(sent.text.size()));
  if (chatAttachment() == sent.attachment) setChatAttachment(std::nullopt);
}

void ChatView::requestDeleteMessage(const std::string& id) {
  m_deleteMessageId = id;
  if (m_deleteMessageWarning) {
    dismissConfirmations();
    return;
  }
  presentConfirmation(m_deleteMessageWarning, LocalizedText::Chat::messageDeletionTitle(),
                      [this] { m_controller.deleteMessage(m_deleteMessageId); });
}

void ChatView::toggleClearMessagesConfirmation() {
  if (m_clearConfirmation) {
    dismissConfirmations();
    return;
  }
  presentConfirmation(m_clearConfirmation, LocalizedText::Chat::allMessagesDeletionTitle(),
                      [this] { m_controller.clearMessages(); });
}

void ChatView::updateBusyControls() {
  const bool busy = m_controller.busy();
  m_attachButton->setVisible(!busy);
  m_cancelButton->setVisible(busy);
  // The next state of a streaming answer would undo the mark.
  m_commands->action(ChatCommand::clearContext)->setEnabled(!busy);
}

// Commands ----------------------------------------------------------------------------------

void ChatView::togglePinWindow() { setPinWindow(!m_pinWindow); }

void ChatView::setPinWindow(bool pinned) {
  if (pinned == m_pinWindow) return;
  m_pinWindow = pinned;
  updatePinSymbol();
  emit pinWindowChanged(pinned);
}

void ChatView::updatePinSymbol() {
  m_commands->action(ChatCommand::pinWindow)
      ->setIcon(m_pinWindow ? lineSymbol(u"pin", palette::highlightedText(), 45)
                            : lineSymbol(u"pin", ChatCommands::symbolColor()));
}

void ChatView::openSettings() { showSettingsWindow(); }

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
  emit closeRequested();
}

void ChatView::updatePopupPosition() {
  m_windowPosition = m_settings.value(setting::popupPosition);
  updateHeaderButton();
}

void ChatView::updateHeaderButton() {
  m_sidePaneButtonLeading->setVisible(m_windowPosition == PopupPosition::left);
  m_sidePaneButtonTrailing->setVisible(m_windowPosition == PopupPosition::right);
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
  layoutOverlays();
  backdrop->show();
  backdrop->raise();
  // Return answers with the focused button: never the destructive one unasked.
  backdrop->setKeyboardWidget(card->cancelButton());
  backdrop->takeKeyboard();
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
