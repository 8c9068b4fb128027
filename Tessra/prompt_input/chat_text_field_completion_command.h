// The six slash commands the prompt box offers when its text begins with "/"; the chat view
// decides what each one does. A slash command is offered as an action that carries it: the
// action's text is the command's title, and the list shows the actions it is given.
//
//   setSlashCommand(*topics, ChatTextFieldCompletionCommand::listTopics);
//   slashCommandOf(*topics);  // listTopics
#pragma once

#include <QAction>
#include <QString>

#include <array>
#include <optional>

namespace tessra {

enum class ChatTextFieldCompletionCommand {
  openConversation = 0,
  listTopics = 1,
  pinWindow = 2,
  clearContext = 3,
  settings = 4,
  deleteAllMessages = 5,
};

// All six, in raw-value order.
inline constexpr std::array<ChatTextFieldCompletionCommand, 6> kAllChatTextFieldCompletionCommands =
    {ChatTextFieldCompletionCommand::openConversation,
     ChatTextFieldCompletionCommand::listTopics,
     ChatTextFieldCompletionCommand::pinWindow,
     ChatTextFieldCompletionCommand::clearContext,
     ChatTextFieldCompletionCommand::settings,
     ChatTextFieldCompletionCommand::deleteAllMessages};

// The command of a raw value; none outside 0 to 5.
std::optional<ChatTextFieldCompletionCommand> chatTextFieldCompletionCommand(int rawValue);

// The localized title, an emoji and a space before the name ("📌 Pin Window").
const QString& title(ChatTextFieldCompletionCommand command);

// Makes the action carry the slash command: its text becomes the command's title.
void setSlashCommand(QAction& action, ChatTextFieldCompletionCommand command);
// The slash command the action carries; none for an action that is no slash command.
std::optional<ChatTextFieldCompletionCommand> slashCommandOf(const QAction& action);

}  // namespace tessra
