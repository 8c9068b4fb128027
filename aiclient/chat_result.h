// A whole, non-streamed chat answer: the body of the answer to "/v1/chat/completions".
//
// Each choice carries its message as the same record a request message is (read by its
// "role"), so the answer's text and tool calls are those of an assistant message. The finish
// reason of a whole answer stays plain text, so a reason the service adds later still reads;
// `Choice::FinishReason` is the closed set the streamed chunks use.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "aiclient/chat_message_param.h"
#include "aiclient/raw_value.h"

namespace tessra::aiclient {

struct ChatResult {
  struct Choice {
    enum class FinishReason { stop, length, toolCalls, contentFilter, functionCall };

    struct ChoiceLogprobs {
      struct ChatCompletionTokenLogprob {
        struct TopLogprob {
          std::string token{};
          // The token's UTF-8 bytes.
          std::optional<std::vector<std::int64_t>> bytes{};
          double logprob = 0;

          bool operator==(const TopLogprob&) const = default;
        };

        std::string token{};
        std::optional<std::vector<std::int64_t>> bytes{};
        double logprob = 0;
        std::vector<TopLogprob> topLogprobs{};

        bool operator==(const ChatCompletionTokenLogprob&) const = default;
      };

      std::optional<std::vector<ChatCompletionTokenLogprob>> content{};

      bool operator==(const ChoiceLogprobs&) const = default;
    };

    std::int64_t index = 0;
    std::optional<ChoiceLogprobs> logprobs{};
    ChatCompletionMessageParam message{};
    // As the service wrote it; compare with `rawValue(FinishReason::...)`.
    std::optional<std::string> finishReason{};

    bool operator==(const Choice&) const = default;
  };

  struct CompletionUsage {
    std::int64_t completionTokens = 0;
    std::int64_t promptTokens = 0;
    std::int64_t totalTokens = 0;

    bool operator==(const CompletionUsage&) const = default;
  };

  std::string id{};
  std::string object{};
  // Seconds since the Unix epoch, as the service gives it.
  double created = 0;
  std::string model{};
  std::vector<Choice> choices{};
  std::optional<CompletionUsage> usage{};
  std::optional<std::string> systemFingerprint{};

  bool operator==(const ChatResult&) const = default;
};

template <>
struct RawValues<ChatResult::Choice::FinishReason> {
  using E = ChatResult::Choice::FinishReason;
  static constexpr std::string_view typeName = "FinishReason";
  static constexpr std::array table{
      std::pair{E::stop, std::string_view("stop")},
      std::pair{E::length, std::string_view("length")},
      std::pair{E::toolCalls, std::string_view("tool_calls")},
      std::pair{E::contentFilter, std::string_view("content_filter")},
      std::pair{E::functionCall, std::string_view("function_call")},
  };
};

void to_json(nlohmann::json& j, const ChatResult::Choice::FinishReason& value);
void from_json(const nlohmann::json& j, ChatResult::Choice::FinishReason& value);
void to_json(
    nlohmann::json& j,
    const ChatResult::Choice::ChoiceLogprobs::ChatCompletionTokenLogprob::TopLogprob& value);
void from_json(const nlohmann::json& j,
               ChatResult::Choice::ChoiceLogprobs::ChatCompletionTokenLogprob::TopLogprob& value);
void to_json(nlohmann::json& j,
             const ChatResult::Choice::ChoiceLogprobs::ChatCompletionTokenLogprob& value);
void from_json(const nlohmann::json& j,
               ChatResult::Choice::ChoiceLogprobs::ChatCompletionTokenLogprob& value);
void to_json(nlohmann::json& j, const ChatResult::Choice::ChoiceLogprobs& value);
void from_json(const nlohmann::json& j, ChatResult::Choice::ChoiceLogprobs& value);
void to_json(nlohmann::json& j, const ChatResult::Choice& value);
void from_json(const nlohmann::json& j, ChatResult::Choice& value);
void to_json(nlohmann::json& j, const ChatResult::CompletionUsage& value);
void from_json(const nlohmann::json& j, ChatResult::CompletionUsage& value);
void to_json(nlohmann::json& j, const ChatResult& value);
void from_json(const nlohmann::json& j, ChatResult& value);

}  // namespace tessra::aiclient
