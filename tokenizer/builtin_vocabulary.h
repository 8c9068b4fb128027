// Vocabularies compiled into the library: the chat models' encoding counts exactly with no file,
// no network and no configuration.
//
// The file's bytes are part of the program's read-only data; they are parsed once per process,
// on first use, and the ranks shared by every loader and tokenizer after that.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "tokenizer/ranks.h"

namespace tessra::tokenizer {

// The bytes of the vocabulary file built in for the encoding, or none.
std::optional<std::string_view> builtinVocabularyFile(std::string_view encodingName);

// The ranks of the built-in vocabulary of the encoding, or null when none is built in.
std::shared_ptr<const Ranks> builtinRanks(std::string_view encodingName);

}  // namespace tessra::tokenizer
