// The tokens a completion or an edit used, as those answers report them: written with the prompt's
// count first, as the service lists it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>

#include "aiclient/ordered_json.h"

namespace tessra::aiclient {

struct TokenUsage {
  std::int64_t promptTokens = 0;
  std::int64_t completionTokens = 0;
  std::int64_t totalTokens = 0;

  bool operator==(const TokenUsage&) const = default;
};

// Keys "prompt_tokens", "completion_tokens", "total_tokens", all required when read.
void to_json(OrderedJson& j, const TokenUsage& value);
void from_json(const nlohmann::json& j, TokenUsage& value);

}  // namespace tessra::aiclient
