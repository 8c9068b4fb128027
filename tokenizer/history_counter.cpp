#include "tokenizer/history_counter.h"

#include <algorithm>
#include <cstring>
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

}  // namespace

HistoryCounter::HistoryCounter(const Encoding& encoding, std::string_view head,
                               const std::vector<std::string>& history, std::string_view tail)
    : m_encoding(encoding), m_head(validUtf8(head)) {
  m_buffer = m_head;
  m_starts.reserve(history.size() + 1);
  for (const std::string& text : history) {
    m_starts.push_back(m_buffer.size());
    m_buffer += validUtf8(text);
  }
  m_starts.push_back(m_buffer.size());
  m_buffer += validUtf8(tail);
  m_original = m_buffer;
}

std::size_t HistoryCounter::count(std::size_t first) {
  m_piecesScanned = 0;
  first = std::min(first, historySize());

  // Put the head right before the remaining history, over what earlier rounds dropped, and give
  // back to the buffer the bytes the previous head covered.
  const std::size_t headAt = m_starts[first] - m_head.size();
  if (headAt != m_headAt) {
    std::memcpy(m_buffer.data() + m_headAt, m_original.data() + m_headAt, m_head.size());
    std::memcpy(m_buffer.data() + headAt, m_head.data(), m_head.size());
    m_headAt = headAt;
  }
  const std::string_view text(m_buffer.data() + headAt, m_buffer.size() - headAt);

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
    tokens += tokensOfPiece(piece);
    position = static_cast<std::size_t>(piece.data() - text.data()) + piece.size();
    ++m_piecesScanned;
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
