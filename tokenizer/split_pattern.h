// An encoding's split pattern: the compiled ICU regular expression (the reference) and, for the
// two patterns the encodings use, the hand-written scanner that finds the same pieces faster.
//
// The pattern is compiled once; a `SplitPattern` is immutable and each split makes its own
// matcher, so any number of threads may split with one pattern at the same time.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"
#include "tokenizer/piece_scanner.h"

namespace tessra::tokenizer {

// A failure of the regular-expression engine: a pattern that does not compile, or a match that
// could not finish (for instance when the backtracking stack runs out).
class RegexError : public Error {
 public:
  using Error::Error;
};

class SplitPattern {
 public:
  // Compiles the pattern without options. Throws `RegexError` when it does not compile.
  explicit SplitPattern(std::string pattern);
  ~SplitPattern();
  SplitPattern(const SplitPattern&) = delete;
  SplitPattern& operator=(const SplitPattern&) = delete;

  const std::string& pattern() const { return m_pattern; }
  // The scanner that stands in for the expression, when there is one.
  std::optional<ScannerKind> scanner() const { return m_scanner; }

  // Calls `onPiece` with every match of the expression in the text, non-overlapping, left to
  // right. The text must be valid UTF-8. Throws `RegexError` when the engine fails part way, so
  // a split never ends early in silence.
  void forEachMatch(std::string_view text,
                    const std::function<void(std::string_view)>& onPiece) const;

  // The same pieces as `forEachMatch`, found by the scanner when the pattern has one.
  template <class OnPiece>
  void forEachPiece(std::string_view text, OnPiece&& onPiece) const {
    if (!m_scanner) {
      forEachMatch(text, onPiece);
      return;
    }
    PieceScanner scanner(*m_scanner, text);
    for (std::string_view piece = scanner.next(); !piece.empty(); piece = scanner.next())
      onPiece(piece);
  }

 private:
  struct Compiled;  // the ICU pattern, kept out of this header

  std::string m_pattern;
  std::unique_ptr<Compiled> m_compiled;
  std::optional<ScannerKind> m_scanner;
};

}  // namespace tessra::tokenizer
