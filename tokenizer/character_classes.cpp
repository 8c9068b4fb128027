#include "tokenizer/character_classes.h"

#include <unicode/uchar.h>

#include <map>

namespace tessra::tokenizer {

namespace {

CharClass classFromIcu(UChar32 codePoint) {
  const std::uint32_t category = U_GET_GC_MASK(codePoint);
  if (category & U_GC_L_MASK) return CharClass::letter;
  if (category & U_GC_N_MASK) return CharClass::number;
  if (u_hasBinaryProperty(codePoint, UCHAR_WHITE_SPACE)) return CharClass::space;
  return CharClass::other;
}

}  // namespace

const CharacterClasses& CharacterClasses::shared() {
  // Never destroyed: a request may still count tokens on a worker while the process ends.
  static const auto* const classes = new CharacterClasses;
  return *classes;
}

CharacterClasses::CharacterClasses() {
  constexpr UChar32 kBlockCount = 0x110000 >> 8;
  m_blockIndex.reserve(kBlockCount);
  std::map<std::array<std::uint8_t, 256>, std::uint16_t> known;
  for (UChar32 block = 0; block < kBlockCount; ++block) {
    std::array<std::uint8_t, 256> classes{};
    for (UChar32 low = 0; low < 256; ++low)
      classes[low] = static_cast<std::uint8_t>(classFromIcu((block << 8) | low));
    auto [it, inserted] = known.try_emplace(classes, static_cast<std::uint16_t>(known.size()));
    if (inserted) m_blocks.insert(m_blocks.end(), classes.begin(), classes.end());
    m_blockIndex.push_back(it->second);
  }
  for (UChar32 c = 0; c < 0x80; ++c) m_ascii[c] = static_cast<std::uint8_t>(classFromIcu(c));
}

}  // namespace tessra::tokenizer
