#include "Tessra/navigation/search_list_state.h"

#include <numeric>

namespace tessra {

SearchListState::SearchListState(QStringList texts) { setRows(std::move(texts)); }

void SearchListState::setRows(QStringList texts) {
  m_texts = std::move(texts);
  m_lowerTexts.clear();
  m_lowerTexts.reserve(m_texts.size());
  for (const QString& text : m_texts) m_lowerTexts.push_back(text.toLower());
  m_filtered.resize(m_texts.size());
  std::iota(m_filtered.begin(), m_filtered.end(), 0);
  m_selectedItem = 0;
}

void SearchListState::setSearchText(const QString& text) {
  m_searchText = text;
  filter();
  m_selectedItem = 0;
}

void SearchListState::filter() {
  m_filtered.clear();
  const bool all = m_searchText.trimmed().isEmpty();
  const QString search = m_searchText.toLower();
  for (int i = 0; i < m_lowerTexts.size(); ++i)
    if (all || m_lowerTexts[i].contains(search)) m_filtered.push_back(i);
}

void SearchListState::moveSelectionDown() {
  const int next = m_selectedItem + 1;
  m_selectedItem = next < count() ? next : 0;
}

void SearchListState::moveSelectionUp() {
  const int previous = m_selectedItem - 1;
  m_selectedItem = previous >= 0 ? previous : count() - 1;
}

std::optional<int> SearchListState::submit() const {
  if (!hasSelection()) return std::nullopt;
  return m_filtered[static_cast<std::size_t>(m_selectedItem)];
}

}  // namespace tessra
