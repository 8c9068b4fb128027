// The chat window's commands, each defined once: one action with its text and hint from the
// string table, its symbol, its keys and what it does. The window's buttons show them, their
// hover hints read the hint and the keys in the desktop's words ("Ctrl+T"), the keys work wherever
// the focus is inside the chat view (the message page included), and the commands that carry a
// slash title are the prompt's slash list.
//
//   auto* commands = new ChatCommands(view);
//   row->addWidget(commands->button(ChatCommand::pinWindow, style, Qt::LeftEdge, row));
//   prompt->setCommands(commands->slashCommands());
//   commands->runSlashCommand(ChatTextFieldCompletionCommand::listTopics);  // shows the topics
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
#include "Tessra/prompt_input/chat_text_field_completion_command.h"

namespace tessra {

class ChatView;

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
  // The symbols' colour.
  static const QColor& symbolColor();

  // Defines every command on `view`, the parent, whose focus subtree their keys work in.
  explicit ChatCommands(ChatView& view);

  QAction* action(ChatCommand command) const {
    return m_actions[static_cast<std::size_t>(command)];
  }
  // The commands that carry a slash title.
  QList<QAction*> slashCommands() const;
  // Shows what a command that shows a panel shows; triggers any other command.
  void runSlashCommand(ChatTextFieldCompletionCommand command) const;
  // A square button that shows the command, with a hover hint of its hint and keys whose arrow
  // is on `arrowEdge`.
  ActionButton* button(ChatCommand command, const ActionButtonStyle& style, Qt::Edge arrowEdge,
                       QWidget* parent) const;

 private:
  class Builder;
  Builder define(ChatCommand command);

  ChatView& m_view;
  std::array<QAction*, static_cast<std::size_t>(ChatCommand::escape) + 1> m_actions{};
};

}  // namespace tessra
