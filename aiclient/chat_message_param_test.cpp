#include "aiclient/chat_message_param.h"

#include <gtest/gtest.h>

#include "aiclient/json_test_support.h"
#include "platform/foundation/base64.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Message = ChatCompletionMessageParam;
using Role = Message::Role;
using TextPart = Message::VisionContent::ChatCompletionContentPartTextParam;
using ImagePart = Message::VisionContent::ChatCompletionContentPartImageParam;
using ImageURL = ImagePart::ImageURL;
using ToolCall = Message::ToolCall;

ToolCall imageCall() {
  return {.id = "call_1",
          .function = {.arguments = R"({"prompt":"a cat"})", .name = "image_generation_via_dalle"}};
}

TEST(ChatMessageParamMake, KeepsWhatTheRoleNeedsAndRefusesWhatIsMissing) {
  struct Case {
    std::optional<Message> made;
    std::optional<std::string> wire;
  };
  const std::vector<Case> cases = {
      {Message::make(Role::tool, "x"), std::nullopt},
      {Message::make(Role::tool, std::nullopt, {}, {}, "call_1"), std::nullopt},
      {Message::make(Role::tool, "x", "ignored", std::vector{imageCall()}, "call_1"),
       R"({"content":"x","role":"tool","tool_call_id":"call_1"})"},
      {Message::make(Role::assistant, std::nullopt), R"({"role":"assistant"})"},
      {Message::make(Role::assistant, "sure", "bot", std::vector{imageCall()}, "dropped"),
       R"({"content":"sure","name":"bot","role":"assistant","tool_calls":[{"function":{)"
       R"("arguments":"{\"prompt\":\"a cat\"}","name":"image_generation_via_dalle"},)"
       R"("id":"call_1","type":"function"}]})"},
      {Message::make(Role::user, "Hi"), R"({"content":"Hi","role":"user"})"},
      {Message::make(Role::user, std::nullopt, "me"), std::nullopt},
      {Message::make(Role::system, std::nullopt), std::nullopt},
      {Message::make(Role::system, "Be brief.", "setup", std::vector{imageCall()}, "id"),
       R"({"content":"Be brief.","name":"setup","role":"system"})"},
      {Message::make(Role::system, std::vector<Message::VisionContent>{TextPart{.text = "x"}}),
       std::nullopt},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(cases[i].made.has_value(), cases[i].wire.has_value());
    if (!cases[i].made) continue;
    EXPECT_EQ(wire(*cases[i].made), *cases[i].wire);
  }
}

TEST(ChatMessageParamWire, ImageQuestionIsWrittenAsParts) {
  const auto message = Message::make(
      Role::user, std::vector<Message::VisionContent>{
                      TextPart{.text = "What is this?"},
                      ImagePart{.imageUrl = ImageURL::fromImageData(Bytes{0xFF, 0xD8, 0xFF},
                                                                    ImageURL::Detail::auto_)}});
  ASSERT_TRUE(message);
  EXPECT_EQ(wire(*message),
            R"({"content":[{"text":"What is this?","type":"text"},{"image_url":{"detail":"auto",)"
            R"("url":"data:image\/jpeg;base64,\/9j\/"},"type":"image_url"}],"role":"user"})");
  EXPECT_EQ(decode<Message>(wire(*message)), *message);
}

TEST(ChatMessageParamWire, EmptyImageDataGivesABareDataUrl) {
  EXPECT_EQ(ImageURL::fromImageData({}, ImageURL::Detail::low).url, "data:image/jpeg;base64,");
}

TEST(ChatMessageParamWire, EveryMessageReadsBackEqual) {
  const std::vector<Message> messages = {
      Message::ChatCompletionSystemMessageParam{.content = "s"},
      Message::ChatCompletionSystemMessageParam{.content = "s", .name = "n"},
      Message::ChatCompletionUserMessageParam{.content = "", .name = "n"},
      Message::ChatCompletionUserMessageParam{
          .content =
              std::vector<Message::VisionContent>{
                  ImagePart{
                      .imageUrl = {.url = "https://x/y.png", .detail = ImageURL::Detail::high}},
                  TextPart{.text = "a", .type = "text"}}},
      Message::ChatCompletionUserMessageParam{.content = std::vector<Message::VisionContent>{}},
      Message::ChatCompletionAssistantMessageParam{},
      Message::ChatCompletionAssistantMessageParam{.toolCalls = std::vector{imageCall()}},
      Message::ChatCompletionAssistantMessageParam{.content = "",
                                                   .toolCalls = std::vector<ToolCall>{}},
      Message::ChatCompletionToolMessageParam{.content = "{}", .toolCallId = "call_1"},
  };
  for (const auto& message : messages) {
    const auto text = wire(message);
    SCOPED_TRACE(text);
    EXPECT_EQ(decode<Message>(text), message);
    EXPECT_EQ(text.find("null"), std::string::npos);
  }
}

TEST(ChatMessageParamWire, ReadsNullAsAbsentAndIgnoresUnknownKeys) {
  EXPECT_EQ(decode<Message>(R"({"role":"system","content":"x","name":null})"),
            Message(Message::ChatCompletionSystemMessageParam{.content = "x"}));
  EXPECT_EQ(decode<Message>(R"({"role":"user","content":"hi","extra":1})"),
            Message(Message::ChatCompletionUserMessageParam{.content = "hi"}));
  EXPECT_EQ(decode<Message>(R"({"role":"assistant","content":null,"tool_calls":null})"),
            Message(Message::ChatCompletionAssistantMessageParam{}));
}

TEST(ChatMessageParamWire, BadInputFailsNamingTheKey) {
  expectDecodingErrors<Message>({
      {R"({"role":"user","content":3})", "content", Kind::typeMismatch},
      {R"({"role":"user","content":[{"kind":"text"}]})", "content", Kind::typeMismatch},
      {R"({"role":"user"})", "content", Kind::keyNotFound},
      {R"({"role":"tool","content":"x"})", "tool_call_id", Kind::keyNotFound},
      {R"({"role":"critic","content":"x"})", "role", Kind::dataCorrupted},
      {R"({"role":"User","content":"x"})", "role", Kind::dataCorrupted},
      {R"({"content":"x"})", "role", Kind::keyNotFound},
      {R"({"role":7,"content":"x"})", "role", Kind::typeMismatch},
      {R"({"role":"system","content":["x"]})", "content", Kind::typeMismatch},
      {R"({"role":"system","content":"x","name":5})", "name", Kind::typeMismatch},
      {R"({"role":"assistant","tool_calls":[{"id":"c","type":"function"}]})",
       "tool_calls[0].function", Kind::keyNotFound},
      {R"({"role":"assistant","tool_calls":[{"id":"c","type":"tool","function":)"
       R"({"name":"f","arguments":"{}"}}]})",
       "tool_calls[0].type", Kind::dataCorrupted},
      {R"({"role":"assistant","tool_calls":[{"id":"c","type":"function","function":{"name":"f"}}]})",
       "tool_calls[0].function.arguments", Kind::keyNotFound},
      {R"({"role":"assistant","content":{"text":"x"}})", "content", Kind::typeMismatch},
  });
}

TEST(ChatMessageParamWire, ContentOfTheWrongShapeSaysWhatItExpected) {
  const auto error = decodingError<Message>(R"({"role":"user","content":3})");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->detail(), "Content: expected String || Vision");
  const auto badPart = decodingError<Message>(
      R"({"role":"user","content":[{"image_url":{"url":"u","detail":"medium"},"type":"image_url"}]})");
  ASSERT_TRUE(badPart);
  EXPECT_EQ(badPart->detail(), "Content: expected String || Vision");
}

TEST(ChatMessageParam, AccessorsAnswerPerRole) {
  const Message system = Message::ChatCompletionSystemMessageParam{.content = "s", .name = "n"};
  EXPECT_EQ(system.role(), Role::system);
  EXPECT_EQ(system.content(), Message::Content("s"));
  EXPECT_EQ(system.name(), "n");
  EXPECT_EQ(system.toolCallId(), std::nullopt);
  EXPECT_EQ(system.toolCalls(), std::nullopt);

  const Message tool = Message::ChatCompletionToolMessageParam{.content = "r", .toolCallId = "c"};
  EXPECT_EQ(tool.role(), Role::tool);
  EXPECT_EQ(tool.content(), Message::Content("r"));
  EXPECT_EQ(tool.name(), std::nullopt);
  EXPECT_EQ(tool.toolCallId(), "c");

  const Message assistant =
      Message::ChatCompletionAssistantMessageParam{.toolCalls = std::vector{imageCall()}};
  EXPECT_EQ(assistant.role(), Role::assistant);
  EXPECT_EQ(assistant.content(), std::nullopt);
  EXPECT_EQ(assistant.toolCalls(), std::vector{imageCall()});

  const auto parts = std::vector<Message::VisionContent>{TextPart{.text = "t"}};
  const Message user = Message::ChatCompletionUserMessageParam{.content = parts};
  EXPECT_EQ(user.role(), Role::user);
  ASSERT_TRUE(user.content() && user.content()->vision());
  EXPECT_EQ(*user.content()->vision(), parts);
  EXPECT_EQ(user.content()->string(), nullptr);
  ASSERT_NE((*user.content()->vision())[0].textPart(), nullptr);
  EXPECT_EQ((*user.content()->vision())[0].textPart()->text, "t");
}

}  // namespace
}  // namespace tessra::aiclient
