#include "aiclient/chat_tools.h"

#include <gtest/gtest.h>

#include <limits>

#include "aiclient/json_test_support.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Definition = ChatCompletionToolParam::FunctionDefinition;
using FunctionParameters = Definition::FunctionParameters;
using Property = FunctionParameters::Property;
using Items = Property::Items;
using JSONType = FunctionParameters::JSONType;
using ToolChoice = ChatCompletionFunctionCallOptionParam;

// A schema with every field set and nesting through items and properties.
FunctionParameters deepSchema() {
  Property leaf{.type = JSONType::number,
                .description = "weight",
                .format = "float",
                .required = std::vector<std::string>{},
                .pattern = "^[0-9]+$",
                .const_ = "1",
                .enum_ = std::vector<std::string>{"1", "2"},
                .multipleOf = 2,
                .minimum = -0.5,
                .maximum = 1e6,
                .minItems = 0,
                .maxItems = 9,
                .uniqueItems = false};
  Items items{.type = JSONType::object,
              .properties = std::map<std::string, Property>{{"weight", leaf}},
              .pattern = "p",
              .const_ = "c",
              .enum_ = std::vector<std::string>{"e"},
              .multipleOf = 3,
              .minimum = 0.25,
              .maximum = 4,
              .minItems = 1,
              .maxItems = 2,
              .uniqueItems = true};
  return {.type = JSONType::object,
          .properties =
              std::map<std::string, Property>{{"list", {.type = JSONType::array, .items = items}},
                                              {"flag", {.type = JSONType::boolean}},
                                              {"nothing", {.type = JSONType::null}},
                                              {"count", {.type = JSONType::integer}},
                                              {"name", {.type = JSONType::string}}},
          .required = std::vector<std::string>{"list"},
          .pattern = "x",
          .const_ = "y",
          .enum_ = std::vector<std::string>{"z"},
          .multipleOf = 5,
          .minimum = 0,
          .maximum = 10};
}

TEST(ChatToolsWire, WritesOnlyWhatIsPresent) {
  struct Case {
    std::string written;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {wire(Definition{.name = "f"}), R"({"name":"f"})"},
      {wire(ChatCompletionToolParam{.function = {.name = "f"}}),
       R"({"function":{"name":"f"},"type":"function"})"},
      {wire(FunctionParameters{.type = JSONType::object}), R"({"type":"object"})"},
      {wire(Property{
           .type = JSONType::array, .items = Items{.type = JSONType::string}, .minItems = 1}),
       R"({"items":{"type":"string"},"minItems":1,"type":"array"})"},
      {wire(FunctionParameters{.type = JSONType::object, .minimum = 0}),
       R"({"minimum":0,"type":"object"})"},
      {wire(Property{.type = JSONType::number, .minimum = 0.5}),
       R"({"minimum":0.5,"type":"number"})"},
      {wire(Property{.type = JSONType::string, .enum_ = std::vector<std::string>{"a/b"}}),
       R"({"enum":["a\/b"],"type":"string"})"},
      {wire(ToolChoice::function("f")), R"({"function":{"name":"f"},"type":"function"})"},
      {wire(ToolChoice::auto_()), R"("auto")"},
      {wire(ToolChoice::none()), R"("none")"},
  };
  for (const auto& [written, expected] : cases) EXPECT_EQ(written, expected);
}

TEST(ChatToolsWire, ImageToolParametersReadBackUnchanged) {
  constexpr std::string_view kText =
      R"({"function":{"description":"Draws","name":"image_generation_via_dalle","parameters":)"
      R"({"properties":{"prompt":{"description":"What to draw","type":"string"}},)"
      R"("required":["prompt"],"type":"object"}},"type":"function"})";
  const auto tool = decode<ChatCompletionToolParam>(kText);
  ASSERT_TRUE(tool.function.parameters && tool.function.parameters->properties);
  EXPECT_EQ(tool.function.parameters->properties->at("prompt").description, "What to draw");
  EXPECT_EQ(wire(tool), kText);
}

TEST(ChatToolsWire, EverySchemaAndChoiceReadsBackEqual) {
  const ChatCompletionToolParam tool{
      .function = {.name = "f", .description = "d", .parameters = deepSchema()}};
  EXPECT_EQ(decode<ChatCompletionToolParam>(wire(tool)), tool);
  for (const auto& choice : {ToolChoice::none(), ToolChoice::auto_(), ToolChoice::function("f")}) {
    EXPECT_EQ(decode<ToolChoice>(wire(choice)), choice);
  }
  EXPECT_EQ(decode<ToolChoice>(R"({"type":"function","function":{"name":"g"}})").functionName(),
            "g");
}

TEST(ChatToolsWire, BadToolsFailNamingTheKey) {
  expectDecodingErrors<ChatCompletionToolParam>({
      {R"({"function":{"name":"f"},"type":"tool"})", "type", Kind::dataCorrupted},
      {R"({"function":{"name":"f"}})", "type", Kind::keyNotFound},
      {R"({"type":"function"})", "function", Kind::keyNotFound},
      {R"({"function":{},"type":"function"})", "function.name", Kind::keyNotFound},
      {R"({"function":{"name":"f","parameters":{"type":"float"}},"type":"function"})",
       "function.parameters.type", Kind::dataCorrupted},
      {R"({"function":{"name":"f","parameters":{"type":"object","properties":)"
       R"({"p":{"description":"x"}}}},"type":"function"})",
       "function.parameters.properties.p.type", Kind::keyNotFound},
      {R"({"function":{"name":"f","parameters":{"type":"object","minimum":0.5}},"type":"function"})",
       "function.parameters.minimum", Kind::typeMismatch},
      {R"({"function":{"name":"f","parameters":{"type":"object","required":"p"}},"type":"function"})",
       "function.parameters.required", Kind::typeMismatch},
      {R"({"function":{"name":"f","parameters":{"type":"object","properties":{"l":{"type":"array",)"
       R"("items":{"type":"string","uniqueItems":1}}}}},"type":"function"})",
       "function.parameters.properties.l.items.uniqueItems", Kind::typeMismatch},
  });
}

TEST(ChatToolsWire, ToolChoiceReadsOnlyItsThreeForms) {
  expectDecodingErrors<ToolChoice>({
      {R"("required")", "", Kind::typeMismatch},
      {R"("Auto")", "", Kind::typeMismatch},
      {R"(1)", "", Kind::typeMismatch},
      {R"({"type":"function"})", "function", Kind::keyNotFound},
      {R"({"type":"function","function":{}})", "function.name", Kind::keyNotFound},
      {R"({"type":"tool","function":{"name":"f"}})", "", Kind::typeMismatch},
  });
}

}  // namespace
}  // namespace tessra::aiclient
