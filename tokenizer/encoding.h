// A ready byte-pair encoding: what callers hold to count, encode and decode text.
//
// An `Encoding` carries the name it was asked for (the model name, such as "gpt-4"), the
// encoding's special tokens and its `BytePairEncoder`. Special tokens are held but never
// recognised: "<|endoftext|>" in a text is split and merged like any other text. Encodings made
// for the same vocabulary share their (immutable) encoder, so making one is cheap.
// Immutable; safe to use from any number of threads.
#pragma once

#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tokenizer/byte_pair_encoder.h"
#include "tokenizer/history_counter.h"

namespace tessra::tokenizer {

using SpecialTokens = std::map<std::string, Rank>;

class Encoding {
 public:
  Encoding(std::string name, std::shared_ptr<const BytePairEncoder> bytePairEncoder,
           SpecialTokens specialTokens);

  const std::string& name() const { return m_name; }
  const SplitPattern& regex() const { return m_bytePairEncoder->regex(); }
  const Ranks& mergeableRanks() const { return m_bytePairEncoder->encoder(); }
  const SpecialTokens& specialTokens() const { return m_specialTokens; }
  // The larger of the highest rank and the highest special-token id (each 0 when there is none).
  Rank maxValueToken() const { return m_maxValueToken; }
  const BytePairEncoder& bytePairEncoder() const { return *m_bytePairEncoder; }

  // The token ids of the text, in the order of the text (the fast path).
  std::vector<Rank> encode(std::string_view value) const;
  // The same ids by the reference path; for tests and measurements.
  std::vector<Rank> encodeReference(std::string_view value) const;
  std::string decode(const std::vector<Rank>& value) const;

  // A counter of head + history[first...] + tail for trimming a conversation from its oldest
  // message, each round at the cost of the text near the join (see history_counter.h). This
  // encoding and the history must outlive it.
  HistoryCounter historyCounter(std::string_view head, std::span<const std::string> history,
                                std::string_view tail) const {
    return HistoryCounter(*this, head, history, tail);
  }

 private:
  std::string m_name;
  std::shared_ptr<const BytePairEncoder> m_bytePairEncoder;
  SpecialTokens m_specialTokens;
  Rank m_maxValueToken = 0;
};

}  // namespace tessra::tokenizer
