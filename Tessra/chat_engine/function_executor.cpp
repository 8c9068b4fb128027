#include "Tessra/chat_engine/function_executor.h"

#include <utility>

#include "files/path.h"
#include "platform/foundation/error.h"
#include "platform/foundation/logger.h"

namespace tessra {

namespace {

using aiclient::ChatCompletionMessageParam;

void removeFileAt(const std::optional<std::string>& url) {
  if (!url) return;
  const std::optional<files::Path> path = files::Path::fromFileUrl(*url);
  if (!path || !path->isRegular()) return;
  try {
    path->deleteFile();
  } catch (const Error& error) {
    platform::logError("Cannot remove {}: {}", path->rawValue(), error.debugDescription());
  }
}

}  // namespace

void removeAttachmentFiles(const std::vector<ChatMessageFile>& files) {
  for (const ChatMessageFile& file : files) {
    removeFileAt(file.path);
    removeFileAt(file.thumbnailPath);
  }
}

FunctionExecutor::FunctionExecutor(std::vector<std::shared_ptr<const IFunctionCall>> knownFunctions)
    : m_knownFunctions(std::move(knownFunctions)) {}

std::vector<aiclient::ChatCompletionToolParam> FunctionExecutor::tools() const {
  std::vector<aiclient::ChatCompletionToolParam> tools;
  tools.reserve(m_knownFunctions.size());
  for (const auto& function : m_knownFunctions)
    tools.push_back({.function = function->declaration(),
                     .type = aiclient::ChatCompletionToolParam::ToolsType::function});
  return tools;
}

FunctionExecutor::Outcome FunctionExecutor::execute(const std::vector<FunctionCall>& calls,
                                                    ChatMessage message,
                                                    const aiclient::ChatQuery& request,
                                                    const UpdateHandler& onUpdate,
                                                    const ToolContext& context) const {
  Outcome outcome{std::move(message), request.messages};
  ChatMessage& updated = outcome.message;
  for (const FunctionCall& call : calls) {
    context.cancellation->throwIfCancelled();
    std::shared_ptr<const IFunctionCall> function;
    for (const auto& known : m_knownFunctions) {
      if (known->name() == call.name) {
        function = known;
        break;
      }
    }
    if (!function) throw TextError("Function " + call.name + " not found");

    if (!updated.functionCalls) updated.functionCalls.emplace();
    updated.functionCalls->push_back(ChatMessageFunctionCall::running(function->displayName()));
    if (onUpdate) onUpdate(updated);

    FunctionResult result;
    try {
      result = function->execute(call.arguments.value_or(""), context);
    } catch (const RequestCancelledError&) {
      throw;
    } catch (const std::exception& error) {
      // The answer ends with the error: its step must not stay "Running".
      updated.functionCalls->back() = {function->displayName(),
                                       ChatMessageFunctionCall::Status::failed};
      if (onUpdate) onUpdate(updated);
      throw TextError("Error executing " + function->name() + ": " + error.what());
    }
    if (context.cancellation->isCancelled()) {
      // Nobody will see this answer any more: its files would only be left behind.
      removeAttachmentFiles(result.files);
      throw RequestCancelledError();
    }

    updated.functionCalls->back() =
        result.failure ? ChatMessageFunctionCall{function->displayName() + ": " + *result.failure,
                                                 ChatMessageFunctionCall::Status::failed}
                       : ChatMessageFunctionCall{function->displayName(),
                                                 ChatMessageFunctionCall::Status::done};
    if (!updated.answerFiles) updated.answerFiles.emplace();
    updated.answerFiles->insert(updated.answerFiles->end(), result.files.begin(),
                                result.files.end());
    if (onUpdate) onUpdate(updated);

    const ChatCompletionMessageParam::ToolCall toolCall{
        .id = call.id,
        .function = {.arguments = call.arguments.value_or(""), .name = call.name},
        .type = aiclient::ChatCompletionToolParam::ToolsType::function};
    if (auto assistant = ChatCompletionMessageParam::make(
            ChatCompletionMessageParam::Role::assistant, std::nullopt, std::nullopt,
            std::vector<ChatCompletionMessageParam::ToolCall>{toolCall}))
      outcome.messages.push_back(std::move(*assistant));
    if (auto tool =
            ChatCompletionMessageParam::make(ChatCompletionMessageParam::Role::tool, result.text,
                                             std::nullopt, std::nullopt, call.id))
      outcome.messages.push_back(std::move(*tool));
  }
  return outcome;
}

}  // namespace tessra
