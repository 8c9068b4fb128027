// Test helpers: the real vocabulary of the chat models' encoding, and small synthetic ones.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "tokenizer/builtin_vocabulary.h"
#include "tokenizer/byte_pair_encoder.h"
#include "tokenizer/vocabulary_loader.h"

namespace tessra::tokenizer::test {

inline constexpr std::string_view kCl100kSha256 =
    "223921b76ee99bde995b7ff738513eef100fb51d18c93597a113bcffe865b2a7";

// The genuine vocabulary of the chat models' encoding, as the library holds it.
inline std::string_view cl100kBytes() { return *builtinVocabularyFile("cl100k_base"); }

inline std::shared_ptr<const Ranks> cl100kRanks() { return builtinRanks("cl100k_base"); }

inline std::shared_ptr<const BytePairEncoder> encoderWith(std::shared_ptr<const Ranks> ranks,
                                                          std::string_view pattern) {
  return std::make_shared<const BytePairEncoder>(
      std::move(ranks), std::make_shared<const SplitPattern>(std::string(pattern)));
}

// The real encoder of the chat models: cl100k ranks split by pattern B.
inline const BytePairEncoder& cl100k() {
  static const auto encoder = encoderWith(cl100kRanks(), kPatternB);
  return *encoder;
}

// The real ranks split by pattern A: exercises the other scanner against real merges.
inline const BytePairEncoder& cl100kWithPatternA() {
  static const auto encoder = encoderWith(cl100kRanks(), kPatternA);
  return *encoder;
}

// Sets environment variables for one scope and puts the old values back.
class ScopedEnvironment {
 public:
  ~ScopedEnvironment() {
    for (const auto& [name, value] : m_saved) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }
  void set(const std::string& name, const char* value) {
    if (!m_saved.contains(name)) {
      const char* old = std::getenv(name.c_str());
      m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      ::setenv(name.c_str(), value, 1);
    else
      ::unsetenv(name.c_str());
  }

 private:
  std::map<std::string, std::optional<std::string>> m_saved;
};

}  // namespace tessra::tokenizer::test
