#include "aiclient/embeddings.h"

namespace tessra::aiclient {

namespace {

using platform::decodeValue;
using platform::JsonDecodingError;
using platform::optionalField;
using platform::requiredField;
using Input = EmbeddingsQuery::Input;
using Embedding = EmbeddingsResult::Embedding;
using Usage = EmbeddingsResult::Usage;

constexpr std::array<std::string_view, 4> kCaseKeys = {"string", "stringList", "intList",
                                                       "intMatrix"};

// {"<case>": {"_0": <payload>}}, the case told by its key.
Input decodeKeyedInput(const nlohmann::json& j) {
  std::optional<std::string_view> caseKey;
  std::size_t found = 0;
  for (const std::string_view key : kCaseKeys) {
    if (!j.contains(key)) continue;
    caseKey = key;
    ++found;
  }
  if (found != 1) {
    throw JsonDecodingError(JsonDecodingError::Kind::typeMismatch, "",
                            std::string(Input::kInvalidKeyCount));
  }
  try {
    const nlohmann::json& payload = j.at(*caseKey);
    if (*caseKey == "string") return Input::string(requiredField<std::string>(payload, "_0"));
    if (*caseKey == "stringList") {
      return Input::stringList(requiredField<Input::StringList>(payload, "_0"));
    }
    if (*caseKey == "intList") return Input::intList(requiredField<Input::IntList>(payload, "_0"));
    return Input::intMatrix(requiredField<Input::IntMatrix>(payload, "_0"));
  } catch (const JsonDecodingError& error) {
    throw error.nested(*caseKey);
  }
}

// The shape the encoder writes. An empty array has no element to tell its case by.
Input decodeBareInput(const nlohmann::json& j) {
  if (j.is_string()) return Input::string(j.get<std::string>());
  if (j.empty()) return Input::stringList({});
  if (j.front().is_string()) return Input::stringList(decodeValue<Input::StringList>(j));
  if (j.front().is_array()) return Input::intMatrix(decodeValue<Input::IntMatrix>(j));
  return Input::intList(decodeValue<Input::IntList>(j));
}

}  // namespace

void to_json(OrderedJson& j, const Input& value) {
  std::visit([&j](const auto& payload) { j = payload; }, value.value);
}

void from_json(const nlohmann::json& j, Input& value) {
  if (j.is_object()) {
    value = decodeKeyedInput(j);
    return;
  }
  if (j.is_string() || j.is_array()) {
    value = decodeBareInput(j);
    return;
  }
  throw JsonDecodingError(JsonDecodingError::Kind::typeMismatch, "",
                          "expected a string, an array of strings or integers, or an array of "
                          "arrays of integers, found " +
                              platform::describeJsonValue(j));
}

void to_json(OrderedJson& j, const EmbeddingsQuery::EncodingFormat& value) {
  writeRawValue(j, value);
}

void from_json(const nlohmann::json& j, EmbeddingsQuery::EncodingFormat& value) {
  value = readRawValue<EmbeddingsQuery::EncodingFormat>(j);
}

void to_json(OrderedJson& j, const EmbeddingsQuery& value) {
  j = {{"input", value.input}, {"model", value.model}};
  platform::putOptional(j, "encoding_format", value.encodingFormat);
  platform::putOptional(j, "user", value.user);
}

void from_json(const nlohmann::json& j, EmbeddingsQuery& value) {
  EmbeddingsQuery query;
  query.input = requiredField<Input>(j, "input");
  query.model = requiredField<std::string>(j, "model");
  query.encodingFormat = optionalField<EmbeddingsQuery::EncodingFormat>(j, "encoding_format");
  query.user = optionalField<std::string>(j, "user");
  value = std::move(query);
}

void to_json(OrderedJson& j, const Embedding& value) {
  j = {{"object", value.object}, {"embedding", value.embedding}, {"index", value.index}};
}

void from_json(const nlohmann::json& j, Embedding& value) {
  Embedding embedding;
  embedding.object = requiredField<std::string>(j, "object");
  embedding.embedding = requiredField<std::vector<double>>(j, "embedding");
  embedding.index = requiredField<std::int64_t>(j, "index");
  value = std::move(embedding);
}

void to_json(OrderedJson& j, const Usage& value) {
  j = {{"prompt_tokens", value.promptTokens}, {"total_tokens", value.totalTokens}};
}

void from_json(const nlohmann::json& j, Usage& value) {
  value.promptTokens = requiredField<std::int64_t>(j, "prompt_tokens");
  value.totalTokens = requiredField<std::int64_t>(j, "total_tokens");
}

void to_json(OrderedJson& j, const EmbeddingsResult& value) {
  j = {{"data", value.data},
       {"model", value.model},
       {"usage", value.usage},
       {"object", value.object}};
}

void from_json(const nlohmann::json& j, EmbeddingsResult& value) {
  EmbeddingsResult result;
  result.data = requiredField<std::vector<Embedding>>(j, "data");
  result.model = requiredField<std::string>(j, "model");
  result.usage = requiredField<Usage>(j, "usage");
  result.object = requiredField<std::string>(j, "object");
  value = std::move(result);
}

}  // namespace tessra::aiclient
