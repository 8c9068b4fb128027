// The embeddings request and its answer, POSTed as JSON to "/v1/embeddings".
//
//   EmbeddingsQuery query{.input = EmbeddingsQuery::Input::string("The food was delicious"),
//                         .model = Model::text_embedding_3_small};
//
// The input is one of four shapes and is sent bare, its JSON shape telling which: a string, an
// array of strings, an array of integers (tokens) or an array of arrays of integers. Reading
// takes that bare form back, so every input that is written reads again; the one shape that
// cannot tell its case, the empty array, reads as an empty list of strings. Reading also takes
// the keyed form {"stringList": {"_0": [...]}} that other writers of the record use.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "aiclient/ordered_json.h"
#include "aiclient/raw_value.h"

namespace tessra::aiclient {

struct EmbeddingsQuery {
  class Input {
   public:
    using StringList = std::vector<std::string>;
    using IntList = std::vector<std::int64_t>;
    using IntMatrix = std::vector<std::vector<std::int64_t>>;

    // The keyed form names more or fewer than one case.
    static constexpr std::string_view kInvalidKeyCount =
        "Invalid number of keys found, expected one.";

    Input() : Input(std::string()) {}
    static Input string(std::string text) { return Input(std::move(text)); }
    static Input stringList(StringList texts) { return Input(std::move(texts)); }
    static Input intList(IntList tokens) { return Input(std::move(tokens)); }
    static Input intMatrix(IntMatrix tokens) { return Input(std::move(tokens)); }

    // Same case and equal payload, lists element by element in order.
    bool operator==(const Input&) const = default;

    std::variant<std::string, StringList, IntList, IntMatrix> value;

   private:
    template <class T>
    explicit Input(T payload) : value(std::move(payload)) {}
  };

  // The format of the embeddings in the answer; `float_` is the service's "float".
  enum class EncodingFormat { float_, base64 };

  Input input{};
  std::string model{};
  std::optional<EncodingFormat> encodingFormat{};
  // The caller's identifier of its end user.
  std::optional<std::string> user{};

  bool operator==(const EmbeddingsQuery&) const = default;
};

struct EmbeddingsResult {
  struct Embedding {
    // "embedding".
    std::string object{};
    std::vector<double> embedding{};
    std::int64_t index = 0;

    bool operator==(const Embedding&) const = default;
  };

  struct Usage {
    std::int64_t promptTokens = 0;
    std::int64_t totalTokens = 0;

    bool operator==(const Usage&) const = default;
  };

  std::vector<Embedding> data{};
  std::string model{};
  Usage usage{};
  // "list".
  std::string object{};

  bool operator==(const EmbeddingsResult&) const = default;
};

template <>
struct RawValues<EmbeddingsQuery::EncodingFormat> {
  using Format = EmbeddingsQuery::EncodingFormat;
  static constexpr std::string_view typeName = "EncodingFormat";
  static constexpr std::array table{
      std::pair{Format::float_, std::string_view("float")},
      std::pair{Format::base64, std::string_view("base64")},
  };
};

void to_json(OrderedJson& j, const EmbeddingsQuery::Input& value);
void from_json(const nlohmann::json& j, EmbeddingsQuery::Input& value);
void to_json(OrderedJson& j, const EmbeddingsQuery::EncodingFormat& value);
void from_json(const nlohmann::json& j, EmbeddingsQuery::EncodingFormat& value);
// Keys "input", "model", then "encoding_format" and "user" when set.
void to_json(OrderedJson& j, const EmbeddingsQuery& value);
void from_json(const nlohmann::json& j, EmbeddingsQuery& value);
void to_json(OrderedJson& j, const EmbeddingsResult::Embedding& value);
void from_json(const nlohmann::json& j, EmbeddingsResult::Embedding& value);
void to_json(OrderedJson& j, const EmbeddingsResult::Usage& value);
void from_json(const nlohmann::json& j, EmbeddingsResult::Usage& value);
void to_json(OrderedJson& j, const EmbeddingsResult& value);
void from_json(const nlohmann::json& j, EmbeddingsResult& value);

}  // namespace tessra::aiclient
