#include "tokenizer/tokenizer.h"

namespace tessra::tokenizer {

// One load that several callers may wait for.
struct Tokenizer::Loaded {
  std::once_flag once;
  std::shared_ptr<const Ranks> ranks;
  std::shared_ptr<const BytePairEncoder> encoder;
};

Tokenizer& Tokenizer::shared() {
  // Never destroyed: a request may still count tokens on a worker while the process ends.
  static auto* const tokenizer = new Tokenizer(VocabularyLoader::configurationFromEnvironment());
  return *tokenizer;
}

Tokenizer::Tokenizer(VocabularyLoader::Configuration configuration)
    : m_loader(std::move(configuration)) {}

std::shared_ptr<const Encoding> Tokenizer::getEncoding(std::string_view modelName) {
  const Vocab* vocab = Model::vocabFor(modelName);
  if (!vocab) return nullptr;
  return std::make_shared<const Encoding>(std::string(modelName), encoderOf(*vocab),
                                          vocab->specialTokens);
}

std::shared_ptr<const Ranks> Tokenizer::ranksOf(const Vocab& vocab) {
  // Encodings that share a vocabulary file share its ranks; without a host the key is the path,
  // which names the file just as well.
  const std::string key = m_loader.urlOf(vocab).value_or(vocab.path);
  std::shared_ptr<Loaded> loaded;
  {
    std::lock_guard lock(m_mutex);
    auto& slot = m_ranksByUrl[key];
    if (!slot) slot = std::make_shared<Loaded>();
    loaded = slot;
  }
  std::call_once(loaded->once, [&] { loaded->ranks = m_loader.loadRanks(vocab); });
  return loaded->ranks;
}

std::shared_ptr<const BytePairEncoder> Tokenizer::encoderOf(const Vocab& vocab) {
  std::shared_ptr<Loaded> loaded;
  {
    std::lock_guard lock(m_mutex);
    auto& slot = m_encodersByVocab[vocab.name];
    if (!slot) slot = std::make_shared<Loaded>();
    loaded = slot;
  }
  // A pattern that does not compile throws out of call_once, which leaves the flag unset: the
  // next call tries again and fails the same way.
  std::call_once(loaded->once, [&] {
    auto regex = std::make_shared<const SplitPattern>(vocab.pattern);
    loaded->encoder = std::make_shared<const BytePairEncoder>(ranksOf(vocab), std::move(regex));
  });
  return loaded->encoder;
}

}  // namespace tessra::tokenizer
