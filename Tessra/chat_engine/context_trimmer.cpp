#include "Tessra/chat_engine/context_trimmer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/foundation/utf8.h"
#include "tokenizer/byte_pair_encoder.h"
#include "tokenizer/piece_scanner.h"

namespace tessra {

namespace {

// The encoder reads ill-formed UTF-8 as U+FFFD; the scanner needs the replaced text. The parts
// end in a space, so replacing part by part gives the same text as replacing the whole.
std::string validUtf8(std::string_view text) {
  if (platform::isValidUtf8(text)) return std::string(text);
  return platform::sanitizeUtf8(text);
}

}  // namespace

ContextTrimmer::ContextTrimmer(std::shared_ptr<const tokenizer::Encoding> encoding,
                               std::string_view head, const std::vector<std::string>& history,
                               std::string_view tail)
    : m_encoding(std::move(encoding)), m_head(validUtf8(head)) {
  m_buffer = m_head;
  m_starts.reserve(history.size() + 1);
  for (const std::string& text : history) {
    m_starts.push_back(m_buffer.size());
    m_buffer += validUtf8(text);
  }
  m_starts.push_back(m_buffer.size());
  m_buffer += validUtf8(tail);
  m_original = m_buffer;
  m_headAt = 0;
}

std::size_t ContextTrimmer::count(std::size_t first) {
  m_piecesScanned = 0;
  if (!m_encoding) return 0;
  first = std::min(first, m_starts.size() - 1);

  // Put the head right before the remaining history, over what earlier rounds dropped, and give
  // back to the buffer the bytes the previous head covered.
  const std::size_t headAt = m_starts[first] - m_head.size();
  if (headAt != m_headAt) {
    std::memcpy(m_buffer.data() + m_headAt, m_original.data() + m_headAt, m_head.size());
    std::memcpy(m_buffer.data() + headAt, m_head.data(), m_head.size());
    m_headAt = headAt;
  }
  const std::string_view text(m_buffer.data() + headAt, m_buffer.size() - headAt);

  const std::optional<tokenizer::ScannerKind> scannerKind = m_encoding->regex().scanner();
  if (!scannerKind) return countWhole(text);

  // Piece starts met in this round beyond the head: distance from the end, tokens before them.
  std::vector<std::pair<std::size_t, std::size_t>> starts;
  tokenizer::PieceScanner scanner(*scannerKind, text);
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

std::size_t ContextTrimmer::firstKeptMessage(std::int64_t limit, const DropObserver& onDrop) {
  const std::size_t historyCount = m_starts.size() - 1;
  for (std::size_t first = 0;; ++first) {
    if (static_cast<std::int64_t>(count(first)) <= limit || first == historyCount) return first;
    if (onDrop) onDrop(historyCount - first);
  }
}

std::size_t ContextTrimmer::countWhole(std::string_view text) const {
  return m_encoding->encode(text).size();
}

std::size_t ContextTrimmer::tokensOfPiece(std::string_view piece) {
  const tokenizer::Ranks& ranks = m_encoding->mergeableRanks();
  // As the encoder does: a whole vocabulary entry, or a single byte, is one token.
  if (piece.size() == 1 || ranks.find(piece) != tokenizer::kNoRank) return 1;
  m_scratch.clear();
  tokenizer::bytePairEncodeFast(piece, ranks, m_scratch);
  return m_scratch.size();
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
