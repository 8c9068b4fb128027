// The image-generation tool: the one function the chat engine offers the model.
//
// A run asks the service's image endpoint for one 1024x1024 image by the prompt the model wrote,
// downloads it into the attachment files folder as a JPEG, adds a thumbnail of at most 400
// pixels and 0.25 MB, and returns both as one image file of the answer. The model is told that
// the picture has been shown to the user. A picture that cannot be shown (the service sent none,
// or one that does not decode or cannot be stored) makes a failed run: the user sees why in its
// status line, and the model is told so instead.
//
// Stateless; a run blocks on the producer's worker and stops early when the request is stopped,
// removing the files it had written (as it does when it fails).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Tessra/chat_engine/function_executor.h"
#include "files/path.h"

namespace tessra {

class DalleFunctionCall final : public IFunctionCall {
 public:
  static constexpr std::string_view kName = "image_generation_via_dalle";
  static constexpr std::string_view kDisplayName = "DALLE-E";
  static constexpr std::string_view kResultText =
      "The output has been rendered to the user in markdown format.";
  // Followed by the reasons and a full stop.
  static constexpr std::string_view kFailureText = "The image could not be shown to the user: ";

  // Images go to the program's attachment files folder, or to `filesFolder` when given (tests).
  explicit DalleFunctionCall(std::optional<files::Path> filesFolder = std::nullopt);

  static const aiclient::ChatCompletionToolParam::FunctionDefinition& functionDeclaration();

  aiclient::ChatCompletionToolParam::FunctionDefinition declaration() const override;
  std::string displayName() const override { return std::string(kDisplayName); }
  FunctionResult execute(const std::string& arguments, const ToolContext& context) const override;

  // The image prompt of the arguments: the "prompt" text of the JSON object the model wrote, or
  // the arguments as they are when they hold none.
  static std::string promptOf(const std::string& arguments);

 private:
  files::Path folder() const;

  std::optional<files::Path> m_filesFolder;
};

}  // namespace tessra
