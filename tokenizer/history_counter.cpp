#include "tokenizer/history_counter.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "platform/foundation/utf8.h"
#include "tokenizer/encoding.h"
#include "tokenizer/piece_scanner.h"

namespace tessra::tokenizer {

namespace {

// The encoder reads ill-formed UTF-8 as U+FFFD; the scanner needs the replaced text. The parts
// end in a space, so replacing part by part gives the same text as replacing the whole.
std::string validUtf8(std::string_view text) {
  if (platform::isValidUtf8(text)) return std::string(text);
  return platform::sanitizeUtf8(text);
}

constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

}  // namespace

HistoryCounter::HistoryCounter(const Encoding& encoding, std::string_view head,
                               std::span<const std::string> history, std::string_view tail)
    : m_encoding(encoding),
      m_history(history),
      m_head(validUtf8(head)),
      m_taken(history.size()),
      m_toEnd(history.size() + 1, 0),
      m_longestToken(std::max<std::size_t>(1, encoding.mergeableRanks().longestEntry())) {
  m_begin = m_head.size();
  m_buffer.assign(m_begin, '\0');
  // The question may carry a long attachment: copied once, unless it must be replaced.
  if (platform::isValidUtf8(tail))
    m_buffer.append(tail);
  else
    m_buffer += platform::sanitizeUtf8(tail);
  m_toEnd[history.size()] = m_buffer.size() - m_begin;
}

std::size_t HistoryCounter::count(std::size_t first) { return countUpTo(first, kNoLimit); }

bool HistoryCounter::fits(std::size_t first, std::size_t limit) {
  return countUpTo(first, limit) <= limit;
}

void HistoryCounter::takeIn(std::size_t first) {
  if (first >= m_taken) return;
  const std::size_t count = m_taken - first;
  // Views of the texts, each replaced when it is ill-formed; reserved so that no view moves.
  std::vector<std::string> replaced;
  replaced.reserve(count);
  std::vector<std::string_view> parts(count);
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::string_view text = m_history[first + i];
    if (!platform::isValidUtf8(text)) text = replaced.emplace_back(platform::sanitizeUtf8(text));
    parts[i] = text;
    bytes += text.size();
  }
  // Grown by doubling, the text taken in stays at the end and its distances from the end hold.
  if (m_begin < bytes + m_head.size()) {
    const std::size_t used = m_buffer.size() - m_begin;
    const std::size_t size = std::max(2 * m_buffer.size(), used + bytes + m_head.size());
    std::string grown(size, '\0');
    std::memcpy(grown.data() + size - used, m_buffer.data() + m_begin, used);
    m_buffer = std::move(grown);
    m_begin = size - used;
  }
  for (std::size_t i = count; i-- > 0;) {
    m_begin -= parts[i].size();
    std::memcpy(m_buffer.data() + m_begin, parts[i].data(), parts[i].size());
    m_toEnd[first + i] = m_buffer.size() - m_begin;
  }
  m_taken = first;
}

void HistoryCounter::liftHead() {
  std::memcpy(m_buffer.data() + m_headAt, m_covered.data(), m_covered.size());
  m_covered.clear();
}

std::size_t HistoryCounter::placeHead(std::size_t first) {
  m_headAt = startOf(first) - m_head.size();
  m_covered.assign(m_buffer, m_headAt, m_head.size());
  std::memcpy(m_buffer.data() + m_headAt, m_head.data(), m_head.size());
  return m_headAt;
}

std::size_t HistoryCounter::countUpTo(std::size_t first, std::size_t limit) {
  m_piecesScanned = 0;
  first = std::min(first, historySize());

  // The head goes right before the remaining history: into the room in front of the text taken
  // in, or over messages this round drops, whose bytes come back before the next round moves it.
  if (first < m_taken || startOf(first) - m_head.size() != m_headAt || m_covered.empty()) {
    liftHead();
    takeIn(first);
    placeHead(first);
  }
  const std::string_view text(m_buffer.data() + m_headAt, m_buffer.size() - m_headAt);

  const std::optional<ScannerKind> scannerKind = m_encoding.regex().scanner();
  if (!scannerKind) return m_encoding.encode(text).size();

  // Piece starts met in this round beyond the head: distance from the end, tokens before them.
  std::vector<std::pair<std::size_t, std::size_t>> starts;
  PieceScanner scanner(*scannerKind, text);
  std::size_t tokens = 0;
  std::size_t position = 0;
  std::size_t total = 0;
  for (;;) {
    if (position >= m_head.size()) {
      const std::size_t toEnd = text.size() - position;
      if (const auto known = m_tokensToEnd.find(toEnd); known != m_tokensToEnd.end()) {
        total = tokens + known->second;
        break;
      }
      starts.emplace_back(toEnd, tokens);
    }
    const std::string_view piece = scanner.next();
    if (piece.empty()) {
      total = tokens;
      break;
    }
    ++m_piecesScanned;
    // Every token is a vocabulary entry or one byte, so a long piece may pass the limit by its
    // length alone, before any merging. A round that passes it keeps no starts: their counts to
    // the end are not known.
    if (limit != kNoLimit && tokens + (piece.size() + m_longestToken - 1) / m_longestToken > limit)
      return limit + 1;
    tokens += tokensOfPiece(piece);
    if (tokens > limit) return tokens;
    position = static_cast<std::size_t>(piece.data() - text.data()) + piece.size();
  }
  for (const auto& [toEnd, before] : starts) m_tokensToEnd.emplace(toEnd, total - before);
  return total;
}

std::size_t HistoryCounter::tokensOfPiece(std::string_view piece) {
  const Ranks& ranks = m_encoding.mergeableRanks();
  // As the encoder does: a whole vocabulary entry, or a single byte, is one token.
  if (piece.size() == 1 || ranks.find(piece) != kNoRank) return 1;
  m_scratch.clear();
  bytePairEncodeFast(piece, ranks, m_scratch);
  return m_scratch.size();
}

}  // namespace tessra::tokenizer
