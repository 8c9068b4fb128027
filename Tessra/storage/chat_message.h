// One question put to the model and everything that answered it, and the records that hang off
// it: the files of a question or an answer, the status lines of tool calls and the entries of a
// conversation's topic list.
//
// The JSON form is a stored file format (a session file holds a list of these) and the form the
// message page receives:
//
//   ChatMessage message(platform::makeUuidString(), question, "", false, false);
//   nlohmann::json j = message;  // "error", "questionFile", ... left out while absent
//
// `ChatMessage` leaves an absent optional out; `ChatMessageFile` writes every key, null for an
// absent value. The paths of a `ChatMessageFile` are percent-encoded "file://" URLs that always
// point into the current files folder: they are re-based onto it when written and when read.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/path.h"
#include "platform/foundation/date.h"
#include "platform/foundation/shared_text.h"

namespace tessra {

struct ChatMessageFile {
  enum class ChatMessageFileType { image, text };

  std::optional<std::string> fileName;
  // "file://" URL of the full file inside the files folder.
  std::optional<std::string> path;
  // The content of a text attachment, shared by the copies of the record: it may be a paste of
  // many megabytes.
  std::optional<platform::SharedText> text;
  // "file://" URL of a reduced copy of an image inside the files folder.
  std::optional<std::string> thumbnailPath;
  ChatMessageFileType type = ChatMessageFileType::image;

  bool operator==(const ChatMessageFile&) const = default;
};

struct ChatMessageFunctionCall {
  enum class Status { failed, loading, done };

  // The line of a call that has started: "Running " and the tool's display name, loading.
  static ChatMessageFunctionCall running(std::string_view displayName);

  std::string text;
  Status status = Status::loading;

  bool operator==(const ChatMessageFunctionCall&) const = default;
};

struct ChatMessage {
  enum class MessageType { message };

  // Sets `shortQuestion` from the question and `createdAt` to now; the optionals stay absent.
  ChatMessage(std::string id, std::string question, std::string answer, bool finished,
              bool endContext);
  // A record whose fields are all given, as a decoder makes it.
  ChatMessage() = default;

  std::string id;
  MessageType type = MessageType::message;
  std::string question;
  std::string shortQuestion;
  std::string answer;
  bool finished = false;
  // This message closes a context: later questions send neither it nor anything before it.
  bool endContext = false;
  std::optional<std::string> error;
  std::optional<platform::Date> createdAt;
  std::optional<ChatMessageFile> questionFile;
  std::optional<std::int64_t> tokenUsage;
  std::optional<std::vector<ChatMessageFunctionCall>> functionCalls;
  std::optional<std::vector<ChatMessageFile>> answerFiles;

  bool operator==(const ChatMessage&) const = default;
};

// One entry of a conversation's topic list; never stored.
struct ChatMessageTopic {
  std::int64_t index = 0;
  std::string id;
  std::string title;

  bool operator==(const ChatMessageTopic&) const = default;
};

// Closes the lines of calls that are still running: an answer that ends while its tool runs
// (stopped by the user, or cut short by an earlier run of the program) would otherwise show that
// tool running forever. Each becomes the tool's display name, failed, as a call that ended
// without its result does.
void endRunningCalls(ChatMessage& message);

// The first 80 user-perceived characters of a question.
std::string shortQuestion(std::string_view question);

// The topic entry of the message at `position` (0-based): 1-based index, the message's id and
// its short question without line feeds.
ChatMessageTopic topicOf(const ChatMessage& message, std::size_t position);

// A stored file path re-based onto `filesDirectory`: the last component of the text (percent-
// decoded on its own when the text is a "file://" URL), joined to the folder, as a
// percent-encoded "file://" URL. Nothing when that component is no plain file name (a decoded
// "/" or "..", a broken escape), so a stored path never reaches outside the folder. An empty
// component gives the folder itself. Idempotent.
std::optional<std::string> rebasedFileUrl(std::string_view stored,
                                          const files::Path& filesDirectory);

std::string_view rawValue(ChatMessageFile::ChatMessageFileType type);
std::string_view rawValue(ChatMessageFunctionCall::Status status);
std::string_view rawValue(ChatMessage::MessageType type);

void to_json(nlohmann::json& j, ChatMessageFile::ChatMessageFileType type);
void from_json(const nlohmann::json& j, ChatMessageFile::ChatMessageFileType& type);
void to_json(nlohmann::json& j, ChatMessageFunctionCall::Status status);
void from_json(const nlohmann::json& j, ChatMessageFunctionCall::Status& status);
void to_json(nlohmann::json& j, ChatMessage::MessageType type);
void from_json(const nlohmann::json& j, ChatMessage::MessageType& type);

// Paths are re-based onto Paths::filesDirectory() both ways.
void to_json(nlohmann::json& j, const ChatMessageFile& file);
void from_json(const nlohmann::json& j, ChatMessageFile& file);
void to_json(nlohmann::json& j, const ChatMessageFunctionCall& call);
void from_json(const nlohmann::json& j, ChatMessageFunctionCall& call);
void to_json(nlohmann::json& j, const ChatMessage& message);
void from_json(const nlohmann::json& j, ChatMessage& message);

}  // namespace tessra
