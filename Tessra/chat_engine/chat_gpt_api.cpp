#include "Tessra/chat_engine/chat_gpt_api.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

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

struct ChatGPTAPI::Requests {
  std::mutex mutex;  // guards the fields below
  std::condition_variable wound;
  // The stop of each request at work, by the number it started with.
  std::map<std::uint64_t, std::weak_ptr<Cancellation>> running;
  std::uint64_t nextNumber = 0;
};

ChatGPTAPI& ChatGPTAPI::shared() {
  static ChatGPTAPI* const engine = new ChatGPTAPI();  // lives until the program quits
  return *engine;
}

ChatGPTAPI::ChatGPTAPI() : ChatGPTAPI(Dependencies{}) {}

ChatGPTAPI::ChatGPTAPI(Dependencies dependencies)
    : m_encodingFor(dependencies.encodingFor ? std::move(dependencies.encodingFor)
                                             : sharedTokenizer()),
      m_requests(std::make_shared<Requests>()),
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
  std::uint64_t number = 0;
  {
    std::lock_guard lock(m_requests->mutex);
    number = m_requests->nextNumber++;
    m_requests->running.emplace(number, cancellation);
  }
  platform::globalQueue().async([request, number, requests = m_requests] {
    request->run();
    {
      std::lock_guard lock(requests->mutex);
      requests->running.erase(number);
    }
    requests->wound.notify_all();
  });
  return std::move(stream);
}

int ChatGPTAPI::activeRequests() const {
  std::lock_guard lock(m_requests->mutex);
  return static_cast<int>(m_requests->running.size());
}

bool ChatGPTAPI::stopRequests(std::chrono::milliseconds timeout) {
  std::vector<std::shared_ptr<Cancellation>> stops;
  {
    std::lock_guard lock(m_requests->mutex);
    for (const auto& [number, cancellation] : m_requests->running)
      if (auto stop = cancellation.lock()) stops.push_back(std::move(stop));
  }
  // Outside the lock: a stop's handlers abort transfers and wake the waits of its request.
  for (const auto& stop : stops) stop->cancel();
  std::unique_lock lock(m_requests->mutex);
  return m_requests->wound.wait_for(lock, timeout, [this] { return m_requests->running.empty(); });
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
