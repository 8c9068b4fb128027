#include "Tessra/chat_engine/context_trimmer.h"

#include <utility>

namespace tessra {

ContextTrimmer::ContextTrimmer(std::shared_ptr<const tokenizer::Encoding> encoding,
                               std::string_view head, std::vector<std::string> history,
                               std::string_view tail)
    : m_encoding(std::move(encoding)), m_history(std::move(history)) {
  if (m_encoding) m_counter.emplace(m_encoding->historyCounter(head, m_history, tail));
}

std::size_t ContextTrimmer::count(std::size_t first) {
  return m_counter ? m_counter->count(first) : 0;
}

bool ContextTrimmer::fits(std::size_t first, std::int64_t limit) {
  if (limit < 0) return false;
  return !m_counter || m_counter->fits(first, static_cast<std::size_t>(limit));
}

std::size_t ContextTrimmer::firstKeptMessage(std::int64_t limit, const DropObserver& onDrop) {
  std::size_t first = m_history.size();
  if (fits(first, limit)) {
    while (first > 0 && fits(first - 1, limit)) --first;
  }
  if (onDrop) {
    for (std::size_t dropped = 0; dropped < first; ++dropped) onDrop(m_history.size() - dropped);
  }
  return first;
}

std::size_t firstKeptMessageByRecounting(const tokenizer::Encoding* encoding, std::string_view head,
                                         const std::vector<std::string>& history,
                                         std::string_view tail, std::int64_t limit,
                                         const ContextTrimmer::DropObserver& onDrop) {
  for (std::size_t first = 0;; ++first) {
    std::string text(head);
    for (std::size_t i = first; i < history.size(); ++i) text += history[i];
    text += tail;
    const std::size_t count = encoding ? encoding->encode(text).size() : 0;
    if (static_cast<std::int64_t>(count) <= limit || first == history.size()) return first;
    if (onDrop) onDrop(history.size() - first);
  }
}

}  // namespace tessra
