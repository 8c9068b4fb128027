#include "Tessra/prompt_input/chat_text_field_completion_command.h"

#include "Tessra/ui_foundation/localized_text.h"

namespace tessra {

std::optional<ChatTextFieldCompletionCommand> chatTextFieldCompletionCommand(int rawValue) {
  if (rawValue < 0 || rawValue >= static_cast<int>(kAllChatTextFieldCompletionCommands.size()))
    return std::nullopt;
  return static_cast<ChatTextFieldCompletionCommand>(rawValue);
}

const QString& title(ChatTextFieldCompletionCommand command) {
  using Chat = LocalizedText::Chat;
  switch (command) {
    case ChatTextFieldCompletionCommand::openConversation:
      return Chat::openConversationCommand();
    case ChatTextFieldCompletionCommand::listTopics:
      return Chat::listTopicsCommand();
    case ChatTextFieldCompletionCommand::pinWindow:
      return Chat::pinWindowCommand();
    case ChatTextFieldCompletionCommand::clearContext:
      return Chat::clearContextCommand();
    case ChatTextFieldCompletionCommand::settings:
      return Chat::settingsCommand();
    case ChatTextFieldCompletionCommand::deleteAllMessages:
      return Chat::deleteAllMessagesCommand();
  }
  return Chat::openConversationCommand();
}

void setSlashCommand(QAction& action, ChatTextFieldCompletionCommand command) {
  action.setText(title(command));
  action.setData(QVariant::fromValue(command));
}

std::optional<ChatTextFieldCompletionCommand> slashCommandOf(const QAction& action) {
  const QVariant data = action.data();
  if (data.metaType() != QMetaType::fromType<ChatTextFieldCompletionCommand>()) return std::nullopt;
  return data.value<ChatTextFieldCompletionCommand>();
}

}  // namespace tessra
