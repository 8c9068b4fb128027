#include "aiclient/server_sent_events.h"

#include <utility>

namespace tessra::aiclient {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Enough of the leftover to recognise it in a log; the rest is kept in `leftover()`.
constexpr std::size_t kLeftoverShown = 120;

std::string shownLeftover(const std::string& leftover) {
  if (leftover.size() <= kLeftoverShown) return leftover;
  return leftover.substr(0, kLeftoverShown) + "…";
}

}  // namespace

UnfinishedEventError::UnfinishedEventError(std::string leftover)
    : Error("The answer ended in the middle of an event.", shownLeftover(leftover)),
      m_leftover(std::move(leftover)) {}

ServerSentEventParser::LineResult ServerSentEventParser::readLine(std::string_view line) {
  if (m_atStart) {
    m_atStart = false;
    if (line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
  }
  if (line.empty()) return m_hasData ? LineResult::event : LineResult::nothing;
  if (line.front() == ':') return LineResult::nothing;

  const std::size_t colon = line.find(':');
  const std::string_view field = line.substr(0, colon);
  if (field != "data") return LineResult::nothing;

  std::string_view value;
  if (colon != std::string_view::npos) {
    value = line.substr(colon + 1);
    if (value.starts_with(' ')) value.remove_prefix(1);
  }
  if (m_hasData) m_data.push_back('\n');
  m_data.append(value);
  m_hasData = true;
  return LineResult::nothing;
}

std::string_view ServerSentEventParser::takeEvent() {
  // The two buffers trade places, so a long stream reuses their memory.
  m_hasData = false;
  m_event.swap(m_data);
  m_data.clear();
  return m_event;
}

std::optional<std::string> ServerSentEventParser::finish() {
  m_skipLineFeed = false;
  // An unfinished comment carries nothing that was lost.
  if (m_line.starts_with(':')) m_line.clear();
  if (!m_hasData && m_line.empty()) return std::nullopt;
  std::string leftover(takeEvent());
  if (!m_line.empty()) {
    if (!leftover.empty()) leftover.push_back('\n');
    leftover.append(std::exchange(m_line, std::string()));
  }
  return leftover;
}

}  // namespace tessra::aiclient
