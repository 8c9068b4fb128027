// Counts the tokens of a conversation's text round after round as it is trimmed from its oldest
// message; made by `Encoding::historyCounter`.
//
// The text of round `first` is head + history[first...] + tail, each part in the text form it is
// counted in.
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
// The encoding must outlive the counter. Not thread-safe; one counter belongs to one request.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tokenizer/ranks.h"

namespace tessra::tokenizer {

class Encoding;

class HistoryCounter {
 public:
  HistoryCounter(const Encoding& encoding, std::string_view head,
                 const std::vector<std::string>& history, std::string_view tail);

  std::size_t historySize() const { return m_starts.size() - 1; }

  // The tokens of head + history[first...] + tail (`first` is clamped to the history's size).
  // Rounds in increasing order cost least; any order counts right.
  std::size_t count(std::size_t first);

  // How many pieces the last `count` call scanned (for tests of the incremental path).
  std::size_t piecesScannedLastRound() const { return m_piecesScanned; }

 private:
  std::size_t tokensOfPiece(std::string_view piece);

  const Encoding& m_encoding;
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
  std::size_t m_piecesScanned = 0;
  std::vector<Rank> m_scratch;
};

}  // namespace tessra::tokenizer
