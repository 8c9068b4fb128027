// Finds how much history a request can keep under a model's token limit.
//
// The counted text of a request is a fixed head (the system prompt), the history messages
// oldest first, and a fixed tail (the question); each part is already in its counted form
// (text followed by a space). Trimming drops the oldest history message while the count of
// head + remaining history + tail is over the limit, one message per round, and stops when it
// fits or nothing is left to drop:
//
//   ContextTrimmer trimmer(encoding, head, historyTexts, tail);
//   std::size_t first = trimmer.firstKeptMessage(4096, [](std::size_t left) { ... log ... });
//
// The count of every round is exactly the token count of that round's whole text, but a round
// costs only the text near the join of head and history. Two facts make that hold: the split
// patterns look ahead but never behind, so a scan that reaches a position where an earlier scan
// of the same remaining text started a piece finds the same pieces from there on; and a piece's
// tokens depend on the piece alone. The first round scans everything and keeps, for every piece
// start inside history and tail, the tokens from there to the end; later rounds scan the head and
// the start of the remaining history only until they meet one of those starts. Patterns without
// a hand-written scanner are counted whole every round.
//
// Not thread-safe; one trimmer belongs to one request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tokenizer/encoding.h"

namespace tessra {

class ContextTrimmer {
 public:
  // Told before each drop with the number of history messages still in the request.
  using DropObserver = std::function<void(std::size_t historyCount)>;

  // A null encoding counts every text as 0 tokens.
  ContextTrimmer(std::shared_ptr<const tokenizer::Encoding> encoding, std::string_view head,
                 const std::vector<std::string>& history, std::string_view tail);

  // The tokens of head + history[first...] + tail (`first` is clamped to the history's size).
  // Rounds in increasing order cost least; any order counts right.
  std::size_t count(std::size_t first);

  // The index of the oldest history message kept: the first round whose count is at most
  // `limit`, or the history's size when even the head and tail alone are over it.
  std::size_t firstKeptMessage(std::int64_t limit, const DropObserver& onDrop = nullptr);

  // How many pieces the last `count` call scanned (for tests of the incremental path).
  std::size_t piecesScannedLastRound() const { return m_piecesScanned; }

 private:
  std::size_t countWhole(std::string_view text) const;
  std::size_t tokensOfPiece(std::string_view piece);

  std::shared_ptr<const tokenizer::Encoding> m_encoding;
  std::string m_head;
  // head, then every history text, then the tail; the head is copied in front of the history
  // that remains before each round, over messages already dropped.
  std::string m_buffer;
  // The buffer as it was made, to give back what a head copy covered.
  std::string m_original;
  std::size_t m_headAt = 0;
  // Where each history message begins in `m_buffer`; the tail's start last.
  std::vector<std::size_t> m_starts;
  // For each piece start found so far in history or tail: its distance from the end of the
  // text, and the tokens from there to the end.
  std::unordered_map<std::size_t, std::size_t> m_tokensToEnd;
  bool m_scannedOnce = false;
  std::size_t m_piecesScanned = 0;
  std::vector<tokenizer::Rank> m_scratch;
};

// The literal rule, for comparison: rebuilds the whole text and counts it from scratch every
// round. Same results as `ContextTrimmer::firstKeptMessage`.
std::size_t firstKeptMessageByRecounting(const tokenizer::Encoding* encoding, std::string_view head,
                                         const std::vector<std::string>& history,
                                         std::string_view tail, std::int64_t limit,
                                         const ContextTrimmer::DropObserver& onDrop = nullptr);

}  // namespace tessra
