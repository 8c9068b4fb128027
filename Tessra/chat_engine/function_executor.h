// The tools the model may call during a chat request, and the executor that declares and runs
// them.
//
// A tool implements `IFunctionCall`: the function definition sent to the model, the name shown
// in the answer's status lines, and `execute`, which turns the arguments the model wrote into a
// result text for the model and the files it made for the answer. The executor holds the known
// tools, offers them with every request (`tools()`), and runs the calls the model streamed:
//
//   FunctionExecutor executor({std::make_shared<DalleFunctionCall>()});
//   auto [message, messages] = executor.execute(calls, message, query, yieldUpdate, context);
//
// Tools are stateless and run one after another on the producer's worker thread; `execute`
// blocks until the tool is done, fails or is stopped through the context's cancellation.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_engine/cancellation.h"
#include "Tessra/storage/chat_message.h"
#include "aiclient/chat_query.h"

namespace tessra {

// One tool call collected from the stream.
struct FunctionCall {
  std::string id;
  std::string name;
  // The arguments as the JSON text the model wrote; absent differs from empty.
  std::optional<std::string> arguments;

  bool operator==(const FunctionCall&) const = default;
};

// What a running tool may use of its request: the API key captured when the request started and
// the request's stop signal.
struct ToolContext {
  std::string apiKey;
  std::shared_ptr<Cancellation> cancellation = std::make_shared<Cancellation>();
};

// What a tool gives back.
struct FunctionResult {
  // Sent to the model as the tool message.
  std::string text;
  // Attached to the answer.
  std::vector<ChatMessageFile> files;
  // Set when the tool ran but what it made cannot reach the user: why, shown in its status line
  // (the model learns it from `text`).
  std::optional<std::string> failure;
};

class IFunctionCall {
 public:
  virtual ~IFunctionCall() = default;

  // The function name declared to the model: the declaration's name.
  std::string name() const { return declaration().name; }
  virtual aiclient::ChatCompletionToolParam::FunctionDefinition declaration() const = 0;
  virtual std::string displayName() const = 0;
  // Blocks until done. Throws the tool's error, or RequestCancelledError when stopped; a tool
  // that is stopped or fails removes the files it had already written.
  virtual FunctionResult execute(const std::string& arguments,
                                 const ToolContext& context) const = 0;
};

class FunctionExecutor {
 public:
  using UpdateHandler = std::function<void(const ChatMessage&)>;

  struct Outcome {
    ChatMessage message;
    std::vector<aiclient::ChatQuery::ChatCompletionMessageParam> messages;
  };

  explicit FunctionExecutor(std::vector<std::shared_ptr<const IFunctionCall>> knownFunctions);

  const std::vector<std::shared_ptr<const IFunctionCall>>& knownFunctions() const {
    return m_knownFunctions;
  }

  // One tool declaration per known function, in order.
  std::vector<aiclient::ChatCompletionToolParam> tools() const;

  // Runs the calls in order. Each call adds a "Running <display name>" status line (loading),
  // then, when done, turns it into the display name alone (done), or "<display name>: <why>"
  // (failed) for a result with a failure, and attaches the tool's files, telling `onUpdate` both
  // times; the extended list gains an assistant message carrying the call and the tool message
  // with its result. Throws "Function <name> not found" for a name no tool has, "Error executing
  // <name>: <description>" for a failing tool, whose status line is failed first, and
  // RequestCancelledError once the request is stopped: no further tool starts, and the files of
  // a tool that was running are removed.
  Outcome execute(const std::vector<FunctionCall>& calls, ChatMessage message,
                  const aiclient::ChatQuery& request, const UpdateHandler& onUpdate,
                  const ToolContext& context) const;

 private:
  std::vector<std::shared_ptr<const IFunctionCall>> m_knownFunctions;
};

// Removes the files (and thumbnails) of the records: each a regular file named by a "file://"
// URL. Failures are logged.
void removeAttachmentFiles(const std::vector<ChatMessageFile>& files);

}  // namespace tessra
