// The message list of a chat request: the system prompt, the windowed history, the question with
// its attachment, and the oldest history dropped while the list is over the model's token limit.
//
//   std::vector<Message> messages = buildMessages(question, plan, encodingForModelName);
//
// The tokens counted are those of `messageTextForCounting` of the list, with the encoding of
// "gpt-3.5-turbo" for gpt35 and of "gpt-4" for every other model. Each dropped message is told
// by the debug line "Removing message from context. Current count: <history messages left>".
// When the prompt and the question alone are over the limit, the list goes out as it is with one
// log line, and the service's own answer tells the user.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Tessra/chat_engine/request_plan.h"
#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/chat_message.h"
#include "aiclient/chat_message_param.h"
#include "tokenizer/encoding.h"

namespace tessra {

using Message = aiclient::ChatCompletionMessageParam;

// The encoding a model name counts with; null when none belongs to it. May throw.
using EncodingProvider =
    std::function<std::shared_ptr<const tokenizer::Encoding>(std::string_view modelName)>;

// "gpt-3.5-turbo" for gpt35, "gpt-4" otherwise.
std::string_view countingModelName(ChatGPTModels model);

// Each message's text followed by one space: system and tool content, user text (each text part
// of a vision content; images count nothing), assistant content when present.
std::string messageTextForCounting(const std::vector<Message>& messages);

// The last min(count, limit) context messages (all of them for a limit of 0 or less), without
// the message that has the question's id.
std::vector<ChatMessage> windowedHistory(const std::vector<ChatMessage>& contextMessages,
                                         std::int64_t messageLimit, const std::string& questionId);

// The question as the last message: text and JPEG image parts for an attachment with an image,
// text and "<file name>:\n<text>" (or "File:\n<text>") parts for one with a text, plain text
// otherwise.
Message questionMessage(const ChatMessage& question,
                        const std::optional<ChatAttachment>& attachment);

// System prompt, then a user and an assistant message per history message, then the question.
std::vector<Message> assembleMessages(std::string_view prompt,
                                      const std::vector<ChatMessage>& history,
                                      std::size_t firstHistoryMessage, const Message& question);

enum class TrimMode {
  // Each round counts only what changed (`ContextTrimmer`).
  incremental,
  // Each round rebuilds the whole list and counts its whole text.
  recountEveryRound,
};

struct BuiltMessages {
  std::vector<Message> messages;
  // How many history messages were dropped for the token limit.
  std::size_t droppedMessages = 0;
  // The prompt and the question alone are over the limit.
  bool overLimit = false;
};

// The final list. Errors of the token counter pass through.
BuiltMessages buildMessages(const ChatMessage& question, const RequestPlan& plan,
                            const EncodingProvider& encodingFor,
                            TrimMode mode = TrimMode::incremental);

}  // namespace tessra
