// The list of slash commands above the prompt box: the actions it is given, by their texts, in
// the order given, filtered by what follows the "/", one row highlighted, moved by the Up and Down
// arrows of the prompt box. The highlighted action goes to the prompt box
// (`commandToBeExecutedChanged`), whose Return reports it. Rows are not clickable. GUI thread only.
#pragma once

#include <QAction>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <vector>

class QScrollArea;

namespace tessra {

class ChatTextFieldCompletionView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kListHeight = 200;
  static constexpr int kPadding = 8;

  explicit ChatTextFieldCompletionView(QWidget* parent = nullptr);
  ~ChatTextFieldCompletionView() override;

  // The commands offered, each shown by its text.
  void setCommands(const QList<QAction*>& actions);

  // Runs for every new prompt text that begins with "/".
  void filterCommands(const QString& searchText);
  void moveSelectionUp();
  void moveSelectionDown();
  void resetSelection();

  QList<QAction*> filteredCommands() const;
  int selectedItem() const { return m_selectedItem; }

 signals:
  // The highlighted command, null when no row is.
  void commandToBeExecutedChanged(QAction* command);

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
