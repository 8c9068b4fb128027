#include "tokenizer/encoding.h"

#include <algorithm>

namespace tessra::tokenizer {

Encoding::Encoding(std::string name, std::shared_ptr<const BytePairEncoder> bytePairEncoder,
                   SpecialTokens specialTokens)
    : m_name(std::move(name)),
      m_bytePairEncoder(std::move(bytePairEncoder)),
      m_specialTokens(std::move(specialTokens)) {
  Rank highestSpecial = 0;
  bool first = true;
  for (const auto& [text, id] : m_specialTokens) {
    highestSpecial = first ? id : std::max(highestSpecial, id);
    first = false;
  }
  m_maxValueToken = std::max(mergeableRanks().maxRank(), highestSpecial);
}

std::vector<Rank> Encoding::encode(std::string_view value) const {
  return m_bytePairEncoder->encodeOrdinary(value);
}

std::vector<Rank> Encoding::encodeReference(std::string_view value) const {
  return m_bytePairEncoder->encodeOrdinaryReference(value);
}

std::string Encoding::decode(const std::vector<Rank>& value) const {
  return m_bytePairEncoder->decode(value);
}

}  // namespace tessra::tokenizer
