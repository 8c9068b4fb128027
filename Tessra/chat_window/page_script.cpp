#include "Tessra/chat_window/page_script.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"

namespace tessra::page_script {

namespace {

// A JSON text is a valid script string except for these two line terminators.
constexpr std::string_view kLineSeparator = "\u2028";
constexpr std::string_view kParagraphSeparator = "\u2029";

std::string base64OfJson(const nlohmann::json& value) {
  return platform::base64Encode(platform::encodeJson(value, {.escapeSlashes = false}));
}

// The page shows an attached file by its name and never its text, which may be a paste of many
// megabytes: the page's copy of a message leaves the text out (null).
nlohmann::json pageJson(const ChatMessage& message) {
  const auto hasText = [](const ChatMessageFile& file) { return file.text.has_value(); };
  const bool answerFileTexts =
      message.answerFiles && std::ranges::any_of(*message.answerFiles, hasText);
  if (!(message.questionFile && hasText(*message.questionFile)) && !answerFileTexts) return message;
  // The copy shares the texts: dropping them copies nothing.
  ChatMessage shown = message;
  if (shown.questionFile) shown.questionFile->text.reset();
  if (shown.answerFiles)
    for (ChatMessageFile& file : *shown.answerFiles) file.text.reset();
  return shown;
}

std::string call(std::string_view function, std::string_view argument) {
  std::string text(function);
  text += '(';
  text += stringLiteral(argument);
  text += ");";
  return text;
}

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};

}  // namespace

std::string stringLiteral(std::string_view text) {
  const std::string json = platform::encodeJson(nlohmann::json(std::string(text)));
  // Both terminators begin with this byte; the text between them is copied a run at a time.
  constexpr char kLead = '\xE2';
  static_assert(kLineSeparator.size() == 3 && kParagraphSeparator.size() == 3);
  std::string out;
  out.reserve(json.size());
  std::size_t copied = 0;
  for (std::size_t at = json.find(kLead); at != std::string::npos; at = json.find(kLead, at + 1)) {
    const std::string_view rest = std::string_view(json).substr(at);
    const bool line = rest.starts_with(kLineSeparator);
    if (!line && !rest.starts_with(kParagraphSeparator)) continue;
    out.append(json, copied, at - copied);
    out += line ? "\\u2028" : "\\u2029";
    copied = at + kLineSeparator.size();
  }
  out.append(json, copied);
  return out;
}

std::string base64Json(const ChatMessage& message) { return base64OfJson(pageJson(message)); }

std::string base64Json(const ChatSession& session) {
  nlohmann::json shown = ChatSession{session.id, session.name, {}};
  for (const ChatMessage& message : session.messages)
    shown["messages"].push_back(pageJson(message));
  return base64OfJson(shown);
}

std::string setLocale(std::string_view languageCode) {
  return call("window.setLocale", languageCode);
}

std::string setAnimationsEnabled(bool enabled) {
  return enabled ? "window.setAnimationsEnabled(true);" : "window.setAnimationsEnabled(false);";
}

std::string showNotice(std::string_view textKey) { return call("window.showNotice", textKey); }

std::string showLoading(bool shown) {
  return shown ? "window.showLoading(true);" : "window.showLoading(false);";
}

std::string restoreMessages(const ChatSession& session, bool scrollToEnd) {
  std::string text = "window.restoreMessages(" + stringLiteral(base64Json(session));
  text += scrollToEnd ? ", true);" : ", false);";
  return text;
}

std::string appendToAnswer(std::string_view messageID, std::string_view text) {
  std::string script = "window.appendToAnswer(" + stringLiteral(messageID);
  script += ", ";
  script += stringLiteral(text);
  script += ");";
  return script;
}

std::string forUpdate(const MessageUpdate& update) {
  return std::visit(Overloaded{
                        [](const MessageUpdate::AppendMessage& u) {
                          return call("window.appendMessage", base64Json(u.message));
                        },
                        [](const MessageUpdate::EditMessage& u) {
                          return call("window.editMessage", base64Json(u.message));
                        },
                        [](const MessageUpdate::DeleteMessage& u) {
                          return call("window.deleteMessageById", u.id);
                        },
                        [](const MessageUpdate::ScrollToMessage& u) {
                          return call("window.scrollToMessageById", u.id);
                        },
                        [](const MessageUpdate::SearchMessage& u) -> std::string {
                          if (!u.text) return "searchClear();";
                          return call("search", *u.text);
                        },
                        [](const MessageUpdate::NextSearchResult& u) -> std::string {
                          return u.forward ? "searchNext();" : "searchPrevious();";
                        },
                        [](const MessageUpdate::ClearMessages&) -> std::string {
                          return "window.clearMessages();";
                        },
                    },
                    update.value);
}

}  // namespace tessra::page_script
