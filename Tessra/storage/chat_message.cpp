#include "Tessra/storage/chat_message.h"

#include <algorithm>

#include "Tessra/storage/paths.h"
#include "platform/foundation/json.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/percent_encoding.h"
#include "platform/foundation/utf8.h"

namespace tessra {

namespace {

constexpr std::string_view kFileScheme = "file://";
constexpr std::size_t kShortQuestionLength = 80;
constexpr std::string_view kRunningPrefix = "Running ";

[[noreturn]] void throwInvalidValue(std::string_view typeName, const std::string& text) {
  throw platform::JsonDecodingError(
      platform::JsonDecodingError::Kind::dataCorrupted, "",
      "Cannot initialize " + std::string(typeName) + " from invalid String value " + text);
}

// File URLs are written with everything but unreserved characters and "/" escaped.
std::string fileUrl(std::string_view path) {
  return std::string(kFileScheme) + platform::percentEncode(path, "/");
}

std::optional<std::string> rebased(const std::optional<std::string>& stored) {
  if (!stored) return std::nullopt;
  auto url = rebasedFileUrl(*stored, Paths::filesDirectory());
  if (!url)
    platform::logError(
        "\"Refused an attachment path that names no file of the files "
        "folder\" {}",
        platform::sanitizeUtf8(*stored));
  return url;
}

}  // namespace

ChatMessage::ChatMessage(std::string id, std::string question, std::string answer, bool finished,
                         bool endContext)
    : id(std::move(id)),
      question(std::move(question)),
      shortQuestion(tessra::shortQuestion(this->question)),
      answer(std::move(answer)),
      finished(finished),
      endContext(endContext),
      createdAt(platform::Date::now()) {}

std::string shortQuestion(std::string_view question) {
  return platform::prefixGraphemes(question, kShortQuestionLength);
}

ChatMessageTopic topicOf(const ChatMessage& message, std::size_t position) {
  std::string title = message.shortQuestion;
  std::erase(title, '\n');
  return ChatMessageTopic{static_cast<std::int64_t>(position) + 1, message.id, std::move(title)};
}

std::optional<std::string> rebasedFileUrl(std::string_view stored,
                                          const files::Path& filesDirectory) {
  std::string folder = filesDirectory.rawValue();
  if (!folder.ends_with('/')) folder += '/';

  const bool isUrl = stored.starts_with(kFileScheme);
  std::string_view text = isUrl ? stored.substr(kFileScheme.size()) : stored;
  // The folder itself (what an empty path re-bases to) stays the folder.
  if (isUrl && platform::percentDecode(text) == folder) return fileUrl(folder);
  while (text.ends_with('/')) text.remove_suffix(1);
  if (const auto slash = text.rfind('/'); slash != std::string_view::npos)
    text = text.substr(slash + 1);
  // The last part is cut from the encoded text and decoded alone: a "%2F" in it must not
  // become a folder on the next load, nor "%2E%2E" the folder's parent.
  const auto name = isUrl ? platform::percentDecode(text) : std::optional<std::string>(text);
  if (!name) return std::nullopt;
  if (name->empty()) return fileUrl(folder);
  if (!isPlainFileName(*name)) return std::nullopt;
  return fileUrl(folder + *name);
}

ChatMessageFunctionCall ChatMessageFunctionCall::running(std::string_view displayName) {
  return {std::string(kRunningPrefix) + std::string(displayName), Status::loading};
}

void endRunningCalls(ChatMessage& message) {
  if (!message.functionCalls) return;
  for (ChatMessageFunctionCall& call : *message.functionCalls) {
    if (call.status != ChatMessageFunctionCall::Status::loading) continue;
    if (call.text.starts_with(kRunningPrefix)) call.text.erase(0, kRunningPrefix.size());
    call.status = ChatMessageFunctionCall::Status::failed;
  }
}

std::string_view rawValue(ChatMessageFile::ChatMessageFileType type) {
  return type == ChatMessageFile::ChatMessageFileType::image ? "image" : "text";
}

std::string_view rawValue(ChatMessageFunctionCall::Status status) {
  switch (status) {
    case ChatMessageFunctionCall::Status::failed:
      return "failed";
    case ChatMessageFunctionCall::Status::loading:
      return "loading";
    case ChatMessageFunctionCall::Status::done:
      return "done";
  }
  return "failed";
}

std::string_view rawValue(ChatMessage::MessageType) { return "message"; }

void to_json(nlohmann::json& j, ChatMessageFile::ChatMessageFileType type) {
  j = std::string(rawValue(type));
}

void from_json(const nlohmann::json& j, ChatMessageFile::ChatMessageFileType& type) {
  const auto text = platform::decodeValue<std::string>(j);
  if (text == "image") {
    type = ChatMessageFile::ChatMessageFileType::image;
  } else if (text == "text") {
    type = ChatMessageFile::ChatMessageFileType::text;
  } else {
    throwInvalidValue("ChatMessageFileType", text);
  }
}

void to_json(nlohmann::json& j, ChatMessageFunctionCall::Status status) {
  j = std::string(rawValue(status));
}

void from_json(const nlohmann::json& j, ChatMessageFunctionCall::Status& status) {
  const auto text = platform::decodeValue<std::string>(j);
  for (auto candidate :
       {ChatMessageFunctionCall::Status::failed, ChatMessageFunctionCall::Status::loading,
        ChatMessageFunctionCall::Status::done}) {
    if (rawValue(candidate) == text) {
      status = candidate;
      return;
    }
  }
  throwInvalidValue("Status", text);
}

void to_json(nlohmann::json& j, ChatMessage::MessageType type) { j = std::string(rawValue(type)); }

void from_json(const nlohmann::json& j, ChatMessage::MessageType& type) {
  const auto text = platform::decodeValue<std::string>(j);
  if (text != "message") throwInvalidValue("MessageType", text);
  type = ChatMessage::MessageType::message;
}

void to_json(nlohmann::json& j, const ChatMessageFile& file) {
  j = nlohmann::json::object();
  platform::putNullable(j, "fileName", file.fileName);
  platform::putNullable(j, "path", rebased(file.path));
  platform::putNullable(j, "text", file.text);
  platform::putNullable(j, "thumbnailPath", rebased(file.thumbnailPath));
  j["type"] = file.type;
}

void from_json(const nlohmann::json& j, ChatMessageFile& file) {
  file.fileName = platform::optionalField<std::string>(j, "fileName");
  file.path = rebased(platform::optionalField<std::string>(j, "path"));
  file.text = platform::optionalField<platform::SharedText>(j, "text");
  file.thumbnailPath = rebased(platform::optionalField<std::string>(j, "thumbnailPath"));
  file.type = platform::requiredField<ChatMessageFile::ChatMessageFileType>(j, "type");
}

void to_json(nlohmann::json& j, const ChatMessageFunctionCall& call) {
  j = {{"text", call.text}, {"status", call.status}};
}

void from_json(const nlohmann::json& j, ChatMessageFunctionCall& call) {
  call.text = platform::requiredField<std::string>(j, "text");
  call.status = platform::requiredField<ChatMessageFunctionCall::Status>(j, "status");
}

void to_json(nlohmann::json& j, const ChatMessage& message) {
  j = {{"id", message.id},
       {"type", message.type},
       {"question", message.question},
       {"shortQuestion", message.shortQuestion},
       {"answer", message.answer},
       {"finished", message.finished},
       {"endContext", message.endContext}};
  platform::putOptional(j, "error", message.error);
  platform::putOptional(j, "createdAt", message.createdAt);
  platform::putOptional(j, "questionFile", message.questionFile);
  platform::putOptional(j, "tokenUsage", message.tokenUsage);
  platform::putOptional(j, "functionCalls", message.functionCalls);
  platform::putOptional(j, "answerFiles", message.answerFiles);
}

void from_json(const nlohmann::json& j, ChatMessage& message) {
  using platform::optionalField;
  using platform::requiredField;
  message.id = requiredField<std::string>(j, "id");
  message.type = requiredField<ChatMessage::MessageType>(j, "type");
  message.question = requiredField<std::string>(j, "question");
  message.shortQuestion = requiredField<std::string>(j, "shortQuestion");
  message.answer = requiredField<std::string>(j, "answer");
  message.finished = requiredField<bool>(j, "finished");
  message.endContext = requiredField<bool>(j, "endContext");
  message.error = optionalField<std::string>(j, "error");
  message.createdAt = optionalField<platform::Date>(j, "createdAt");
  message.questionFile = optionalField<ChatMessageFile>(j, "questionFile");
  message.tokenUsage = optionalField<std::int64_t>(j, "tokenUsage");
  message.functionCalls = optionalField<std::vector<ChatMessageFunctionCall>>(j, "functionCalls");
  message.answerFiles = optionalField<std::vector<ChatMessageFile>>(j, "answerFiles");
}

}  // namespace tessra
