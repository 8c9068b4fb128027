// The script texts the program evaluates in the message page, one per call, each a single
// statement whose arguments are JSON string literals:
//
//   page_script::forUpdate(MessageUpdate::deleteMessage(id))  // window.deleteMessageById("…");
//   page_script::restoreMessages(session, true)  // window.restoreMessages("eyJpZCI6…", true);
//   page_script::appendToAnswer(id, " more")  // window.appendToAnswer("…", " more");
//
// Messages and conversations travel as Base64 (standard alphabet, padded, one line) of their
// JSON, written with "/" unescaped; the texts of attached files, which the page never shows, are
// left out (null). Texts are free of the page: they can be checked without a browser.
#pragma once

#include <string>
#include <string_view>

#include "Tessra/chat_window/message_update.h"
#include "Tessra/storage/chat_message.h"
#include "Tessra/storage/chat_session.h"

namespace tessra::page_script {

// A JSON string literal of `text` that a script reads back unchanged: quotes, backslashes,
// control characters, U+2028 and U+2029 escaped; invalid UTF-8 read as U+FFFD.
std::string stringLiteral(std::string_view text);

// Base64 of the JSON form of a message or a conversation, as the page gets it.
std::string base64Json(const ChatMessage& message);
std::string base64Json(const ChatSession& session);

std::string setLocale(std::string_view languageCode);
// Stops or starts the page's endless animations (platform::animationsEnabled()).
std::string setAnimationsEnabled(bool enabled);
std::string showLoading(bool shown);
// Shows one of the page's texts for a few seconds over the messages.
std::string showNotice(std::string_view textKey);
std::string restoreMessages(const ChatSession& session, bool scrollToEnd);
std::string forUpdate(const MessageUpdate& update);
// Adds `text` to the answer of the shown message `messageID`, which changes nothing else.
std::string appendToAnswer(std::string_view messageID, std::string_view text);

}  // namespace tessra::page_script
