// The encodings the token counter knows, and which model names use which of them.
//
// `Vocab::all()` defines the five encodings: their vocabulary file (a path on the vocabulary
// host), split pattern and special tokens. `Model` maps model names, and prefixes of model names,
// to encoding names. All tables are built once, on first use, and only read afterwards.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tokenizer/encoding.h"

namespace tessra::tokenizer {

// How a vocabulary file is written.
enum class VocabFormat {
  rankFile,    // one Base64 token and its rank per line
  mergesFile,  // one merge per line, in the printable-character form
};

struct Vocab {
  std::string name;
  // The path of the vocabulary file on the vocabulary host.
  std::string path;
  std::optional<std::int64_t> explicitNVocab;
  std::string pattern;
  SpecialTokens specialTokens;

  // "gpt2" is read as a merges file, every other encoding as a rank file.
  VocabFormat format() const;
  // The address of the vocabulary file under a base address given without a trailing slash.
  std::string url(std::string_view baseUrl) const { return std::string(baseUrl) + path; }

  bool operator==(const Vocab&) const = default;

  static const std::vector<Vocab>& all();
  // The first encoding of `all()` with the name, or none.
  static const Vocab* named(std::string_view name);
};

struct Model {
  static const std::map<std::string, std::string, std::less<>>& modelToEncoding();
  static const std::vector<std::pair<std::string, std::string>>& modelPrefixToEncoding();

  // The encoding a model name uses: its own row when that names a known encoding, else the
  // first prefix it begins with; none when neither gives one.
  static const Vocab* vocabFor(std::string_view modelName);
};

}  // namespace tessra::tokenizer
