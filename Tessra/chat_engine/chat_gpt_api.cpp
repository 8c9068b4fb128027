#include "Tessra/chat_engine/chat_gpt_api.h"

#include <cstddef>
#include <utility>

#include "Tessra/chat_engine/chat_request.h"
#include "Tessra/chat_engine/dalle_function_call.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/user_settings.h"
#include "aiclient/api_error.h"
#include "aiclient/client_error.h"
#include "platform/foundation/json.h"
#include "platform/foundation/queue.h"
#include "tokenizer/tokenizer.h"

namespace tessra {

namespace {

// A stream wraps every few characters of the answer in a record of a few hundred bytes: an answer
// at its limit (ChatRequest::kMaximumAnswerBytes) takes about a hundred megabytes of stream. The
// bound ends a stream of records that add no text.
constexpr std::size_t kMaximumStreamBytes = std::size_t{256} << 20;

std::shared_ptr<aiclient::AIClient> makeClient(std::string apiKey) {
  auto configuration = aiclient::AIClient::Configuration::forToken(std::move(apiKey));
  configuration.maximumBodySize = kMaximumStreamBytes;
  return std::make_shared<aiclient::AIClient>(std::move(configuration));
}

EncodingProvider sharedTokenizer() {
  return [](std::string_view modelName) {
    return tokenizer::Tokenizer::shared().getEncoding(modelName);
  };
}

}  // namespace

ChatGPTAPI& ChatGPTAPI::shared() {
  static ChatGPTAPI* const engine = new ChatGPTAPI();  // lives until the program quits
  return *engine;
}

ChatGPTAPI::ChatGPTAPI() : ChatGPTAPI(Dependencies{}) {}

ChatGPTAPI::ChatGPTAPI(Dependencies dependencies)
    : m_encodingFor(dependencies.encodingFor ? std::move(dependencies.encodingFor)
                                             : sharedTokenizer()),
      m_openAI(makeClient(std::string())) {
  if (dependencies.functions.empty())
    dependencies.functions.push_back(std::make_shared<const DalleFunctionCall>());
  m_functionExecutor = std::make_shared<const FunctionExecutor>(std::move(dependencies.functions));
}

std::shared_ptr<aiclient::AIClient> ChatGPTAPI::openAI() const {
  std::lock_guard lock(m_openAIMutex);
  return m_openAI;
}

std::shared_ptr<aiclient::AIClient> ChatGPTAPI::clientFor(const std::string& apiKey) {
  std::lock_guard lock(m_openAIMutex);
  if (m_openAI->configuration().token != apiKey) m_openAI = makeClient(apiKey);
  return m_openAI;
}

RequestPlan ChatGPTAPI::takeRequestPlan(const std::string& conversationID) {
  const UserSettings& settings = UserSettings::shared();
  return takeRequestPlan(conversationID, settings.value(setting::openAiModel),
                         settings.openAiKey());
}

RequestPlan ChatGPTAPI::takeRequestPlan(const std::string& conversationID,
                                        ChatGPTModels defaultModel, std::string apiKey) {
  const ChatSessionManager& store = ChatSessionManager::shared();
  const Conversation* conversation = store.conversation(conversationID);
  RequestPlan plan = makeRequestPlan(
      conversation ? conversation->config : std::nullopt, defaultModel, std::move(apiKey),
      store.contextMessages(conversationID), std::move(m_attachment));
  m_attachment.reset();
  return plan;
}

platform::AsyncStream<AnswerDelta> ChatGPTAPI::sendMessage(const ChatMessage& message,
                                                           const std::string& conversationID) {
  return send(message, takeRequestPlan(conversationID));
}

aiclient::ChatQuery ChatGPTAPI::prepareQuery(const RequestPlan& plan) const {
  return aiclient::ChatQuery{
      .messages = {},
      .model = std::string(apiModelName(plan.model)),
      .frequencyPenalty = plan.frequencyPenalty,
      .presencePenalty = plan.presencePenalty,
      .temperature = plan.temperature,
      .toolChoice = aiclient::ChatCompletionFunctionCallOptionParam::auto_(),
      .tools = m_functionExecutor->tools(),
      .topP = plan.topP,
      .stream = false,
      .streamOptions = aiclient::ChatQuery::StreamOptions{.includeUsage = true}};
}

platform::AsyncStream<AnswerDelta> ChatGPTAPI::send(ChatMessage message, RequestPlan plan) {
  std::shared_ptr<aiclient::AIClient> client = clientFor(plan.apiKey);
  m_model.store(plan.model);
  aiclient::ChatQuery query = prepareQuery(plan);

  auto [stream, continuation] = platform::AsyncStream<AnswerDelta>::makeStream(
      [](AnswerDelta& waiting, const AnswerDelta& next) { return waiting.absorb(next); });
  auto request = std::make_shared<ChatRequest>(std::move(message), std::move(plan),
                                               std::move(query), std::move(client),
                                               m_functionExecutor, m_encodingFor, continuation);
  // Held weakly: the request must not outlive its producer through its own stream.
  std::weak_ptr<Cancellation> cancellation = request->cancellation();
  continuation.setOnTermination([cancellation](platform::StreamTermination how) {
    if (how != platform::StreamTermination::cancelled) return;
    if (auto stop = cancellation.lock()) stop->cancel();
  });
  m_activeRequests->fetch_add(1);
  platform::globalQueue().async([request, active = m_activeRequests] {
    request->run();
    active->fetch_sub(1);
  });
  return std::move(stream);
}

std::string messageText(const ErrorPtr& error) {
  if (!error) return {};
  try {
    std::rethrow_exception(error);
  } catch (const aiclient::APIErrorResponse& response) {
    return response.error.message;
  } catch (const AnswerTooLongError&) {
    return LocalizedText::Chat::answerTooLong().toStdString();
  } catch (const aiclient::StreamingError&) {
    // Bytes that are no text, or text that is no record: the parser's own words mean nothing to
    // the user, and the log has them.
    return LocalizedText::Chat::answerUnreadable().toStdString();
  } catch (const platform::JsonDecodingError&) {
    return LocalizedText::Chat::answerUnreadable().toStdString();
  } catch (...) {
    return describe(error);
  }
}

}  // namespace tessra
