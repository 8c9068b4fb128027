#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/chat_message.h"
#include "Tessra/storage/chat_session.h"
#include "Tessra/storage/conversation.h"
#include "Tessra/storage/paths.h"
#include "Tessra/storage/storage_test_support.h"
#include "Tessra/storage/welcome.h"
#include "platform/foundation/json.h"
#include "platform/foundation/uuid.h"

namespace tessra {
namespace {

using nlohmann::json;
using platform::Date;
using platform::decodeJson;
using platform::decodeValue;
using platform::encodeJson;
using platform::JsonDecodingError;

std::string filesUrl(const std::string& name) {
  return "file://" + Paths::filesDirectory().rawValue() + name;
}

// --- Model catalogue ----------------------------------------------------------------------------

// --- Messages -----------------------------------------------------------------------------------

TEST(ChatMessageTest, ShortQuestionCountsUserPerceivedCharacters) {
  const std::string eightyOne(81, 'a');
  EXPECT_EQ(ChatMessage("1", eightyOne, "", false, false).shortQuestion, std::string(80, 'a'));
  EXPECT_EQ(ChatMessage("1", "short", "", false, false).shortQuestion, "short");
  std::string emoji;
  for (int i = 0; i < 80; ++i) emoji += "👍🏽";
  EXPECT_EQ(ChatMessage("1", emoji, "", false, false).shortQuestion, emoji);
  EXPECT_EQ(ChatMessage("1", emoji + "x", "", false, false).shortQuestion, emoji);
}

TEST(ChatMessageTest, NewMessageWritesOnlyPresentOptionals) {
  ChatMessage message("A", "Q?", "", false, false);
  const json j = message;
  EXPECT_TRUE(j.contains("createdAt"));
  for (const char* key : {"error", "questionFile", "tokenUsage", "functionCalls", "answerFiles"})
    EXPECT_FALSE(j.contains(key)) << key;
  EXPECT_EQ(j["type"], "message");
  EXPECT_EQ(decodeJson<ChatMessage>(encodeJson(j)), message);
}

TEST(ChatMessageTest, FullMessageReadsBackEqualWithExactDate) {
  ChatMessage message("B", "Question", "Answer", true, true);
  message.createdAt = Date::fromReferenceDate(735000123.456789);
  message.error = "boom";
  message.tokenUsage = 9007199254740993;
  message.functionCalls = std::vector<ChatMessageFunctionCall>{
      {"Running Image", ChatMessageFunctionCall::Status::loading},
      {"done", ChatMessageFunctionCall::Status::done}};
  message.questionFile = ChatMessageFile{"notes.txt", std::nullopt, "hello", std::nullopt,
                                         ChatMessageFile::ChatMessageFileType::text};
  message.answerFiles = std::vector<ChatMessageFile>{{std::nullopt, filesUrl("A.jpg"), std::nullopt,
                                                      filesUrl("A-thumb.jpg"),
                                                      ChatMessageFile::ChatMessageFileType::image}};
  EXPECT_EQ(decodeJson<ChatMessage>(encodeJson(json(message))), message);
}

TEST(ChatMessageTest, EmptyFunctionCallListStaysPresent) {
  ChatMessage message("C", "Q", "", false, false);
  message.functionCalls = std::vector<ChatMessageFunctionCall>{};
  const std::string text = encodeJson(json(message));
  EXPECT_NE(text.find(R"("functionCalls":[])"), std::string::npos);
  const auto back = decodeJson<ChatMessage>(text);
  ASSERT_TRUE(back.functionCalls.has_value());
  EXPECT_TRUE(back.functionCalls->empty());
}

TEST(ChatMessageTest, DecodingRules) {
  const json base = {
      {"id", "1"},     {"type", "message"}, {"question", "q"},     {"shortQuestion", "s"},
      {"answer", "a"}, {"finished", true},  {"endContext", false}, {"unknown", 3}};
  const auto back = decodeValue<ChatMessage>(base);
  EXPECT_FALSE(back.createdAt.has_value());
  EXPECT_EQ(back.shortQuestion, "s");  // taken as stored
  EXPECT_FALSE(json(back).contains("unknown"));

  struct Case {
    const char* name;
    std::function<void(json&)> change;
    std::string path;
  };
  const Case failing[] = {
      {"missing answer", [](json& j) { j.erase("answer"); }, "answer"},
      {"null finished", [](json& j) { j["finished"] = nullptr; }, "finished"},
      {"type in capitals", [](json& j) { j["type"] = "Message"; }, "type"},
      {"finished as number", [](json& j) { j["finished"] = 1; }, "finished"},
      {"token usage 3.5", [](json& j) { j["tokenUsage"] = 3.5; }, "tokenUsage"},
      {"token usage text", [](json& j) { j["tokenUsage"] = "1"; }, "tokenUsage"},
      {"bad status",
       [](json& j) {
         j["functionCalls"] = json::array({{{"text", "t"}, {"status", "ok"}}});
       },
       "functionCalls[0].status"},
  };
  for (const Case& c : failing) {
    SCOPED_TRACE(c.name);
    json j = base;
    c.change(j);
    try {
      decodeValue<ChatMessage>(j);
      ADD_FAILURE() << "decoded";
    } catch (const JsonDecodingError& error) {
      EXPECT_EQ(error.codingPath(), c.path);
    }
  }
  json nulls = base;
  nulls["error"] = nullptr;
  nulls["questionFile"] = nullptr;
  EXPECT_FALSE(decodeValue<ChatMessage>(nulls).error.has_value());
}

TEST(ChatMessageFileTest, WritesEveryKeyWithNulls) {
  const ChatMessageFile file{std::nullopt, std::nullopt, "body", std::nullopt,
                             ChatMessageFile::ChatMessageFileType::text};
  EXPECT_EQ(encodeJson(json(file)),
            R"({"fileName":null,"path":null,"text":"body","thumbnailPath":null,"type":"text"})");
  EXPECT_EQ(decodeJson<ChatMessageFile>(encodeJson(json(file))), file);
  EXPECT_THROW(decodeJson<ChatMessageFile>(R"({"type":"video"})"), JsonDecodingError);
  EXPECT_THROW(decodeJson<ChatMessageFile>(R"({"path":"x"})"), JsonDecodingError);
}

TEST(ChatMessageFileTest, PathsAreRebasedOntoTheFilesFolder) {
  const std::string folder = Paths::filesDirectory().rawValue();
  ASSERT_TRUE(folder.ends_with("/TessraAI/files/"));
  struct Case {
    std::string stored;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"file:///Users/someone/Library/TessraAI/files/ABC.jpg", "file://" + folder + "ABC.jpg"},
      {"ABC.jpg", "file://" + folder + "ABC.jpg"},
      {"", "file://" + folder},
      {"file:///elsewhere/dir/", "file://" + folder + "dir"},
      {"file:///x/with%20space.jpg", "file://" + folder + "with%20space.jpg"},
      {"file:///x/%C3%A9t%c3%a9 (1)+x.png", "file://" + folder + "%C3%A9t%C3%A9%20%281%29%2Bx.png"},
      {"file:///x/100%25.png", "file://" + folder + "100%25.png"},
      {"a%2Fb.png", "file://" + folder + "a%252Fb.png"},
      // Decoded, these name no file of the folder: refused, never re-based elsewhere.
      {"file:///x/a%2Fb.png", std::nullopt},
      {"file:///x/%2E%2E", std::nullopt},
      {"file:///x/..", std::nullopt},
      {"file:///x/a%00b.png", std::nullopt},
      {"file:///x/bad%zz.png", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    const auto read = decodeValue<ChatMessageFile>(json{{"path", c.stored}, {"type", "image"}});
    EXPECT_EQ(read.path, c.expected);
    // Idempotent: reading what was written changes nothing.
    EXPECT_EQ(decodeJson<ChatMessageFile>(encodeJson(json(read))).path, c.expected);
  }
}

TEST(ChatMessageTopicTest, TitleDropsLineFeeds) {
  ChatMessage message("X", "line one\nline two", "", false, false);
  const ChatMessageTopic topic = topicOf(message, 2);
  EXPECT_EQ(topic, (ChatMessageTopic{3, "X", "line oneline two"}));
}

// --- Sessions ------------------------------------------------------------------------------------

TEST(ChatSessionTest, EmptySessionRoundTrip) {
  const ChatSession session{"id", "name", {}};
  EXPECT_EQ(encodeJson(json(session)), R"({"id":"id","messages":[],"name":"name"})");
  EXPECT_EQ(decodeJson<ChatSession>(encodeJson(json(session))), session);
  EXPECT_EQ(decodeJson<ChatSession>(R"({"id":"i","name":"n","messages":[],"extra":1})"),
            (ChatSession{"i", "n", {}}));
}

TEST(ChatSessionTest, OneBadMessageFailsTheWholeSession) {
  const std::string text =
      R"({"id":"i","name":"n","messages":[{"id":"1","type":"message","question":"q",)"
      R"("shortQuestion":"q","answer":"","endContext":false}]})";
  try {
    decodeJson<ChatSession>(text);
    FAIL() << "decoded";
  } catch (const JsonDecodingError& error) {
    EXPECT_EQ(error.codingPath(), "messages[0].finished");
  }
}

// --- Conversations -------------------------------------------------------------------------------

TEST(ConversationRecordsTest, AbsentOptionalsAreLeftOut) {
  Conversation plain{"c", "💬 Chat", Date::fromReferenceDate(10), std::nullopt};
  EXPECT_EQ(encodeJson(json(plain)), R"({"createdAt":10,"id":"c","name":"💬 Chat"})");
  plain.config = ConversationConfig{};
  EXPECT_EQ(json(plain)["config"], json::parse(R"({"contextWindow":0})"));

  ConversationConfig full{ChatGPTModels::gpt4o, "Be brief", 0.5, 0.25, -1.5, 1, 12};
  Conversation configured{"d", "n", Date::fromReferenceDate(-1.25), full};
  ConversationList list{"L", "d", {plain, configured}};
  EXPECT_EQ(decodeJson<ConversationList>(encodeJson(json(list))), list);
  EXPECT_EQ(json(full)["model"], "gpt4o");
}

TEST(ConversationRecordsTest, MissingKeysWithReadingsOfTheirOwn) {
  const auto list = decodeJson<ConversationList>(R"({"conversations":[{"id":"a","name":"n"}]})");
  EXPECT_EQ(list.id.size(), 36u);
  EXPECT_EQ(list.id, platform::canonicalUuidString(list.id));
  EXPECT_FALSE(list.latestSessionID.has_value());
  EXPECT_EQ(list.conversations.at(0).createdAt, kDistantPast);
  EXPECT_EQ(json(list.conversations.at(0))["createdAt"], -63114076800);

  const auto empty = decodeJson<ConversationList>(R"({"conversations":[]})");
  const json written = json::parse(encodeJson(json(empty)));
  EXPECT_EQ(written.size(), 2u);
  EXPECT_TRUE(written.contains("id") && written.contains("conversations"));
}

TEST(ConversationRecordsTest, BadValuesFailTheWholeList) {
  const char* cases[] = {
      R"({"id":"x"})",
      R"({"id":7,"conversations":[]})",
      R"({"conversations":[{"id":"a","name":"n","config":{}}]})",
      R"({"conversations":[{"id":"a","name":"n","config":{"model":"gpt-4","contextWindow":0}}]})",
      R"({"conversations":[{"id":"a","name":"n","config":{"contextWindow":1.5}}]})",
      R"({"conversations":[{"id":"a","name":"n","createdAt":"yesterday"}]})",
      R"({"conversations":[{"id":"a"}]})",
      R"({"conversations":[{"id":"a","name":"n"},{"name":"no id"}]})",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_THROW(decodeJson<ConversationList>(text), JsonDecodingError);
  }
}

// --- Welcome
// --------------------------------------------------------------------------------------

TEST(WelcomeTest, LanguageOfTheGreeting) {
  struct Case {
    std::vector<std::string> preferred;
    const char* answerStart;
  };
  const Case cases[] = {
      {{"pt-BR", "en-US"}, "🎉 Bem-vindo ao *Tessra*,"},
      {{"pt-PT"}, "🎉 Welcome to *Tessra*,"},
      {{"en-US", "pt-BR"}, "🎉 Welcome to *Tessra*,"},
      {{}, "🎉 Welcome to *Tessra*,"},
  };
  for (const Case& c : cases) {
    const ChatSession session = welcomeSession(c.preferred);
    ASSERT_EQ(session.messages.size(), 1u);
    EXPECT_TRUE(session.messages[0].answer.starts_with(c.answerStart)) << c.answerStart;
  }
}

// --- Attachment
// -----------------------------------------------------------------------------------

TEST(ChatAttachmentTest, EqualityByImageHandle) {
  const auto image = std::make_shared<const EncodedImage>(EncodedImage{{1, 2, 3}, 2, 1});
  const auto sameBytes = std::make_shared<const EncodedImage>(EncodedImage{{1, 2, 3}, 2, 1});
  const ChatAttachment a{image, "t", "f"};
  ChatAttachment b = a;
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::hash<ChatAttachment>{}(a), std::hash<ChatAttachment>{}(b));
  b.text = "edited";
  EXPECT_NE(a, b);
  EXPECT_NE(a, (ChatAttachment{sameBytes, "t", "f"}));
  EXPECT_EQ((ChatAttachment{nullptr, std::nullopt, "x"}),
            (ChatAttachment{nullptr, std::nullopt, "x"}));
  EXPECT_NE((ChatAttachment{nullptr, std::nullopt, "x"}), (ChatAttachment{nullptr, "", "x"}));
}

// --- Paths
// ----------------------------------------------------------------------------------------

TEST(PathsTest, LocationsUnderTheDataHome) {
  const std::string data = (storage_test::processHome() / "data").string();
  EXPECT_EQ(Paths::storageDirectory().rawValue(), data + "/TessraAI/");
  EXPECT_EQ(Paths::conversationsFile().rawValue(), data + "/TessraAI/conversations.json");
  EXPECT_EQ(Paths::filesDirectory().rawValue(), data + "/TessraAI/files/");
  EXPECT_EQ(Paths::sessionFile("welcome").rawValue(), data + "/TessraAI/welcome.json");
}

TEST(PathsTest, PlainFileNames) {
  for (const char* bad : {"", ".", "..", "a/b", "../../x", "/abs"})
    EXPECT_FALSE(isPlainFileName(bad));
  EXPECT_FALSE(isPlainFileName(std::string(256, 'a')));
  EXPECT_FALSE(isPlainFileName(std::string("a\0b", 3)));
  EXPECT_TRUE(isPlainFileName(std::string(255, 'a')));
  EXPECT_TRUE(isPlainFileName("E621E1F8-C36C-495A-93FC-0C247A3E6E5F.json"));
}

}  // namespace
}  // namespace tessra
