#include "Tessra/chat_window/page_script.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Tessra/storage/paths.h"
#include "platform/foundation/base64.h"

namespace tessra {
namespace {

// The JSON behind a script's Base64 argument, which sits between the first pair of quotes.
std::string decodedArgument(const std::string& script) {
  const auto open = script.find('"');
  const auto close = script.find('"', open + 1);
  const auto bytes = platform::base64Decode(script.substr(open + 1, close - open - 1));
  EXPECT_TRUE(bytes.has_value()) << script;
  return bytes ? toString(*bytes) : std::string();
}

ChatMessage sampleMessage() {
  ChatMessage message("9F1C5E2A-0B7D-4E51-8D0E-6B7F2C3A1D44", "Zeig mir 🙂 / 日本", "**ok**",
                      true, false);
  message.createdAt = platform::Date::fromReferenceDate(0);
  message.questionFile = ChatMessageFile{"notes.txt", std::nullopt, "text body", std::nullopt,
                                         ChatMessageFile::ChatMessageFileType::text};
  return message;
}

TEST(PageScriptTest, EachUpdateHasItsExactText) {
  const ChatMessage message = sampleMessage();
  const std::string base64 = page_script::base64Json(message);
  const struct {
    MessageUpdate update;
    std::string expected;
  } cases[] = {
      {MessageUpdate::appendMessage(message), "window.appendMessage(\"" + base64 + "\");"},
      {MessageUpdate::editMessage(message), "window.editMessage(\"" + base64 + "\");"},
      {MessageUpdate::deleteMessage("id-1"), R"(window.deleteMessageById("id-1");)"},
      {MessageUpdate::scrollToMessage("id-2"), R"(window.scrollToMessageById("id-2");)"},
      {MessageUpdate::searchMessage("needle"), R"(search("needle");)"},
      {MessageUpdate::searchMessage(std::nullopt), "searchClear();"},
      {MessageUpdate::nextSearchResult(true), "searchNext();"},
      {MessageUpdate::nextSearchResult(false), "searchPrevious();"},
      {MessageUpdate::clearMessages(), "window.clearMessages();"},
  };
  for (const auto& test : cases) EXPECT_EQ(page_script::forUpdate(test.update), test.expected);

  const ChatSession session{"s/1", "Name", {message}};
  EXPECT_EQ(page_script::restoreMessages(session, true),
            "window.restoreMessages(\"" + page_script::base64Json(session) + "\", true);");
  EXPECT_EQ(page_script::restoreMessages(session, false),
            "window.restoreMessages(\"" + page_script::base64Json(session) + "\", false);");
  EXPECT_EQ(page_script::setLocale("zh-Hans"), R"(window.setLocale("zh-Hans");)");
  EXPECT_EQ(page_script::showLoading(true), "window.showLoading(true);");
  EXPECT_EQ(page_script::showLoading(false), "window.showLoading(false);");
  EXPECT_EQ(page_script::setAnimationsEnabled(false), "window.setAnimationsEnabled(false);");
  EXPECT_EQ(page_script::showNotice("cannotOpenFile"), R"(window.showNotice("cannotOpenFile");)");
  EXPECT_EQ(page_script::appendToAnswer("id-3", "a \"b\"\n\u2028"),
            R"(window.appendToAnswer("id-3", "a \"b\"\n\u2028");)");
}

TEST(PageScriptTest, Base64CarriesTheRecordJsonWithoutFileTextsAndSlashesAsTheyAre) {
  ChatMessage message = sampleMessage();
  message.answerFiles = std::vector<ChatMessageFile>{
      {"picture.jpg", "file://" + Paths::filesDirectory().rawValue() + "picture.jpg", std::nullopt,
       std::nullopt, ChatMessageFile::ChatMessageFileType::image}};
  const std::string json =
      decodedArgument(page_script::forUpdate(MessageUpdate::appendMessage(message)));

  EXPECT_EQ(json.find("\\/"), std::string::npos) << json;
  EXPECT_NE(json.find("\"createdAt\":0"), std::string::npos) << json;
  EXPECT_NE(json.find("Zeig mir 🙂 / 日本"), std::string::npos) << json;
  const auto parsed = nlohmann::json::parse(json);
  // The page shows an attached file by its name: its text, which may be a paste of megabytes,
  // stays out.
  ChatMessage shown = message;
  shown.questionFile->text.reset();
  EXPECT_EQ(parsed.get<ChatMessage>(), shown);
  // A file record writes all five keys, null for what it lacks.
  EXPECT_EQ(parsed["questionFile"],
            nlohmann::json::parse(R"({"fileName":"notes.txt","path":null,"text":null,
                                      "thumbnailPath":null,"type":"text"})"));
  const std::string imagePath = parsed["answerFiles"][0]["path"].get<std::string>();
  EXPECT_EQ(imagePath, "file://" + Paths::filesDirectory().rawValue() + "picture.jpg");
  EXPECT_FALSE(parsed.contains("error"));

  const ChatSession session{"id", "name", {message, message}};
  const auto restored =
      nlohmann::json::parse(decodedArgument(page_script::restoreMessages(session, true)));
  EXPECT_EQ(restored.get<ChatSession>(), (ChatSession{"id", "name", {shown, shown}}));
}

TEST(PageScriptTest, IdsAndSearchTextsArriveUnchanged) {
  const std::string texts[] = {
      "it's",
      R"(say "hi")",
      R"(back\slash\)",
      "two\nlines\r\n",
      "line\u2028separator\u2029paragraph",
      "</script><script>alert(1)</script>",
      "tab\tand\x01control",
  };
  for (const std::string& text : texts) {
    const std::string scripts[] = {
        page_script::forUpdate(MessageUpdate::searchMessage(text)),
        page_script::forUpdate(MessageUpdate::deleteMessage(text)),
        page_script::forUpdate(MessageUpdate::scrollToMessage(text)),
    };
    for (const auto& script : scripts) {
      const auto open = script.find('(');
      const auto close = script.rfind(");");
      const std::string literal = script.substr(open + 1, close - open - 1);
      EXPECT_EQ(nlohmann::json::parse(literal).get<std::string>(), text) << script;
      // A raw line terminator would end the script's string before its time.
      for (const std::string_view terminator : {"\n", "\r", "\u2028", "\u2029"})
        EXPECT_EQ(literal.find(terminator), std::string::npos) << script;
    }
  }
}

}  // namespace
}  // namespace tessra
