#include "tokenizer/builtin_vocabulary.h"

#include "tokenizer/vocabulary_loader.h"

// The assembler copies the file in; the build passes its path and rebuilds when it changes.
__asm__(
    ".pushsection .rodata.tessra_vocabularies, \"a\", @progbits\n"
    ".globl tessra_cl100k_base_begin\n"
    ".hidden tessra_cl100k_base_begin\n"
    ".globl tessra_cl100k_base_end\n"
    ".hidden tessra_cl100k_base_end\n"
    ".balign 16\n"
    "tessra_cl100k_base_begin:\n"
    ".incbin \"" TESSRA_CL100K_BASE_FILE
    "\"\n"
    "tessra_cl100k_base_end:\n"
    ".popsection\n");

extern "C" const char tessra_cl100k_base_begin[];
extern "C" const char tessra_cl100k_base_end[];

namespace tessra::tokenizer {

std::optional<std::string_view> builtinVocabularyFile(std::string_view encodingName) {
  if (encodingName != "cl100k_base") return std::nullopt;
  return std::string_view(
      tessra_cl100k_base_begin,
      static_cast<std::size_t>(tessra_cl100k_base_end - tessra_cl100k_base_begin));
}

std::shared_ptr<const Ranks> builtinRanks(std::string_view encodingName) {
  if (encodingName != "cl100k_base") return nullptr;
  static const auto ranks = std::make_shared<const Ranks>(
      Load::parseRankFile(*builtinVocabularyFile(encodingName)).ranks);
  return ranks;
}

}  // namespace tessra::tokenizer
