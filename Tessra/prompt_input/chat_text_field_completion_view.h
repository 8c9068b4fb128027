// The list of slash commands above the prompt box: the actions it is given that carry a slash
// command, by their titles, filtered by what follows the "/", one row highlighted, moved by the
// Up and Down arrows of the prompt box. The highlighted command goes to the prompt box
// (`commandToBeExecutedChanged`), whose Return runs it. Rows are not clickable. GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

#include "Tessra/prompt_input/chat_text_field_completion_command.h"

class QScrollArea;

namespace tessra {

class ChatTextFieldCompletionView : public QWidget {
  Q_OBJECT

 public:
  using Command = ChatTextFieldCompletionCommand;

  static constexpr int kListHeight = 200;
  static constexpr int kPadding = 8;

  explicit ChatTextFieldCompletionView(QWidget* parent = nullptr);
  ~ChatTextFieldCompletionView() override;

  // The commands offered: those of `actions` that carry a slash command, in the commands' order.
  void setCommands(const QList<QAction*>& actions);

  // Runs for every new prompt text that begins with "/".
  void filterCommands(const QString& searchText);
  void moveSelectionUp();
  void moveSelectionDown();
  void resetSelection();

  std::vector<Command> filteredCommands() const;
  int selectedItem() const { return m_selectedItem; }

 signals:
  // The highlighted command, none when no row is.
  void commandToBeExecutedChanged(std::optional<ChatTextFieldCompletionCommand> command);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class Rows;

  void select(int index);
  void scrollToSelection();

  std::vector<QPointer<QAction>> m_allCommands;
  std::vector<QPointer<QAction>> m_filteredCommands;
  int m_selectedItem = 0;
  QScrollArea* m_scrollArea;
  Rows* m_rows;
};

}  // namespace tessra
