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
// tokens depend on the piece alone. Each round keeps, for every piece start it passes inside
// history and tail, the tokens from there to the end, and a later round scans the head and the
// start of its remaining history only until it meets one of those starts. Patterns without a
// hand-written scanner are counted whole every round.
//
// Rounds asked for from the newest message back (the last round first) cost what they keep:
// only the messages a round holds are ever copied or scanned, each about once, so what lies
// before them costs nothing however long it is. `fits` stops a round as soon as its count is
// known to pass a limit, so a message far over the limit costs about the limit, not its length.
//
// The encoding and the history must outlive the counter. Not thread-safe; one counter belongs to
// one request.
#pragma once

#include <cstddef>
#include <span>
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
                 std::span<const std::string> history, std::string_view tail);

  std::size_t historySize() const { return m_history.size(); }

  // The tokens of head + history[first...] + tail (`first` is clamped to the history's size).
  // Any order counts right; from the last round back costs least.
  std::size_t count(std::size_t first);
  // Whether that count is at most `limit`, stopping the round once the count passes it.
  bool fits(std::size_t first, std::size_t limit);

  // How many pieces the last round scanned, and how many bytes of history and tail the rounds
  // have taken in so far (for tests of what a round costs).
  std::size_t piecesScannedLastRound() const { return m_piecesScanned; }
  std::size_t bytesTakenIn() const { return m_buffer.size() - m_begin; }

 private:
  // The count of the round, or any number over `limit` once the count passes it.
  std::size_t countUpTo(std::size_t first, std::size_t limit);
  // Copies the history from `first` on into the buffer, in front of what it holds.
  void takeIn(std::size_t first);
  // Gives back the bytes the head was written over.
  void liftHead();
  // Writes the head right before the text of round `first`; returns where it starts.
  std::size_t placeHead(std::size_t first);
  std::size_t startOf(std::size_t message) const { return m_buffer.size() - m_toEnd[message]; }
  std::size_t tokensOfPiece(std::string_view piece);

  const Encoding& m_encoding;
  std::span<const std::string> m_history;
  std::string m_head;
  // The text taken in so far sits at the end, from `m_begin`: history[m_taken...] + tail, each
  // part with ill-formed UTF-8 replaced. The room in front is at least the head's size.
  std::string m_buffer;
  std::size_t m_begin = 0;
  std::size_t m_taken = 0;
  // For each history message taken in, and the tail last: where it starts, counted from the end.
  std::vector<std::size_t> m_toEnd;
  // Where the head was written, and the bytes it covered there.
  std::size_t m_headAt = 0;
  std::string m_covered;
  // For each piece start found so far in history or tail: its distance from the end of the
  // text, and the tokens from there to the end.
  std::unordered_map<std::size_t, std::size_t> m_tokensToEnd;
  // No token is longer than this many bytes: a piece of n bytes makes at least n / this tokens.
  std::size_t m_longestToken = 1;
  std::size_t m_piecesScanned = 0;
  std::vector<Rank> m_scratch;
};

}  // namespace tessra::tokenizer
