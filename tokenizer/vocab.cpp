#include "tokenizer/vocab.h"

namespace tessra::tokenizer {

VocabFormat Vocab::format() const {
  return name == "gpt2" ? VocabFormat::mergesFile : VocabFormat::rankFile;
}

// The tables below are never destroyed: a request may still count tokens on a worker while the
// process ends.

const std::vector<Vocab>& Vocab::all() {
  static const auto* const vocabs = new std::vector<Vocab>([] {
    const std::string patternA(kPatternA);
    const std::string patternB(kPatternB);
    const SpecialTokens endOfText{{"<|endoftext|>", 50256}};
    return std::vector<Vocab>{
        {"gpt2", "/gpt-2/encodings/main/vocab.bpe", 50257, patternA, endOfText},
        {"r50k_base", "/encodings/r50k_base.ranks", 50257, patternA, endOfText},
        {"p50k_base", "/encodings/p50k_base.ranks", 50281, patternA, endOfText},
        {"p50k_edit",
         "/encodings/p50k_base.ranks",
         std::nullopt,
         patternA,
         {{"<|endoftext|>", 50256},
          {"<|fim_prefix|>", 50281},
          {"<|fim_middle|>", 50282},
          {"<|fim_suffix|>", 50283}}},
        {"cl100k_base",
         "/encodings/cl100k_base.ranks",
         std::nullopt,
         patternB,
         {{"<|endoftext|>", 100257},
          {"<|fim_prefix|>", 100258},
          {"<|fim_middle|>", 100259},
          {"<|fim_suffix|>", 100260},
          {"<|endofprompt|>", 100276}}},
    };
  }());
  return *vocabs;
}

const Vocab* Vocab::named(std::string_view name) {
  for (const Vocab& vocab : all()) {
    if (vocab.name == name) return &vocab;
  }
  return nullptr;
}

const std::map<std::string, std::string, std::less<>>& Model::modelToEncoding() {
  static const auto* const table = new std::map<std::string, std::string, std::less<>>{
      {"gpt-4", "cl100k_base"},
      {"gpt-3.5-turbo", "cl100k_base"},
      {"text-davinci-003", "p50k_base"},
      {"text-davinci-002", "p50k_base"},
      {"text-davinci-001", "r50k_base"},
      {"text-curie-001", "r50k_base"},
      {"text-babbage-001", "r50k_base"},
      {"text-ada-001", "r50k_base"},
      {"davinci", "r50k_base"},
      {"curie", "r50k_base"},
      {"babbage", "r50k_base"},
      {"ada", "r50k_base"},
      {"code-davinci-002", "p50k_base"},
      {"code-davinci-001", "p50k_base"},
      {"code-cushman-002", "p50k_base"},
      {"code-cushman-001", "p50k_base"},
      {"davinci-codex", "p50k_base"},
      {"cushman-codex", "p50k_base"},
      {"text-davinci-edit-001", "p50k_edit"},
      {"code-davinci-edit-001", "p50k_edit"},
      {"text-embedding-ada-002", "cl100k_base"},
      {"text-similarity-davinci-001", "r50k_base"},
      {"text-similarity-curie-001", "r50k_base"},
      {"text-similarity-babbage-001", "r50k_base"},
      {"text-similarity-ada-001", "r50k_base"},
      {"text-search-davinci-doc-001", "r50k_base"},
      {"text-search-curie-doc-001", "r50k_base"},
      {"text-search-babbage-doc-001", "r50k_base"},
      {"text-search-ada-doc-001", "r50k_base"},
      {"code-search-babbage-code-001", "r50k_base"},
      {"code-search-ada-code-001", "r50k_base"},
      {"gpt2", "gpt2"},
      {"gpt3", "gpt3"},
  };
  return *table;
}

const std::vector<std::pair<std::string, std::string>>& Model::modelPrefixToEncoding() {
  static const auto* const table = new std::vector<std::pair<std::string, std::string>>{
      {"gpt-4-", "cl100k_base"},
      {"gpt-3.5-turbo-", "cl100k_base"},
  };
  return *table;
}

const Vocab* Model::vocabFor(std::string_view modelName) {
  const auto& direct = modelToEncoding();
  if (auto row = direct.find(modelName); row != direct.end()) {
    if (const Vocab* vocab = Vocab::named(row->second)) return vocab;
  }
  for (const auto& [prefix, encodingName] : modelPrefixToEncoding()) {
    if (modelName.starts_with(prefix)) return Vocab::named(encodingName);
  }
  return nullptr;
}

}  // namespace tessra::tokenizer
