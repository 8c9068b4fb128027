#include "Tessra/chat_window/chat_commands.h"

#include "Tessra/chat_window/chat_controller.h"
#include "Tessra/chat_window/chat_symbols.h"
#include "Tessra/chat_window/chat_view.h"
#include "Tessra/chat_window/floating_panel_presenter.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/small_views.h"

namespace tessra {

// Fills in one command's action, a part at a time.
class ChatCommands::Builder {
 public:
  explicit Builder(QAction& action) : m_action(action) {}

  // The text of the command's hover hint; also its text unless it carries a slash title.
  Builder& hint(const QString& text) {
    m_action.setToolTip(text);
    if (!slashCommandOf(m_action)) m_action.setText(text);
    return *this;
  }
  Builder& symbol(QStringView name) {
    m_action.setIcon(chatSymbol(name, symbolColor()));
    return *this;
  }
  Builder& keys(const QKeySequence& keys) {
    m_action.setShortcut(keys);
    return *this;
  }
  // The command's title in the slash list, which is its text whatever the hint says.
  Builder& slash(ChatTextFieldCompletionCommand command) {
    setSlashCommand(m_action, command);
    return *this;
  }
  // Checked exactly while the panel is shown; toggling the action shows or hides it.
  Builder& shows(FloatingPanelPresenter& panel) {
    m_action.setCheckable(true);
    m_action.setChecked(panel.isPresented());
    connect(&m_action, &QAction::toggled, &panel, &FloatingPanelPresenter::setPresented);
    connect(&panel, &FloatingPanelPresenter::isPresentedChanged, &m_action, &QAction::setChecked);
    return *this;
  }
  template <typename Slot>
  Builder& runs(Slot slot) {
    connect(&m_action, &QAction::triggered, &m_action, std::move(slot));
    return *this;
  }

 private:
  QAction& m_action;
};

const QColor& ChatCommands::symbolColor() {
  static const QColor kColor = palette::faintText();
  return kColor;
}

ChatCommands::ChatCommands(ChatView& view) : QObject(&view), m_view(view) {
  using Chat = LocalizedText::Chat;
  using Panel = ChatView::Panel;
  using Slash = ChatTextFieldCompletionCommand;
  ChatView* chat = &view;

  define(ChatCommand::showTopics)
      .slash(Slash::listTopics)
      .hint(Chat::showTopics())
      .symbol(u"list.bullet")
      .keys(Qt::CTRL | Qt::Key_T)
      .shows(*view.panel(Panel::topicList));
  define(ChatCommand::deleteAllMessages)
      .slash(Slash::deleteAllMessages)
      .hint(Chat::deleteAllMessages())
      .symbol(u"trash")
      .keys(Qt::CTRL | Qt::Key_R)
      .runs([chat] { chat->toggleClearMessagesConfirmation(); });
  define(ChatCommand::clearContext)
      .slash(Slash::clearContext)
      .hint(Chat::clearContext())
      .symbol(u"brain")
      .keys(Qt::CTRL | Qt::Key_J)
      .runs([chat] { chat->controller().toggleEndContext(); });
  define(ChatCommand::pinWindow)
      .slash(Slash::pinWindow)
      .hint(Chat::pinWindow())
      .symbol(u"pin")
      .keys(Qt::CTRL | Qt::Key_P)
      .runs([chat] { chat->togglePinWindow(); });
  define(ChatCommand::settings)
      .slash(Slash::settings)
      .hint(LocalizedText::General::settings())
      .symbol(u"gearshape")
      .keys(Qt::CTRL | Qt::Key_Comma)
      .runs([chat] { chat->openSettings(); });
  define(ChatCommand::newConversation)
      .hint(Chat::newConversation())
      .symbol(u"plus")
      .keys(Qt::CTRL | Qt::Key_N)
      .runs([chat] { chat->toggleNewConversation(); });
  define(ChatCommand::openConversation)
      .slash(Slash::openConversation)
      .keys(Qt::CTRL | Qt::Key_K)
      .shows(*view.panel(Panel::conversationList));
  define(ChatCommand::search).keys(Qt::CTRL | Qt::Key_F).runs([chat] {
    chat->setSearchVisible(!chat->searchVisible());
  });
  define(ChatCommand::sidePane).symbol(u"sidebar.right").runs([chat] {
    chat->setSidePaneVisible(!chat->isSidePaneVisible());
  });
  define(ChatCommand::escape).keys(Qt::Key_Escape).runs([chat] { chat->handleEscape(); });
}

ChatCommands::Builder ChatCommands::define(ChatCommand command) {
  auto* action = new QAction(this);
  action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  m_view.addAction(action);
  m_actions[static_cast<std::size_t>(command)] = action;
  return Builder(*action);
}

QList<QAction*> ChatCommands::slashCommands() const {
  QList<QAction*> commands;
  for (QAction* action : m_actions)
    if (slashCommandOf(*action)) commands.append(action);
  return commands;
}

void ChatCommands::runSlashCommand(ChatTextFieldCompletionCommand command) const {
  for (QAction* action : m_actions) {
    if (slashCommandOf(*action) != command) continue;
    if (action->isCheckable()) {
      action->setChecked(true);
    } else {
      action->trigger();
    }
    return;
  }
}

ActionButton* ChatCommands::button(ChatCommand command, const ActionButtonStyle& style,
                                   Qt::Edge arrowEdge, QWidget* parent) const {
  QAction* shown = action(command);
  auto* button = new ActionButton(shown, style, parent);
  if (!shown->toolTip().isEmpty()) {
    const QString keys = shown->shortcut().toString(QKeySequence::NativeText);
    new HintPopover(button, shown->toolTip(),
                    keys.isEmpty() ? std::nullopt : std::optional<QString>(keys), arrowEdge);
  }
  return button;
}

}  // namespace tessra
