#include "Tessra/chat_engine/message_builder.h"

#include <algorithm>
#include <utility>

#include "Tessra/chat_engine/context_trimmer.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/logger.h"

namespace tessra {

namespace {

using Role = Message::Role;
using TextPart = aiclient::ChatCompletionContentPartTextParam;
using ImagePart = aiclient::ChatCompletionContentPartImageParam;

void appendCountedText(const Message& message, std::string& text) {
  const std::optional<Message::Content> content = message.content();
  if (content) {
    if (const std::string* plain = content->string()) {
      text += *plain;
    } else if (const auto* parts = content->vision()) {
      for (const Message::VisionContent& part : *parts)
        if (const TextPart* textPart = part.textPart()) text += textPart->text;
    }
  }
  text += ' ';
}

void appendHistoryMessage(const ChatMessage& message, std::vector<Message>& messages) {
  if (auto user = Message::make(Role::user, message.question)) messages.push_back(std::move(*user));
  if (auto assistant = Message::make(Role::assistant, message.answer))
    messages.push_back(std::move(*assistant));
}

void logDrop(std::size_t historyCount) {
  platform::logDebug("Removing message from context. Current count: {}", historyCount);
}

void logOverLimit(ChatGPTModels model) {
  platform::logInfo(
      "The system prompt and the question alone are over the {} tokens of {}; sending them as "
      "they are",
      modelTokenLimit(model), apiModelName(model));
}

}  // namespace

std::string_view countingModelName(ChatGPTModels model) {
  return model == ChatGPTModels::gpt35 ? "gpt-3.5-turbo" : "gpt-4";
}

std::string messageTextForCounting(const std::vector<Message>& messages) {
  std::string text;
  for (const Message& message : messages) appendCountedText(message, text);
  return text;
}

std::vector<ChatMessage> windowedHistory(const std::vector<ChatMessage>& contextMessages,
                                         std::int64_t messageLimit, const std::string& questionId) {
  std::size_t first = 0;
  if (messageLimit >= 1 && static_cast<std::uint64_t>(messageLimit) < contextMessages.size())
    first = contextMessages.size() - static_cast<std::size_t>(messageLimit);
  std::vector<ChatMessage> history;
  history.reserve(contextMessages.size() - first);
  for (std::size_t i = first; i < contextMessages.size(); ++i)
    if (contextMessages[i].id != questionId) history.push_back(contextMessages[i]);
  return history;
}

Message questionMessage(const ChatMessage& question,
                        const std::optional<ChatAttachment>& attachment) {
  if (attachment && attachment->image && !attachment->image->jpeg.empty()) {
    std::vector<Message::VisionContent> parts{
        TextPart{.text = question.question},
        ImagePart{.imageUrl = ImagePart::ImageURL::fromImageData(
                      attachment->image->jpeg, ImagePart::ImageURL::Detail::auto_)}};
    return aiclient::ChatCompletionUserMessageParam{.content = std::move(parts)};
  }
  if (attachment && attachment->text) {
    const std::string heading = attachment->fileName ? *attachment->fileName + ":\n" : "File:\n";
    std::vector<Message::VisionContent> parts{TextPart{.text = question.question},
                                              TextPart{.text = heading + attachment->text->str()}};
    return aiclient::ChatCompletionUserMessageParam{.content = std::move(parts)};
  }
  return aiclient::ChatCompletionUserMessageParam{.content = question.question};
}

std::vector<Message> assembleMessages(std::string_view prompt,
                                      const std::vector<ChatMessage>& history,
                                      std::size_t firstHistoryMessage, const Message& question) {
  std::vector<Message> messages;
  messages.reserve(2 + 2 * (history.size() - std::min(firstHistoryMessage, history.size())));
  if (auto system = Message::make(Role::system, std::string(prompt)))
    messages.push_back(std::move(*system));
  for (std::size_t i = firstHistoryMessage; i < history.size(); ++i)
    appendHistoryMessage(history[i], messages);
  messages.push_back(question);
  return messages;
}

BuiltMessages buildMessages(const ChatMessage& question, const RequestPlan& plan,
                            const EncodingProvider& encodingFor, TrimMode mode) {
  const std::vector<ChatMessage> history =
      windowedHistory(plan.contextMessages, plan.messageLimit, question.id);
  const Message last = questionMessage(question, plan.attachment);
  const std::int64_t limit = modelTokenLimit(plan.model);
  const std::shared_ptr<const tokenizer::Encoding> encoding =
      encodingFor ? encodingFor(countingModelName(plan.model)) : nullptr;

  BuiltMessages built;
  if (mode == TrimMode::recountEveryRound) {
    for (std::size_t first = 0;; ++first) {
      built.messages = assembleMessages(plan.prompt, history, first, last);
      const std::size_t count =
          encoding ? encoding->encode(messageTextForCounting(built.messages)).size() : 0;
      if (static_cast<std::int64_t>(count) <= limit) break;
      if (first == history.size()) {
        built.overLimit = true;
        logOverLimit(plan.model);
        break;
      }
      logDrop(history.size() - first);
      ++built.droppedMessages;
    }
    return built;
  }

  std::vector<Message> head;
  if (auto system = Message::make(Role::system, plan.prompt)) head.push_back(std::move(*system));
  std::vector<std::string> historyTexts;
  historyTexts.reserve(history.size());
  std::vector<Message> pair;
  for (const ChatMessage& message : history) {
    pair.clear();
    appendHistoryMessage(message, pair);
    historyTexts.push_back(messageTextForCounting(pair));
  }
  ContextTrimmer trimmer(encoding, messageTextForCounting(head), std::move(historyTexts),
                         messageTextForCounting({last}));
  const std::size_t first = trimmer.firstKeptMessage(limit, logDrop);
  built.droppedMessages = first;
  if (first == history.size() && !trimmer.fits(first, limit)) {
    built.overLimit = true;
    logOverLimit(plan.model);
  }
  built.messages = assembleMessages(plan.prompt, history, first, last);
  return built;
}

}  // namespace tessra
