// The keyboard-driven search list of the switcher and the topic list: a search field, the kept
// rows with one selected, a line and the key hint, on the panels' dark rounded card.
//
//   auto* list = new SearchListView(isVisible, parent);
//   list->setRows(names, currentRow);
//   connect(list, &SearchListView::submitted, this, [&](int row) { open(ids[row]); });
//
// Typing filters (SearchListState); Up, Down and Tab move the selection with wrap-around and keep
// the focus in the field; Enter or a click submits the selected row and closes the panel through
// `isVisible`; Escape only closes it. Rows are painted by one delegate over a model, so the list
// makes as many widgets for 10,000 rows as for 10. GUI thread only.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QWidget>

#include <memory>

#include "Tessra/navigation/search_list_state.h"
#include "Tessra/ui_foundation/small_views.h"

namespace tessra {

class SearchListView final : public QWidget {
  Q_OBJECT

 public:
  explicit SearchListView(BoolBinding isVisible, QWidget* parent = nullptr);
  ~SearchListView() override;

  // Replaces the rows: `texts` are searched; `labels`, when given, are shown in their place.
  // `highlightedRow` (an index into `texts`) is marked as the current one.
  void setRows(QStringList texts, int highlightedRow = -1, QStringList labels = {});

  const SearchListState& state() const { return m_state; }
  QLineEdit* searchField() const { return m_field; }
  QListView* listView() const { return m_list; }
  QLabel* hintLabel() const { return m_hint; }

  void moveSelectionDown();
  void moveSelectionUp();
  // Emits `submitted` for a selected row, then closes the panel.
  void openSelected();

 signals:
  // The selected row (an index into the rows given) was chosen; the panel closes after this.
  void submitted(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  class Model;

  void searchTextChanged(const QString& text);
  void selectionMoved(int previous);
  // Handles the list's keys; false for any other key.
  bool handleKey(const QKeyEvent& event);

  BoolBinding m_isVisible;
  SearchListState m_state;
  QStringList m_labels;
  Model* m_model = nullptr;
  QLineEdit* m_field = nullptr;
  QListView* m_list = nullptr;
  QLabel* m_hint = nullptr;
};

}  // namespace tessra
