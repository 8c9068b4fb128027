// The list of slash commands above the prompt box: filtered by what follows the "/", one row
// highlighted, moved by the Up and Down arrows that the prompt box forwards as notifications.
// The highlighted command is handed to the prompt box, whose Return runs it. Rows are not
// clickable. GUI thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

#include "Tessra/prompt_input/chat_text_field_completion_command.h"
#include "platform/foundation/notification_center.h"

class QScrollArea;

namespace tessra {

class ChatTextFieldCompletionView : public QWidget {
  Q_OBJECT

 public:
  using Command = ChatTextFieldCompletionCommand;
  // Writes the prompt box's chosen command.
  using CommandBinding = std::function<void(std::optional<Command>)>;

  static constexpr int kListHeight = 200;
  static constexpr int kPadding = 8;

  explicit ChatTextFieldCompletionView(CommandBinding commandToBeExecuted,
                                       QWidget* parent = nullptr);
  ~ChatTextFieldCompletionView() override;

  // Runs for every new prompt text that begins with "/".
  void filterCommands(const QString& searchText);
  void moveSelectionUp();
  void moveSelectionDown();
  void resetSelection();

  const std::vector<Command>& filteredCommands() const { return m_filteredCommands; }
  int selectedItem() const { return m_selectedItem; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  class Rows;

  void select(int index);
  void scrollToSelection();

  CommandBinding m_commandToBeExecuted;
  std::vector<Command> m_filteredCommands;
  int m_selectedItem = 0;
  QScrollArea* m_scrollArea;
  Rows* m_rows;
  platform::NotificationCenter::ObserverToken m_upObserver;
  platform::NotificationCenter::ObserverToken m_downObserver;
};

}  // namespace tessra
