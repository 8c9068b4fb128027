// One chunk of a streamed chat answer: the JSON object of one server-sent event.
//
// The chat engine reads, from each chunk, the first choice's `delta.content` and
// `delta.toolCalls`, and `usage.totalTokens` from the last chunk when usage was asked for. A tool
// call arrives in fragments spread over several chunks, tied together by their `index`: the
// first fragment carries the id, the type and the function's name, the later ones pieces of the
// arguments text.
//
// The finish reason and the delta's role are read as open values: a text the service adds
// later is kept as it came (`known()` is then empty) instead of failing the chunk, since nothing
// in the program depends on those fields to show an answer.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "aiclient/chat_message_param.h"
#include "aiclient/chat_result.h"
#include "aiclient/raw_value.h"

namespace tessra::aiclient {

struct ChatStreamResult {
  struct Choice {
    struct ChoiceDelta {
      // One fragment of one tool call.
      struct ChoiceDeltaToolCall {
        struct ChoiceDeltaToolCallFunction {
          std::optional<std::string> arguments{};
          std::optional<std::string> name{};

          bool operator==(const ChoiceDeltaToolCallFunction&) const = default;
        };

        std::int64_t index = 0;
        std::optional<std::string> id{};
        std::optional<ChoiceDeltaToolCallFunction> function{};
        // "function" for a fragment made in code; as received for one read from JSON.
        std::optional<std::string> type = "function";

        bool operator==(const ChoiceDeltaToolCall&) const = default;
      };

      std::optional<std::string> content{};
      std::optional<OpenEnum<ChatCompletionMessageParam::Role>> role{};
      std::optional<std::vector<ChoiceDeltaToolCall>> toolCalls{};

      bool operator==(const ChoiceDelta&) const = default;
    };

    struct ChoiceLogprobs {
      struct ChatCompletionTokenLogprob {
        using TopLogprob =
            ChatResult::Choice::ChoiceLogprobs::ChatCompletionTokenLogprob::TopLogprob;

        std::string token{};
        std::optional<std::vector<std::int64_t>> bytes{};
        double logprob = 0;
        std::optional<std::vector<TopLogprob>> topLogprobs{};

        bool operator==(const ChatCompletionTokenLogprob&) const = default;
      };

      std::optional<std::vector<ChatCompletionTokenLogprob>> content{};

      bool operator==(const ChoiceLogprobs&) const = default;
    };

    using FinishReason = ChatResult::Choice::FinishReason;

    std::int64_t index = 0;
    ChoiceDelta delta{};
    std::optional<OpenEnum<FinishReason>> finishReason{};
    std::optional<ChoiceLogprobs> logprobs{};

    bool operator==(const Choice&) const = default;
  };

  // A chunk's usage reads like a whole answer's.
  using Usage = ChatResult::CompletionUsage;

  std::string id{};
  std::string object{};
  // Seconds since the Unix epoch, unconverted.
  double created = 0;
  std::string model{};
  std::vector<Choice> choices{};
  std::optional<std::string> systemFingerprint{};
  std::optional<Usage> usage{};

  bool operator==(const ChatStreamResult&) const = default;
};

void to_json(
    nlohmann::json& j,
    const ChatStreamResult::Choice::ChoiceDelta::ChoiceDeltaToolCall::ChoiceDeltaToolCallFunction&
        value);
void from_json(
    const nlohmann::json& j,
    ChatStreamResult::Choice::ChoiceDelta::ChoiceDeltaToolCall::ChoiceDeltaToolCallFunction& value);
void to_json(nlohmann::json& j,
             const ChatStreamResult::Choice::ChoiceDelta::ChoiceDeltaToolCall& value);
void from_json(const nlohmann::json& j,
               ChatStreamResult::Choice::ChoiceDelta::ChoiceDeltaToolCall& value);
void to_json(nlohmann::json& j, const ChatStreamResult::Choice::ChoiceDelta& value);
void from_json(const nlohmann::json& j, ChatStreamResult::Choice::ChoiceDelta& value);
void to_json(nlohmann::json& j,
             const ChatStreamResult::Choice::ChoiceLogprobs::ChatCompletionTokenLogprob& value);
void from_json(const nlohmann::json& j,
               ChatStreamResult::Choice::ChoiceLogprobs::ChatCompletionTokenLogprob& value);
void to_json(nlohmann::json& j, const ChatStreamResult::Choice::ChoiceLogprobs& value);
void from_json(const nlohmann::json& j, ChatStreamResult::Choice::ChoiceLogprobs& value);
void to_json(nlohmann::json& j, const ChatStreamResult::Choice& value);
void from_json(const nlohmann::json& j, ChatStreamResult::Choice& value);
void to_json(nlohmann::json& j, const ChatStreamResult& value);
void from_json(const nlohmann::json& j, ChatStreamResult& value);

}  // namespace tessra::aiclient
