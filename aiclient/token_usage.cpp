#include "aiclient/token_usage.h"

namespace tessra::aiclient {

void to_json(OrderedJson& j, const TokenUsage& value) {
  j = {{"prompt_tokens", value.promptTokens},
       {"completion_tokens", value.completionTokens},
       {"total_tokens", value.totalTokens}};
}

void from_json(const nlohmann::json& j, TokenUsage& value) {
  TokenUsage usage;
  usage.promptTokens = platform::requiredField<std::int64_t>(j, "prompt_tokens");
  usage.completionTokens = platform::requiredField<std::int64_t>(j, "completion_tokens");
  usage.totalTokens = platform::requiredField<std::int64_t>(j, "total_tokens");
  value = usage;
}

}  // namespace tessra::aiclient
