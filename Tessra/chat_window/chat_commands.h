// The chat window's commands, each defined once: one action with its text and hint from the
// string table, its symbol, its keys and what it does. The window's buttons show them, their
// hover hints read the hint and the keys in the desktop's words ("Ctrl+T"), the keys work wherever
// the focus is inside the chat view (the message page included), and the commands with a slash
// title are the prompt's slash list, in the order they are defined.
//
//   auto* commands = new ChatCommands(*view, *view);
//   row->addWidget(commands->button(ChatCommand::pinWindow, style, Qt::LeftEdge, row));
//   prompt->setCommands(commands->slashCommands());
//   connect(prompt, &ChatTextField::commandChosen, commands, &ChatCommands::executeCommand);
//
// A command that shows a panel is checked while its panel is shown: its keys show or hide the
// panel, its slash command only shows it. GUI thread only.
#pragma once

#include <QAction>
#include <QList>
#include <QObject>

#include <array>
#include <cstddef>

#include "Tessra/chat_window/action_button_style.h"

namespace tessra {

class ChatController;
class FloatingPanelPresenter;

enum class ChatCommand {
  showTopics,
  deleteAllMessages,
  clearContext,
  pinWindow,
  settings,
  newConversation,
  openConversation,
  search,
  sidePane,
  escape,
};

class ChatCommands final : public QObject {
  Q_OBJECT

 public:
  // What the commands act on: the chat view, as its commands see it.
  class Target {
   public:
    // The floating panels of the view.
    enum class Panel {
      conversationList,
      topicList,
      newConversation,
      enterApiKey,
      conversationSettings,
    };

    virtual ChatController& controller() = 0;
    virtual FloatingPanelPresenter* panel(Panel which) const = 0;
    virtual bool searchVisible() const = 0;
    virtual void setSearchVisible(bool visible) = 0;
    virtual bool isSidePaneVisible() const = 0;
    virtual void setSidePaneVisible(bool visible) = 0;
    virtual void togglePinWindow() = 0;
    virtual void openSettings() = 0;
    virtual void handleEscape() = 0;
    virtual void toggleClearMessagesConfirmation() = 0;
    virtual void toggleNewConversation() = 0;

   protected:
    ~Target() = default;
  };

  // The symbols' colour.
  static const QColor& symbolColor();

  // Defines every command on `target`, whose panels must exist already. `scope`, the parent, is
  // the widget whose focus subtree the keys work in.
  ChatCommands(Target& target, QWidget& scope);

  QAction* action(ChatCommand command) const {
    return m_actions[static_cast<std::size_t>(command)];
  }
  // The commands with a slash title, in the order they are defined.
  const QList<QAction*>& slashCommands() const { return m_slashCommands; }
  // Runs a command chosen in the slash list: one that shows a panel only shows it, any other is
  // triggered.
  void executeCommand(QAction* command) const;
  // A square button that shows the command, with a hover hint of its hint and keys whose arrow
  // is on `arrowEdge`.
  ActionButton* button(ChatCommand command, const ActionButtonStyle& style, Qt::Edge arrowEdge,
                       QWidget* parent) const;

 private:
  class Builder;
  Builder define(ChatCommand command);

  QWidget& m_scope;
  std::array<QAction*, static_cast<std::size_t>(ChatCommand::escape) + 1> m_actions{};
  QList<QAction*> m_slashCommands;
};

}  // namespace tessra
