// The token counter's front door: the encoding of a model name, ready to count.
//
//   auto encoding = tokenizer::Tokenizer::shared().getEncoding("gpt-4");
//   std::size_t count = encoding ? encoding->encode(text).size() : 0;
//
// Each vocabulary is loaded once per process (from the cache, else from the vocabulary host) and
// each encoding's pattern compiled once; every call still returns an `Encoding` of its own, named
// by the model name it was asked for. A vocabulary that cannot be loaded is not asked for again
// in this process: its encodings count one token per byte, an upper bound, so a request is never
// sent over a model's limit because the counter could not see.
//
// Thread-safe. The first call for a vocabulary blocks while it is read or downloaded; calls for
// the same vocabulary wait for that one load.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "tokenizer/encoding.h"
#include "tokenizer/vocab.h"
#include "tokenizer/vocabulary_loader.h"

namespace tessra::tokenizer {

class Tokenizer {
 public:
  // The process-wide counter, configured from the environment
  // (`VocabularyLoader::configurationFromEnvironment()`). Never destroyed, like the tables it
  // reads: a request may still count on a worker while the process ends.
  static Tokenizer& shared();

  explicit Tokenizer(VocabularyLoader::Configuration configuration);
  Tokenizer(const Tokenizer&) = delete;
  Tokenizer& operator=(const Tokenizer&) = delete;

  // The encoding the model name uses, or null when no encoding belongs to the name. Throws
  // `RegexError` when the encoding's pattern does not compile.
  std::shared_ptr<const Encoding> getEncoding(std::string_view modelName);

 private:
  struct Loaded;

  std::shared_ptr<const Ranks> ranksOf(const Vocab& vocab);
  std::shared_ptr<const BytePairEncoder> encoderOf(const Vocab& vocab);

  VocabularyLoader m_loader;
  std::mutex m_mutex;  // guards the two maps; never held while loading
  std::map<std::string, std::shared_ptr<Loaded>> m_ranksByUrl;
  std::map<std::string, std::shared_ptr<Loaded>> m_encodersByVocab;
};

}  // namespace tessra::tokenizer
