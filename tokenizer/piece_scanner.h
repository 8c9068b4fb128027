// Hand-written scanners for the two split patterns of the encodings.
//
// Each scanner finds exactly the pieces that the ICU regular expression finds (non-overlapping
// matches, left to right, the first alternative that matches winning), without a regular
// expression engine: the patterns only look one character ahead and back off at most one
// character, so a single forward pass decides each piece. The character classes come from ICU
// (`CharacterClasses`); a differential test holds the scanners to the reference.
//
// The text must be valid UTF-8 (the encoder replaces ill-formed bytes before it splits).
#pragma once

#include <cstddef>
#include <string_view>

#include "tokenizer/character_classes.h"

namespace tessra::tokenizer {

// Pattern A: the split of the GPT-2 era encodings.
inline constexpr std::string_view kPatternA =
    R"('s|'t|'re|'ve|'m|'ll|'d| ?\p{L}+| ?\p{N}+| ?[^\s\p{L}\p{N}]+|\s+(?!\S)|\s+)";

// Pattern B: the split of the chat models' encoding.
inline constexpr std::string_view kPatternB =
    R"((?i:'s|'t|'re|'ve|'m|'ll|'d)|[^\r\n\p{L}\p{N}]?\p{L}+|\p{N}{1,3}| ?[^\s\p{L}\p{N}]+[\r\n]*|\s*[\r\n]+|\s+(?!\S)|\s+)";

enum class ScannerKind { patternA, patternB };

class PieceScanner {
 public:
  PieceScanner(ScannerKind kind, std::string_view text)
      : m_kind(kind), m_text(text), m_classes(CharacterClasses::shared()) {}

  // The next piece of the text, or an empty view when the text is used up.
  std::string_view next() {
    if (m_position >= m_text.size()) return {};
    const std::size_t start = m_position;
    m_position = m_kind == ScannerKind::patternA ? endOfPieceA(start) : endOfPieceB(start);
    return m_text.substr(start, m_position - start);
  }

 private:
  struct CodePoint {
    char32_t value;
    std::size_t length;
  };

  CodePoint at(std::size_t position) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_text.data());
    const unsigned char lead = bytes[position];
    if (lead < 0x80) return {lead, 1};
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (position + length > m_text.size()) return {0xFFFD, m_text.size() - position};
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) value = (value << 6) | (bytes[position + i] & 0x3F);
    return {value, length};
  }

  CharClass classOf(char32_t value) const { return m_classes.classOf(value); }
  static bool isLineBreak(char32_t value) { return value == '\r' || value == '\n'; }

  std::size_t endOfRun(std::size_t position, CharClass charClass) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_text.data());
    for (;;) {
      // ASCII first: most runs never leave it.
      while (position < m_text.size() && bytes[position] < 0x80 &&
             m_classes.classOfAscii(bytes[position]) == charClass)
        ++position;
      if (position >= m_text.size() || bytes[position] < 0x80) return position;
      const CodePoint c = at(position);
      if (classOf(c.value) != charClass) return position;
      position += c.length;
    }
  }

  // The lower-case ASCII letter a contraction may use at this character, or 0.
  static char contractionLetter(char32_t value, bool ignoreCase) {
    if (ignoreCase) {
      if (value == 0x17F) return 's';  // the long s folds to s
      if (value >= 'A' && value <= 'Z') return static_cast<char>(value - 'A' + 'a');
    }
    if (value >= 'a' && value <= 'z') return static_cast<char>(value);
    return 0;
  }

  // The end of "'s", "'t", "'re", "'ve", "'m", "'ll" or "'d" after the apostrophe, or 0.
  std::size_t endOfContraction(std::size_t position, bool ignoreCase) const {
    if (position >= m_text.size()) return 0;
    const CodePoint first = at(position);
    const std::size_t afterFirst = position + first.length;
    char second = 0;
    switch (contractionLetter(first.value, ignoreCase)) {
      case 's':
      case 't':
      case 'm':
      case 'd':
        return afterFirst;
      case 'r':
      case 'v':
        second = 'e';
        break;
      case 'l':
        second = 'l';
        break;
      default:
        return 0;
    }
    if (afterFirst >= m_text.size()) return 0;
    const CodePoint next = at(afterFirst);
    if (contractionLetter(next.value, ignoreCase) != second) return 0;
    return afterFirst + next.length;
  }

  // A run of white space from `start`: the whole run at the end of the text, else the run less
  // its last character when it is longer than one (that character joins the next piece), else
  // the one character.
  std::size_t endOfSpaceRun(std::size_t start, std::size_t* lastLineBreakEnd) const {
    std::size_t position = start;
    std::size_t lastStart = start;
    while (position < m_text.size()) {
      const CodePoint c = at(position);
      if (classOf(c.value) != CharClass::space) break;
      lastStart = position;
      position += c.length;
      if (lastLineBreakEnd && isLineBreak(c.value)) *lastLineBreakEnd = position;
    }
    if (position == m_text.size()) return position;
    if (lastStart > start) return lastStart;
    return position;
  }

  std::size_t endOfPieceA(std::size_t start) const {
    const CodePoint first = at(start);
    if (first.value == '\'') {
      if (std::size_t end = endOfContraction(start + 1, false)) return end;
    }
    // " ?\p{L}+", " ?\p{N}+" and " ?[^\s\p{L}\p{N}]+": a space joins the run that follows it.
    if (first.value == ' ' && start + 1 < m_text.size()) {
      const CodePoint second = at(start + 1);
      const CharClass secondClass = classOf(second.value);
      if (secondClass != CharClass::space) return endOfRun(start + 1 + second.length, secondClass);
    }
    const CharClass firstClass = classOf(first.value);
    if (firstClass != CharClass::space) return endOfRun(start + first.length, firstClass);
    return endOfSpaceRun(start, nullptr);
  }

  std::size_t endOfPieceB(std::size_t start) const {
    const CodePoint first = at(start);
    if (first.value == '\'') {
      if (std::size_t end = endOfContraction(start + 1, true)) return end;
    }
    const CharClass firstClass = classOf(first.value);
    const std::size_t afterFirst = start + first.length;
    // "[^\r\n\p{L}\p{N}]?\p{L}+"
    if (firstClass == CharClass::letter) return endOfRun(afterFirst, CharClass::letter);
    if (firstClass != CharClass::number && !isLineBreak(first.value) &&
        afterFirst < m_text.size()) {
      const CodePoint second = at(afterFirst);
      if (classOf(second.value) == CharClass::letter)
        return endOfRun(afterFirst + second.length, CharClass::letter);
    }
    // "\p{N}{1,3}"
    if (firstClass == CharClass::number) {
      std::size_t end = afterFirst;
      for (int count = 1; count < 3 && end < m_text.size(); ++count) {
        const CodePoint c = at(end);
        if (classOf(c.value) != CharClass::number) break;
        end += c.length;
      }
      return end;
    }
    // " ?[^\s\p{L}\p{N}]+[\r\n]*"
    const std::size_t symbolStart = first.value == ' ' ? afterFirst : start;
    if (symbolStart < m_text.size()) {
      const CodePoint symbol = at(symbolStart);
      if (classOf(symbol.value) == CharClass::other) {
        std::size_t end = endOfRun(symbolStart + symbol.length, CharClass::other);
        while (end < m_text.size() && isLineBreak(static_cast<unsigned char>(m_text[end]))) ++end;
        return end;
      }
    }
    // "\s*[\r\n]+" ends after the last line break of the run; otherwise "\s+(?!\S)" or "\s+".
    std::size_t lastLineBreakEnd = 0;
    const std::size_t end = endOfSpaceRun(start, &lastLineBreakEnd);
    if (lastLineBreakEnd != 0) return lastLineBreakEnd;
    return end;
  }

  ScannerKind m_kind;
  std::string_view m_text;
  const CharacterClasses& m_classes;
  std::size_t m_position = 0;
};

}  // namespace tessra::tokenizer
