#include <cstddef>
#include <utility>

#include "Tessra/storage/user_settings.h"
#include "aiclient/ai_client.h"
#include "platform/foundation/logger.h"

namespace tessra {

namespace {

constexpr std::size_t kKeyCheckAnswerBytes = std::size_t{1} << 20;

// The text content of the first choice's message; nothing when there is no choice or its
// content is not plain text.
std::optional<std::string> firstAnswerText(const aiclient::ChatResult& result) {
  if (result.choices.empty()) return std::nullopt;
  const auto content = result.choices.front().message.content();
  if (!content) return std::nullopt;
  if (const std::string* text = content->string()) return *text;
  return std::nullopt;
}

}  // namespace

void UserSettings::testApiKey(const std::string& key, ChatGPTModels model,
                              std::function<void(Result<void>)> completion) {
  using Role = aiclient::ChatCompletionMessageParam::Role;
  aiclient::ChatQuery query;
  query.messages = {
      *aiclient::ChatCompletionMessageParam::make(Role::system, "You're a helpful assistant"),
      *aiclient::ChatCompletionMessageParam::make(Role::user, "Hello")};
  query.model = std::string(apiModelName(model));

  // A plain request does not need its client once it has been sent. The answer to "Hello" is a
  // short record; the bound keeps a server that never stops answering from filling the memory.
  auto configuration = aiclient::AIClient::Configuration::forToken(key);
  configuration.maximumBodySize = kKeyCheckAnswerBytes;
  aiclient::AIClient client(std::move(configuration));
  client.chats(query, [completion = std::move(completion)](Result<aiclient::ChatResult> answer) {
    if (!answer) {
      completion(std::unexpected(answer.error()));
      return;
    }
    const auto text = firstAnswerText(*answer);
    if (!text) {
      completion(std::unexpected(std::make_exception_ptr(TextError("Invalid response"))));
      return;
    }
    platform::logDebug("\"ApiKey Test answer\" \"{}\"", *text);
    completion({});
  });
}

}  // namespace tessra
