// What a keyboard-driven search list knows, apart from its widgets: the rows' texts, the search,
// the rows it keeps and the one selected row.
//
//   SearchListState state({"🍎 Apples", "🍐 Pears"});
//   state.setSearchText("pe");           // keeps row 1, selects the first kept row
//   state.moveSelectionDown();           // wraps around at both ends
//   std::optional<int> row = state.submit();  // 1: the selected row's index among all rows
//
// A row is kept when its text in lower case contains the search text in lower case; a search
// that is only white space keeps every row. The selection may lie outside the kept rows (-1 after
// Up on an empty list); then nothing is submitted. Plain value; any thread.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tessra {

class SearchListState {
 public:
  SearchListState() = default;
  explicit SearchListState(QStringList texts);

  // Replaces the rows: every row kept, the first one selected, the search kept as text only.
  void setRows(QStringList texts);
  const QStringList& texts() const { return m_texts; }

  const QString& searchText() const { return m_searchText; }
  // Filters anew and selects the first kept row, so that Enter after narrowing opens it.
  void setSearchText(const QString& text);

  // The kept rows, as indexes into `texts()`, in their order.
  const std::vector<int>& filtered() const { return m_filtered; }
  int count() const { return static_cast<int>(m_filtered.size()); }

  int selectedItem() const { return m_selectedItem; }
  bool hasSelection() const { return m_selectedItem >= 0 && m_selectedItem < count(); }
  void select(int item) { m_selectedItem = item; }
  void moveSelectionDown();
  void moveSelectionUp();

  // The selected row's index into `texts()`, when the selection lies on a kept row.
  std::optional<int> submit() const;

 private:
  void filter();

  QStringList m_texts;
  QStringList m_lowerTexts;
  QString m_searchText;
  std::vector<int> m_filtered;
  int m_selectedItem = 0;
};

}  // namespace tessra
