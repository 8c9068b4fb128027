// Turns text into the token ids of one vocabulary and ids back into text.
//
// A text is split into pieces by the encoding's pattern; a piece that is itself a vocabulary
// entry becomes that one id, any other piece is merged pair by pair, the pair of lowest rank
// first (the leftmost of equal ranks), until no neighbouring parts form an entry.
//
// There are two ways through: the reference (the ICU expression, a standard hash map of the ranks
// and the merge that rescans the parts after every step, quadratic in the length of a piece) and
// the fast path (the hand-written scanner, the cache-friendly `Ranks` tables and a merge driven
// by a heap). They give the same ids for every text; `encodeOrdinary` takes the fast path. The
// reference's map is built the first time the reference is used.
//
// Ids stand for byte strings: a part the vocabulary does not hold comes out as the id 0, so with
// an empty vocabulary every byte counts as one token, which overestimates and never undercounts.
// Immutable after construction; safe to use from any number of threads.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tokenizer/ranks.h"
#include "tokenizer/split_pattern.h"

namespace tessra::tokenizer {

// The ranks as a plain hash map of byte strings, as the reference path reads them.
struct BytesHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view bytes) const {
    return std::hash<std::string_view>()(bytes);
  }
};
using ReferenceRanks = std::unordered_map<std::string, Rank, BytesHash, std::equal_to<>>;

class BytePairEncoder {
 public:
  BytePairEncoder(std::shared_ptr<const Ranks> encoder, std::shared_ptr<const SplitPattern> regex);

  const Ranks& encoder() const { return *m_encoder; }
  const SplitPattern& regex() const { return *m_regex; }

  // The ids of the text, by the fast path. Ill-formed UTF-8 is read as U+FFFD.
  std::vector<Rank> encodeOrdinary(std::string_view text) const;
  // The same ids by the reference path.
  std::vector<Rank> encodeOrdinaryReference(std::string_view text) const;

  // The text of the ids; ids the vocabulary does not hold are skipped, and bytes that do not
  // form valid UTF-8 give the empty text. Where a malformed vocabulary gives two byte strings
  // one rank, the rank decodes to the smaller of them (byte order), whatever the file order.
  std::string decode(const std::vector<Rank>& tokens) const;

 private:
  const ReferenceRanks& referenceRanks() const;

  std::shared_ptr<const Ranks> m_encoder;
  std::shared_ptr<const SplitPattern> m_regex;
  std::unordered_map<Rank, std::string> m_decoder;
  // Built once, on the first use of the reference path.
  mutable std::once_flag m_referenceOnce;
  mutable ReferenceRanks m_referenceRanks;
};

// The reference merge of one piece of at least two bytes, appended to `out`.
void bytePairEncode(std::string_view piece, const ReferenceRanks& ranks, std::vector<Rank>& out);
// The same ids by a heap of (rank, start) with lazy deletion: O(n log n) in the piece's length.
void bytePairEncodeFast(std::string_view piece, const Ranks& ranks, std::vector<Rank>& out);

}  // namespace tessra::tokenizer
