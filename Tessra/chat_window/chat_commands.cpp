#include "Tessra/chat_window/chat_commands.h"

#include "Tessra/chat_window/chat_controller.h"
#include "Tessra/chat_window/floating_panel_presenter.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/small_views.h"

namespace tessra {

// Fills in one command's action, a part at a time.
class ChatCommands::Builder {
 public:
  Builder(ChatCommands& commands, QAction& action) : m_commands(commands), m_action(action) {}

  // The text of the command's hover hint; also its text unless it has a slash title.
  Builder& hint(const QString& text) {
    m_action.setToolTip(text);
    if (m_action.text().isEmpty()) m_action.setText(text);
    return *this;
  }
  Builder& symbol(QStringView name) {
    m_action.setIcon(lineSymbol(name, symbolColor()));
    return *this;
  }
  Builder& keys(const QKeySequence& keys) {
    m_action.setShortcut(keys);
    return *this;
  }
  // Offers the command in the slash list under `title`, which is its text whatever the hint says.
  Builder& slash(const QString& title) {
    m_action.setText(title);
    m_commands.m_slashCommands.append(&m_action);
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
  ChatCommands& m_commands;
  QAction& m_action;
};

const QColor& ChatCommands::symbolColor() {
  static const QColor kColor = palette::faintText();
  return kColor;
}

ChatCommands::ChatCommands(Target& target, QWidget& scope) : QObject(&scope), m_scope(scope) {
  using Chat = LocalizedText::Chat;
  using Panel = Target::Panel;
  Target* chat = &target;

  define(ChatCommand::openConversation)
      .slash(Chat::openConversationCommand())
      .keys(Qt::CTRL | Qt::Key_K)
      .shows(*target.panel(Panel::conversationList));
  define(ChatCommand::showTopics)
      .slash(Chat::listTopicsCommand())
      .hint(Chat::showTopics())
      .symbol(u"list.bullet")
      .keys(Qt::CTRL | Qt::Key_T)
      .shows(*target.panel(Panel::topicList));
  define(ChatCommand::pinWindow)
      .slash(Chat::pinWindowCommand())
      .hint(Chat::pinWindow())
      .symbol(u"pin")
      .keys(Qt::CTRL | Qt::Key_P)
      .runs([chat] { chat->togglePinWindow(); });
  define(ChatCommand::clearContext)
      .slash(Chat::clearContextCommand())
      .hint(Chat::clearContext())
      .symbol(u"brain")
      .keys(Qt::CTRL | Qt::Key_J)
      .runs([chat] { chat->controller().toggleEndContext(); });
  define(ChatCommand::settings)
      .slash(Chat::settingsCommand())
      .hint(LocalizedText::General::settings())
      .symbol(u"gearshape")
      .keys(Qt::CTRL | Qt::Key_Comma)
      .runs([chat] { chat->openSettings(); });
  define(ChatCommand::deleteAllMessages)
      .slash(Chat::deleteAllMessagesCommand())
      .hint(Chat::deleteAllMessages())
      .symbol(u"trash")
      .keys(Qt::CTRL | Qt::Key_R)
      .runs([chat] { chat->toggleClearMessagesConfirmation(); });
  define(ChatCommand::newConversation)
      .hint(Chat::newConversation())
      .symbol(u"plus")
      .keys(Qt::CTRL | Qt::Key_N)
      .runs([chat] { chat->toggleNewConversation(); });
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
  m_scope.addAction(action);
  m_actions[static_cast<std::size_t>(command)] = action;
  return Builder(*this, *action);
}

void ChatCommands::executeCommand(QAction* command) const {
  if (!command) return;
  if (command->isCheckable()) {
    command->setChecked(true);
    return;
  }
  command->trigger();
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
