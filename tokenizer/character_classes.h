// The character classes the split patterns are written in, taken from ICU at start-up.
//
// Both split patterns sort every character into exactly one of four classes: a letter (\p{L}),
// a number (\p{N}), white space (ICU's \s, the White_Space property) or anything else. The table
// is built once per process from the same ICU the reference regular expressions run on, so the
// hand-written scanners and the reference agree on every code point.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tessra::tokenizer {

enum class CharClass : std::uint8_t { other = 0, letter = 1, number = 2, space = 3 };

class CharacterClasses {
 public:
  // Built on first use; thread-safe.
  static const CharacterClasses& shared();

  CharClass classOfAscii(unsigned char byte) const { return static_cast<CharClass>(m_ascii[byte]); }

  CharClass classOf(char32_t codePoint) const {
    if (codePoint < 0x80) return static_cast<CharClass>(m_ascii[codePoint]);
    if (codePoint > 0x10FFFF) return CharClass::other;
    return static_cast<CharClass>(
        m_blocks[m_blockIndex[codePoint >> 8] * 256 + (codePoint & 0xFF)]);
  }

 private:
  CharacterClasses();

  std::array<std::uint8_t, 128> m_ascii{};
  std::vector<std::uint16_t> m_blockIndex;  // per 256 code points, the block that holds them
  std::vector<std::uint8_t> m_blocks;       // distinct blocks of 256 classes, back to back
};

}  // namespace tessra::tokenizer
