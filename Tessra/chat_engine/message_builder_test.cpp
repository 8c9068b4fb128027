#include "Tessra/chat_engine/message_builder.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Tessra/chat_engine/engine_test_support.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "testing/memory_ceiling.h"

namespace tessra {
namespace {

using engine_test::cl100kEncoding;
using engine_test::LogCapture;
using Role = Message::Role;

ChatMessage message(std::string id, std::string question, std::string answer = "") {
  return ChatMessage(std::move(id), std::move(question), std::move(answer), true, false);
}

std::vector<ChatMessage> numberedMessages(int count) {
  std::vector<ChatMessage> messages;
  for (int i = 1; i <= count; ++i)
    messages.push_back(
        message("m" + std::to_string(i), "q" + std::to_string(i), "a" + std::to_string(i)));
  return messages;
}

std::string json(const std::vector<Message>& messages) {
  return platform::encodeJson(nlohmann::json(messages));
}

EncodingProvider cl100k() {
  return [](std::string_view) { return cl100kEncoding(); };
}

TEST(RequestPlanDefaults, NoSettingsTakeTheDefaultsAndTheApplicationModel) {
  const RequestPlan plan =
      makeRequestPlan(std::nullopt, ChatGPTModels::gpt35, "key", {}, std::nullopt);
  EXPECT_EQ(plan.model, ChatGPTModels::gpt35);
  EXPECT_EQ(plan.prompt, "You're Tessra, a helpful assistant.");
  EXPECT_EQ(plan.temperature, 0.5);
  EXPECT_EQ(plan.messageLimit, 100);
  EXPECT_FALSE(plan.frequencyPenalty);
  EXPECT_FALSE(plan.presencePenalty);
  EXPECT_FALSE(plan.topP);
  EXPECT_EQ(plan.apiKey, "key");
}

TEST(RequestPlanDefaults, SettingsWinAndTheirAbsentValuesFallBack) {
  ConversationConfig config;
  config.contextWindow = 0;
  RequestPlan plan = makeRequestPlan(config, ChatGPTModels::gpt4o, "", {}, std::nullopt);
  EXPECT_EQ(plan.model, ChatGPTModels::gpt4o);
  EXPECT_EQ(plan.prompt, "You're Tessra, a helpful assistant.");
  EXPECT_EQ(plan.temperature, 0.5);
  EXPECT_EQ(plan.messageLimit, 0);

  config = {.model = ChatGPTModels::gpt4turbo,
            .prompt = "Be brief.",
            .temperature = 1.2,
            .presencePenalty = 0.1,
            .frequencyPenalty = -0.3,
            .topP = 0.9,
            .contextWindow = 3};
  plan = makeRequestPlan(config, ChatGPTModels::gpt4o, "", {}, std::nullopt);
  EXPECT_EQ(plan.model, ChatGPTModels::gpt4turbo);
  EXPECT_EQ(plan.prompt, "Be brief.");
  EXPECT_EQ(plan.temperature, 1.2);
  EXPECT_EQ(plan.presencePenalty, 0.1);
  EXPECT_EQ(plan.frequencyPenalty, -0.3);
  EXPECT_EQ(plan.topP, 0.9);
  EXPECT_EQ(plan.messageLimit, 3);
}

TEST(CountingText, IsEachMessagesTextFollowedByASpace) {
  const std::vector<Message> messages = {
      *Message::make(Role::system, "P"),
      *Message::make(Role::user, "Q"),
      *Message::make(Role::assistant, ""),
      *Message::make(Role::assistant, std::nullopt),
      *Message::make(Role::user,
                     std::vector<Message::VisionContent>{
                         aiclient::ChatCompletionContentPartTextParam{.text = "T1"},
                         aiclient::ChatCompletionContentPartImageParam{},
                         aiclient::ChatCompletionContentPartTextParam{.text = "T2"}}),
      *Message::make(Role::tool, "R", std::nullopt, std::nullopt, "call")};
  EXPECT_EQ(messageTextForCounting({}), "");
  EXPECT_EQ(messageTextForCounting({messages[0], messages[1]}), "P Q ");
  EXPECT_EQ(messageTextForCounting(messages), "P Q   T1T2 R ");
}

TEST(MessageWindow, KeepsTheLastMessagesCountingTheQuestion) {
  const std::vector<ChatMessage> context = numberedMessages(5);  // m5 is the question
  struct Case {
    std::int64_t limit;
    std::vector<std::string> ids;
  };
  for (const Case& c : {Case{3, {"m3", "m4"}}, Case{1, {}}, Case{0, {"m1", "m2", "m3", "m4"}},
                        Case{-2, {"m1", "m2", "m3", "m4"}}, Case{100, {"m1", "m2", "m3", "m4"}},
                        Case{5, {"m1", "m2", "m3", "m4"}}}) {
    std::vector<std::string> ids;
    for (const ChatMessage& m : windowedHistory(context, c.limit, "m5")) ids.push_back(m.id);
    EXPECT_EQ(ids, c.ids) << "limit " << c.limit;
  }
}

TEST(MessageList, SendsTheQuestionOnceAfterTheHistory) {
  RequestPlan plan;
  plan.prompt = "S";
  plan.contextMessages = numberedMessages(2);
  plan.contextMessages.push_back(message("m3", "question", ""));
  plan.contextMessages[1].answer = "";
  const BuiltMessages built = buildMessages(plan.contextMessages[2], plan, nullptr);
  const std::vector<Message> expected = {
      *Message::make(Role::system, "S"),     *Message::make(Role::user, "q1"),
      *Message::make(Role::assistant, "a1"), *Message::make(Role::user, "q2"),
      *Message::make(Role::assistant, ""),   *Message::make(Role::user, "question")};
  EXPECT_EQ(json(built.messages), json(expected));
  EXPECT_EQ(built.droppedMessages, 0u);
}

TEST(MessageList, TheAttachmentShapesTheQuestion) {
  const ChatMessage question = message("q", "What is this?");
  auto image = std::make_shared<const EncodedImage>(EncodedImage{{0xFF, 0xD8, 0xFF, 0xD9}, 2, 2});
  struct Case {
    const char* name;
    std::optional<ChatAttachment> attachment;
    std::string expectedJson;
  };
  std::string dataUrl;
  for (char c : "data:image/jpeg;base64," + platform::base64Encode(image->jpeg))
    dataUrl += c == '/' ? std::string("\\/") : std::string(1, c);
  const std::vector<Case> cases = {
      {"none", std::nullopt, R"({"content":"What is this?","role":"user"})"},
      {"image", ChatAttachment{image, "ignored text", "a.png"},
       R"({"content":[{"text":"What is this?","type":"text"},{"image_url":{"detail":"auto","url":")" +
           dataUrl + R"("},"type":"image_url"}],"role":"user"})"},
      {"text with a name", ChatAttachment{nullptr, "line 1\nline 2", "notes.txt"},
       R"({"content":[{"text":"What is this?","type":"text"},{"text":"notes.txt:\nline 1\nline 2","type":"text"}],"role":"user"})"},
      {"text without a name", ChatAttachment{nullptr, "body", std::nullopt},
       R"({"content":[{"text":"What is this?","type":"text"},{"text":"File:\nbody","type":"text"}],"role":"user"})"},
      {"an image without bytes falls back to the text",
       ChatAttachment{std::make_shared<const EncodedImage>(), "body", std::nullopt},
       R"({"content":[{"text":"What is this?","type":"text"},{"text":"File:\nbody","type":"text"}],"role":"user"})"},
  };
  for (const Case& c : cases) {
    const std::string got =
        platform::encodeJson(nlohmann::json(questionMessage(question, c.attachment)));
    EXPECT_EQ(got, c.expectedJson) << c.name;
  }
}

RequestPlan longConversation(ChatGPTModels model, int messages, std::size_t answerWords) {
  RequestPlan plan;
  plan.model = model;
  plan.messageLimit = 0;
  std::mt19937 random(11);
  const std::vector<std::string> words = {"rain",  "sun",   "cloud", "river", "stone", "light",
                                          "north", "green", "seven", "quiet", "bridge"};
  for (int i = 0; i < messages; ++i) {
    std::string answer;
    for (std::size_t w = 0; w < answerWords; ++w) answer += words[random() % words.size()] + " ";
    plan.contextMessages.push_back(
        message("m" + std::to_string(i), "Tell me about " + std::to_string(i), answer));
  }
  return plan;
}

TEST(Trimming, DropsTheOldestHistoryOneAtATimeWithADebugLineEach) {
  RequestPlan plan = longConversation(ChatGPTModels::gpt35, 40, 150);
  plan.attachment = ChatAttachment{nullptr, "attached text", "a.txt"};
  const ChatMessage question = message("new", "And now?");
  LogCapture log;
  const BuiltMessages built = buildMessages(question, plan, cl100k());

  ASSERT_GT(built.droppedMessages, 0u);
  ASSERT_LT(built.droppedMessages, 40u);
  EXPECT_FALSE(built.overLimit);
  std::vector<std::string> expectedLines;
  for (std::size_t left = 40; left > 40 - built.droppedMessages; --left)
    expectedLines.push_back("Removing message from context. Current count: " +
                            std::to_string(left));
  EXPECT_EQ(log.linesStartingWith("Removing message"), expectedLines);

  // The kept history is the newest, the question keeps its attachment, and it all fits.
  ASSERT_EQ(built.messages.size(), 1 + 2 * (40 - built.droppedMessages) + 1);
  EXPECT_EQ(
      json({built.messages[1]}),
      json({*Message::make(Role::user, "Tell me about " + std::to_string(built.droppedMessages))}));
  EXPECT_EQ(json({built.messages.back()}), json({questionMessage(question, plan.attachment)}));
  const auto count = [&](const std::vector<Message>& messages) {
    return cl100kEncoding()->encode(messageTextForCounting(messages)).size();
  };
  EXPECT_LE(count(built.messages), 4096u);
  // One message more would not have fitted.
  const std::vector<ChatMessage> history = windowedHistory(plan.contextMessages, 0, "new");
  EXPECT_GT(count(assembleMessages(plan.prompt, history, built.droppedMessages - 1,
                                   built.messages.back())),
            4096u);
}

TEST(Trimming, BothModesGiveTheSameList) {
  for (ChatGPTModels model : {ChatGPTModels::gpt35, ChatGPTModels::gpt4}) {
    const RequestPlan plan = longConversation(model, 150, 45);
    const ChatMessage question = message("new", "Summarise");
    const BuiltMessages fast = buildMessages(question, plan, cl100k(), TrimMode::incremental);
    const BuiltMessages literal =
        buildMessages(question, plan, cl100k(), TrimMode::recountEveryRound);
    EXPECT_EQ(fast.droppedMessages, literal.droppedMessages);
    EXPECT_EQ(json(fast.messages), json(literal.messages));
  }
}

TEST(Trimming, CountsWithTheEncodingOfTheModelsFamily) {
  for (const auto& [model, name] :
       {std::pair{ChatGPTModels::gpt35, "gpt-3.5-turbo"}, std::pair{ChatGPTModels::gpt4o, "gpt-4"},
        std::pair{ChatGPTModels::gpt4, "gpt-4"}, std::pair{ChatGPTModels::gpt4vision, "gpt-4"}}) {
    RequestPlan plan;
    plan.model = model;
    std::vector<std::string> asked;
    buildMessages(message("q", "hi"), plan, [&](std::string_view modelName) {
      asked.emplace_back(modelName);
      return cl100kEncoding();
    });
    EXPECT_EQ(asked, std::vector<std::string>{name}) << apiModelName(model);
  }
}

TEST(Trimming, APromptAndQuestionOverTheLimitGoOutAsTheyAreWithOneLogLine) {
  RequestPlan plan = longConversation(ChatGPTModels::gpt35, 3, 5);
  std::string huge;
  for (int i = 0; i < 5000; ++i) huge += "word ";
  const ChatMessage question = message("new", huge);
  LogCapture log;
  const BuiltMessages built = buildMessages(question, plan, cl100k());
  EXPECT_TRUE(built.overLimit);
  EXPECT_EQ(built.droppedMessages, 3u);
  ASSERT_EQ(built.messages.size(), 2u);
  EXPECT_EQ(log.linesStartingWith("Removing message").size(), 3u);
  EXPECT_EQ(log.linesStartingWith("The system prompt and the question alone").size(), 1u);
}

// One answer of 20 MB earlier in a conversation: every later question keeps the messages after
// it, and trimming it away costs about what those hold, not the answer's length (merged whole,
// its one piece alone took some 800 MB and a minute).
TEST(Trimming, ALongAnswerEarlierOnCostsWhatIsKeptNotWhatIsStored) {
  RequestPlan plan = longConversation(ChatGPTModels::gpt35, 4, 30);
  plan.contextMessages[0].answer = std::string(20 << 20, 'x');
  const ChatMessage question = message("new", "And now?");
  const testing::MemoryCeiling ceiling(256 << 20);

  const BuiltMessages built = buildMessages(question, plan, cl100k());

  EXPECT_EQ(built.droppedMessages, 1u);
  EXPECT_FALSE(built.overLimit);
  ASSERT_EQ(built.messages.size(), 1 + 2 * 3 + 1);
  EXPECT_EQ(json({built.messages[1]}), json({*Message::make(Role::user, "Tell me about 1")}));
  EXPECT_LT(ceiling.growth(), 256u << 20);
}

TEST(Trimming, ErrorsOfTheCounterPassThrough) {
  RequestPlan plan;
  EXPECT_THROW(buildMessages(message("q", "hi"), plan,
                             [](std::string_view) -> std::shared_ptr<const tokenizer::Encoding> {
                               throw TextError("pattern failed");
                             }),
               TextError);
}

}  // namespace
}  // namespace tessra
