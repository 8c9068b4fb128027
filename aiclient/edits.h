// The edit request and its answer: an input text rewritten by an instruction, POSTed as JSON to
// "/v1/edits".
//
//   EditsQuery query{.model = Model::code_davinci_edit_001, .input = "teh cat",
//                    .instruction = "Fix the spelling"};
//
// Unlike a completion answer, an edit answer has no identifier and no model, and its usage is
// always there.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "aiclient/ordered_json.h"
#include "aiclient/token_usage.h"

namespace tessra::aiclient {

struct EditsQuery {
  std::string model{};
  // The text to edit; the service starts from an empty text without one.
  std::optional<std::string> input{};
  // How to edit the input.
  std::string instruction{};
  // How many edits to return.
  std::optional<std::int64_t> n{};
  std::optional<double> temperature{};
  std::optional<double> topP{};

  bool operator==(const EditsQuery&) const = default;
};

struct EditsResult {
  struct Choice {
    std::string text{};
    std::int64_t index = 0;

    bool operator==(const Choice&) const = default;
  };

  using Usage = TokenUsage;

  // The kind of object the service returned ("edit").
  std::string object{};
  // The creation time as the service gives it.
  double created = 0;
  std::vector<Choice> choices{};
  Usage usage{};

  bool operator==(const EditsResult&) const = default;
};

// Keys in field order: "model", "input", "instruction", "n", "temperature", "top_p", the
// optional ones only when set.
void to_json(OrderedJson& j, const EditsQuery& value);
void from_json(const nlohmann::json& j, EditsQuery& value);
void to_json(OrderedJson& j, const EditsResult::Choice& value);
void from_json(const nlohmann::json& j, EditsResult::Choice& value);
void to_json(OrderedJson& j, const EditsResult& value);
void from_json(const nlohmann::json& j, EditsResult& value);

}  // namespace tessra::aiclient
