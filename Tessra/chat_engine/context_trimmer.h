// Finds how much history a request can keep under a model's token limit.
//
// The counted text of a request is a fixed head (the system prompt), the history messages
// oldest first, and a fixed tail (the question); each part is already in its counted form
// (text followed by a space). Trimming drops the oldest history message while the count of
// head + remaining history + tail is over the limit, one message per round, and stops when it
// fits or nothing is left to drop:
//
//   ContextTrimmer trimmer(encoding, head, std::move(historyTexts), tail);
//   std::size_t first = trimmer.firstKeptMessage(4096, [](std::size_t left) { ... log ... });
//
// The rounds are counted from the newest message back and stop at the first that is over the
// limit, so a request costs what it keeps, never the length of what it drops: a round holds the
// text of every later round and more, and never counts fewer tokens. Each round counts only what
// changed, and stops once its count passes the limit (`tokenizer::HistoryCounter`).
//
// Not thread-safe; one trimmer belongs to one request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tokenizer/encoding.h"

namespace tessra {

class ContextTrimmer {
 public:
  // Told before each drop with the number of history messages still in the request.
  using DropObserver = std::function<void(std::size_t historyCount)>;

  // A null encoding counts every text as 0 tokens.
  ContextTrimmer(std::shared_ptr<const tokenizer::Encoding> encoding, std::string_view head,
                 std::vector<std::string> history, std::string_view tail);
  // The counter reads the history the trimmer holds.
  ContextTrimmer(const ContextTrimmer&) = delete;
  ContextTrimmer& operator=(const ContextTrimmer&) = delete;

  // The tokens of head + history[first...] + tail (`first` is clamped to the history's size).
  std::size_t count(std::size_t first);
  // Whether that count is at most `limit`, found without counting past it.
  bool fits(std::size_t first, std::int64_t limit);

  // The index of the oldest history message kept: the first round whose count is at most
  // `limit`, or the history's size when even the head and tail alone are over it.
  std::size_t firstKeptMessage(std::int64_t limit, const DropObserver& onDrop = nullptr);

 private:
  std::shared_ptr<const tokenizer::Encoding> m_encoding;
  std::vector<std::string> m_history;
  std::optional<tokenizer::HistoryCounter> m_counter;
};

// The literal rule, for comparison: rebuilds the whole text and counts it from scratch every
// round. Same results as `ContextTrimmer::firstKeptMessage`.
std::size_t firstKeptMessageByRecounting(const tokenizer::Encoding* encoding, std::string_view head,
                                         const std::vector<std::string>& history,
                                         std::string_view tail, std::int64_t limit,
                                         const ContextTrimmer::DropObserver& onDrop = nullptr);

}  // namespace tessra
