#include "Tessra/chat_window/page_script.h"

#include <nlohmann/json.hpp>

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
  std::string out;
  out.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    const std::string_view rest = std::string_view(json).substr(i);
    if (rest.starts_with(kLineSeparator)) {
      out += "\\u2028";
      i += kLineSeparator.size() - 1;
    } else if (rest.starts_with(kParagraphSeparator)) {
      out += "\\u2029";
      i += kParagraphSeparator.size() - 1;
    } else {
      out += json[i];
    }
  }
  return out;
}

std::string base64Json(const ChatMessage& message) { return base64OfJson(message); }

std::string base64Json(const ChatSession& session) { return base64OfJson(session); }

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
