// The text-completion request and its answer: POSTed as JSON to "/v1/completions", answered
// whole, or as server-sent events of one `CompletionsResult` each when `stream` is true.
//
//   CompletionsQuery query{.model = Model::text_davinci_003, .prompt = "Once upon a time",
//                          .maxTokens = 64, .stop = {{"\n\n"}}};
//
// Nothing is checked or clamped: values travel as set. `stream` starts false; the client's
// streaming operation sets it on its own copy.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "aiclient/ordered_json.h"
#include "aiclient/token_usage.h"

namespace tessra::aiclient {

struct CompletionsQuery {
  std::string model{};
  // The text to continue.
  std::string prompt{};
  std::optional<double> temperature{};
  std::optional<std::int64_t> maxTokens{};
  std::optional<double> topP{};
  std::optional<double> frequencyPenalty{};
  std::optional<double> presencePenalty{};
  // Sequences at which the service stops generating.
  std::optional<std::vector<std::string>> stop{};
  // The caller's identifier of its end user.
  std::optional<std::string> user{};
  bool stream = false;

  bool operator==(const CompletionsQuery&) const = default;
};

struct CompletionsResult {
  struct Choice {
    std::string text{};
    std::int64_t index = 0;
    // Why generation stopped ("stop", "length").
    std::optional<std::string> finishReason{};

    bool operator==(const Choice&) const = default;
  };

  using Usage = TokenUsage;

  std::string id{};
  // The kind of object the service returned ("text_completion").
  std::string object{};
  // The creation time as the service gives it.
  double created = 0;
  std::string model{};
  std::vector<Choice> choices{};
  // Absent from stream chunks.
  std::optional<Usage> usage{};

  bool operator==(const CompletionsResult&) const = default;
};

// Keys "model", "prompt", "stream", then the set ones of "temperature", "max_tokens", "top_p",
// "frequency_penalty", "presence_penalty", "stop", "user". Reading requires "stream".
void to_json(OrderedJson& j, const CompletionsQuery& value);
void from_json(const nlohmann::json& j, CompletionsQuery& value);
void to_json(OrderedJson& j, const CompletionsResult::Choice& value);
void from_json(const nlohmann::json& j, CompletionsResult::Choice& value);
void to_json(OrderedJson& j, const CompletionsResult& value);
void from_json(const nlohmann::json& j, CompletionsResult& value);

}  // namespace tessra::aiclient
