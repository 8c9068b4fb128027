// One change the message page of a chat window must apply: a message added, replaced, removed or
// scrolled to, a search started, stepped or ended, or every message removed.
//
//   signals.messageUpdates(MessageUpdate::editMessage(message));
//   if (const auto* edit = std::get_if<MessageUpdate::EditMessage>(&update.value)) ...
//
// Two updates are equal when they are the same case with equal payloads.
#pragma once

#include <QMetaType>

#include <optional>
#include <string>
#include <variant>

#include "Tessra/storage/chat_message.h"

namespace tessra {

struct MessageUpdate {
  // Add the message at the end.
  struct AppendMessage {
    ChatMessage message;
    bool operator==(const AppendMessage&) const = default;
  };
  // Replace the shown message with the same id by this content.
  struct EditMessage {
    ChatMessage message;
    bool operator==(const EditMessage&) const = default;
  };
  struct DeleteMessage {
    std::string id;
    bool operator==(const DeleteMessage&) const = default;
  };
  struct ScrollToMessage {
    std::string id;
    bool operator==(const ScrollToMessage&) const = default;
  };
  // A text starts a search for it; nothing ends the search and clears its marks.
  struct SearchMessage {
    std::optional<std::string> text;
    bool operator==(const SearchMessage&) const = default;
  };
  // True steps to the next match, false to the previous one.
  struct NextSearchResult {
    bool forward = true;
    bool operator==(const NextSearchResult&) const = default;
  };
  struct ClearMessages {
    bool operator==(const ClearMessages&) const = default;
  };

  using Value = std::variant<AppendMessage, EditMessage, DeleteMessage, ScrollToMessage,
                             SearchMessage, NextSearchResult, ClearMessages>;

  static MessageUpdate appendMessage(ChatMessage message) {
    return {AppendMessage{std::move(message)}};
  }
  static MessageUpdate editMessage(ChatMessage message) {
    return {EditMessage{std::move(message)}};
  }
  static MessageUpdate deleteMessage(std::string id) { return {DeleteMessage{std::move(id)}}; }
  static MessageUpdate scrollToMessage(std::string id) { return {ScrollToMessage{std::move(id)}}; }
  static MessageUpdate searchMessage(std::optional<std::string> text) {
    return {SearchMessage{std::move(text)}};
  }
  static MessageUpdate nextSearchResult(bool forward) { return {NextSearchResult{forward}}; }
  static MessageUpdate clearMessages() { return {ClearMessages{}}; }

  Value value;

  bool operator==(const MessageUpdate&) const = default;
};

}  // namespace tessra

Q_DECLARE_METATYPE(tessra::MessageUpdate)
