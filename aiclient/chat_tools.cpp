#include "aiclient/chat_tools.h"

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::putOptional;
using platform::requiredField;
using FunctionDefinition = ChatCompletionToolParam::FunctionDefinition;
using FunctionParameters = FunctionDefinition::FunctionParameters;
using Property = FunctionParameters::Property;
using Items = Property::Items;
using JSONType = FunctionParameters::JSONType;

[[noreturn]] void throwMismatch(const nlohmann::json& j, std::string_view expected) {
  throw platform::JsonDecodingError(
      platform::JsonDecodingError::Kind::typeMismatch, "",
      "expected " + std::string(expected) + ", found " + platform::describeJsonValue(j));
}

// The constraints an argument's schema and the schema of its elements have alike.
template <class Schema>
void putConstraints(nlohmann::json& j, const Schema& value) {
  putOptional(j, "pattern", value.pattern);
  putOptional(j, "const", value.const_);
  putOptional(j, "enum", value.enum_);
  putOptional(j, "multipleOf", value.multipleOf);
  putOptional(j, "minimum", value.minimum);
  putOptional(j, "maximum", value.maximum);
  putOptional(j, "minItems", value.minItems);
  putOptional(j, "maxItems", value.maxItems);
  putOptional(j, "uniqueItems", value.uniqueItems);
}

template <class Schema>
void readConstraints(const nlohmann::json& j, Schema& value) {
  value.pattern = optionalField<std::string>(j, "pattern");
  value.const_ = optionalField<std::string>(j, "const");
  value.enum_ = optionalField<std::vector<std::string>>(j, "enum");
  value.multipleOf = optionalField<std::int64_t>(j, "multipleOf");
  value.minimum = optionalField<double>(j, "minimum");
  value.maximum = optionalField<double>(j, "maximum");
  value.minItems = optionalField<std::int64_t>(j, "minItems");
  value.maxItems = optionalField<std::int64_t>(j, "maxItems");
  value.uniqueItems = optionalField<bool>(j, "uniqueItems");
}

}  // namespace

void to_json(nlohmann::json& j, const ChatCompletionToolParam::ToolsType& value) {
  writeRawValue(j, value);
}

void from_json(const nlohmann::json& j, ChatCompletionToolParam::ToolsType& value) {
  value = readRawValue<ChatCompletionToolParam::ToolsType>(j);
}

void to_json(nlohmann::json& j, const JSONType& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, JSONType& value) { value = readRawValue<JSONType>(j); }

void to_json(nlohmann::json& j, const Items& value) {
  j = {{"type", value.type}};
  putOptional(j, "properties", value.properties);
  putConstraints(j, value);
}

void from_json(const nlohmann::json& j, Items& value) {
  Items items;
  items.type = requiredField<JSONType>(j, "type");
  items.properties = optionalField<std::map<std::string, Property>>(j, "properties");
  readConstraints(j, items);
  value = std::move(items);
}

void to_json(nlohmann::json& j, const Property& value) {
  j = {{"type", value.type}};
  putOptional(j, "description", value.description);
  putOptional(j, "format", value.format);
  putOptional(j, "items", value.items);
  putOptional(j, "required", value.required);
  putConstraints(j, value);
}

void from_json(const nlohmann::json& j, Property& value) {
  Property property;
  property.type = requiredField<JSONType>(j, "type");
  property.description = optionalField<std::string>(j, "description");
  property.format = optionalField<std::string>(j, "format");
  property.items = optionalField<Items>(j, "items");
  property.required = optionalField<std::vector<std::string>>(j, "required");
  readConstraints(j, property);
  value = std::move(property);
}

void to_json(nlohmann::json& j, const FunctionParameters& value) {
  j = {{"type", value.type}};
  putOptional(j, "properties", value.properties);
  putOptional(j, "required", value.required);
  putOptional(j, "pattern", value.pattern);
  putOptional(j, "const", value.const_);
  putOptional(j, "enum", value.enum_);
  putOptional(j, "multipleOf", value.multipleOf);
  putOptional(j, "minimum", value.minimum);
  putOptional(j, "maximum", value.maximum);
}

void from_json(const nlohmann::json& j, FunctionParameters& value) {
  FunctionParameters parameters;
  parameters.type = requiredField<JSONType>(j, "type");
  parameters.properties = optionalField<std::map<std::string, Property>>(j, "properties");
  parameters.required = optionalField<std::vector<std::string>>(j, "required");
  parameters.pattern = optionalField<std::string>(j, "pattern");
  parameters.const_ = optionalField<std::string>(j, "const");
  parameters.enum_ = optionalField<std::vector<std::string>>(j, "enum");
  parameters.multipleOf = optionalField<std::int64_t>(j, "multipleOf");
  parameters.minimum = optionalField<std::int64_t>(j, "minimum");
  parameters.maximum = optionalField<std::int64_t>(j, "maximum");
  value = std::move(parameters);
}

void to_json(nlohmann::json& j, const FunctionDefinition& value) {
  j = {{"name", value.name}};
  putOptional(j, "description", value.description);
  putOptional(j, "parameters", value.parameters);
}

void from_json(const nlohmann::json& j, FunctionDefinition& value) {
  FunctionDefinition definition;
  definition.name = requiredField<std::string>(j, "name");
  definition.description = optionalField<std::string>(j, "description");
  definition.parameters = optionalField<FunctionParameters>(j, "parameters");
  value = std::move(definition);
}

void to_json(nlohmann::json& j, const ChatCompletionToolParam& value) {
  j = {{"function", value.function}, {"type", value.type}};
}

void from_json(const nlohmann::json& j, ChatCompletionToolParam& value) {
  ChatCompletionToolParam tool;
  tool.function = requiredField<FunctionDefinition>(j, "function");
  tool.type = requiredField<ChatCompletionToolParam::ToolsType>(j, "type");
  value = std::move(tool);
}

ChatCompletionFunctionCallOptionParam ChatCompletionFunctionCallOptionParam::function(
    std::string name) {
  ChatCompletionFunctionCallOptionParam choice;
  choice.m_kind = Kind::function;
  choice.m_functionName = std::move(name);
  return choice;
}

ChatCompletionFunctionCallOptionParam ChatCompletionFunctionCallOptionParam::none() { return {}; }

ChatCompletionFunctionCallOptionParam ChatCompletionFunctionCallOptionParam::auto_() {
  ChatCompletionFunctionCallOptionParam choice;
  choice.m_kind = Kind::auto_;
  return choice;
}

void to_json(nlohmann::json& j, const ChatCompletionFunctionCallOptionParam& value) {
  using Kind = ChatCompletionFunctionCallOptionParam::Kind;
  switch (value.kind()) {
    case Kind::none:
      j = "none";
      return;
    case Kind::auto_:
      j = "auto";
      return;
    case Kind::function:
      j = {{"type", "function"},
           {"function", {{"name", value.functionName().value_or(std::string())}}}};
      return;
  }
}

void from_json(const nlohmann::json& j, ChatCompletionFunctionCallOptionParam& value) {
  constexpr std::string_view kExpected = "\"none\", \"auto\" or a named function";
  if (j.is_string()) {
    const auto& text = j.get_ref<const std::string&>();
    if (text == "none") {
      value = ChatCompletionFunctionCallOptionParam::none();
      return;
    }
    if (text == "auto") {
      value = ChatCompletionFunctionCallOptionParam::auto_();
      return;
    }
    throwMismatch(j, kExpected);
  }
  if (!j.is_object()) throwMismatch(j, kExpected);
  // The named form must say it names a function; anything else is a choice this client does
  // not know how to make.
  if (requiredField<std::string>(j, "type") != "function") throwMismatch(j, kExpected);
  const auto function = requiredField<nlohmann::json>(j, "function");
  std::string name;
  try {
    name = requiredField<std::string>(function, "name");
  } catch (const platform::JsonDecodingError& e) {
    throw e.nested("function");
  }
  value = ChatCompletionFunctionCallOptionParam::function(std::move(name));
}

}  // namespace tessra::aiclient
