// The client of the AI service's REST interface: the endpoint operations over one configuration
// (credentials, address, timeout). Chat and images, which the program sends, are here; the
// other endpoints' operations come from the base `OtherEndpoints` (other_endpoints.h), written
// over this client's ways of performing a request.
//
//   AIClient client(apiKey);  // the public service; TESSRA_AI_BASE_URL points it elsewhere
//   client.chats(query, [](Result<ChatResult> answer) { ... });
//   StreamingTask task = client.chatsStream(
//       query,
//       [](Result<ChatStreamResult> chunk) { ... a chunk, or one event that is not one ... },
//       [](ErrorPtr error) { ... once at the end; null for a clean end ... });
//   task.cancel();  // the user pressed Stop: the transfer is aborted
//
// Every operation returns at once and reports through its callbacks; a request that cannot be
// built (a body that cannot be written, an address that is no URL, a key with a line break
// inside) reports that error and sends nothing. Answers are read as responses.h says: an error
// status always fails, with the service's message when it sent one. Streams are read as
// streaming_session.h says.
//
// Threads. Operations may be called from any thread. Plain answers are reported on the delegate
// queue of the client's URL session (the process-wide one unless another is given); each stream
// reports on a queue of its own. The client holds no lock; its list of running streams guards
// itself. A stream outlives the client: its completion still arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "aiclient/chat_query.h"
#include "aiclient/chat_result.h"
#include "aiclient/chat_stream_result.h"
#include "aiclient/images_query.h"
#include "aiclient/images_result.h"
#include "aiclient/multipart_form_data.h"
#include "aiclient/operation_callbacks.h"
#include "aiclient/other_endpoints.h"
#include "aiclient/requests.h"
#include "aiclient/responses.h"
#include "aiclient/streaming_session.h"
#include "aiclient/thread_safe_array.h"
#include "platform/foundation/error.h"
#include "platform/foundation/url_session.h"

namespace tessra::aiclient {

class AIClient : public OtherEndpoints<AIClient> {
 public:
  struct Configuration {
    // The API key, sent as a bearer token.
    std::string token{};
    // Sent as "OpenAI-Organization" when present.
    std::optional<std::string> organizationIdentifier{};
    std::string host{};
    std::int64_t port = 443;
    std::string scheme = "https";
    // Seconds without a byte moving before a request fails.
    double timeoutInterval = 60.0;
    // Put before every endpoint path, for a service behind a prefix ("/proxy"); empty for the
    // service itself.
    std::string basePath{};
    // The longest answer body a request accepts, in bytes, streams included; a longer one fails
    // the request (`platform::UrlError::Code::tooLarge`), but for an error status, which fails
    // with its status and the start of its body. Enough for the largest answers of the endpoints
    // (images as Base64, speech); a client for smaller answers sets its own.
    std::size_t maximumBodySize = std::size_t{64} << 20;

    // The public service with this key, or the address in TESSRA_AI_BASE_URL
    // ("http://127.0.0.1:8080" or "https://host/prefix") when it is set.
    static Configuration forToken(std::string token);

    bool operator==(const Configuration&) const = default;
  };

  static constexpr std::string_view kPublicHost = "api.openai.com";
  static constexpr const char* kBaseUrlVariable = "TESSRA_AI_BASE_URL";

  // The public service (or TESSRA_AI_BASE_URL), the process-wide URL session, 60 seconds.
  explicit AIClient(std::string apiToken);
  explicit AIClient(Configuration configuration);
  // Plain requests run through `session`, which must outlive the client's requests.
  AIClient(Configuration configuration, platform::UrlSession& session);
  AIClient(const AIClient&) = delete;
  AIClient& operator=(const AIClient&) = delete;

  const Configuration& configuration() const { return m_configuration; }

  // "scheme://host:port" (the port always written), then the base path and `path`,
  // percent-encoded where a path may not hold a character. Fails with a bad-URL error when the
  // configuration cannot make a URL.
  [[nodiscard]] Result<std::string> buildURL(std::string_view path) const;

  // The streams started and not yet ended.
  const ArrayWithThreadSafety<std::shared_ptr<StreamingSessionBase>>& streamingSessions() const {
    return *m_streamingSessions;
  }

  // --- The chat and image operations (the others: other_endpoints.h) -------------------------

  // 2: POST /v1/images/generations.
  void images(const ImagesQuery& query, Completion<ImagesResult> completion);

  // 6: POST /v1/chat/completions, the query exactly as given.
  void chats(const ChatQuery& query, Completion<ChatResult> completion);

  // 7: POST /v1/chat/completions with "stream": true on a copy of the query.
  StreamingTask chatsStream(const ChatQuery& query, StreamResultHandler<ChatStreamResult> onResult,
                            StreamCompletion completion = nullptr);

  // --- The ways of performing a request -------------------------------------------------------

  // A request with a JSON body (or none, for GET) to `path`, built with the credentials.
  template <class Body>
  [[nodiscard]] Result<platform::UrlRequest> buildJSONRequest(std::string_view path,
                                                              std::string method,
                                                              const Body& body) const {
    auto url = buildURL(path);
    if (!url) return std::unexpected(url.error());
    return build(JSONRequest(std::move(*url), std::move(method), body));
  }
  // A request without a body.
  [[nodiscard]] Result<platform::UrlRequest> buildRequest(std::string_view path,
                                                          std::string method) const;
  [[nodiscard]] Result<platform::UrlRequest> build(const JSONRequest& request) const;
  // GET "/v1/models/" followed by the model identifier as one segment ("a/b" asks for "a%2Fb").
  [[nodiscard]] Result<platform::UrlRequest> buildModelRequest(std::string_view model) const;
  [[nodiscard]] Result<platform::UrlRequest> buildMultipartRequest(
      std::string_view path, std::shared_ptr<const MultipartFormDataBodyEncodable> body) const;

  // Sends the request and reports the answer decoded as R (responses.h), or the request's
  // error when it could not be built.
  template <class R>
  void performRequest(Result<platform::UrlRequest> request, Completion<R> completion) {
    performDataRequest<R>(std::move(request), std::move(completion), &decodeResponse<R>);
  }

  // Like `performRequest`, but a 2xx body is the result's `audio` as it came.
  template <class R>
  void performSpeechRequest(Result<platform::UrlRequest> request, Completion<R> completion) {
    performDataRequest<R>(std::move(request), std::move(completion), &rawResponse<R>);
  }

  // Sends the request and reports what `read` makes of the answer, or the request's error when
  // it could not be built.
  template <class R>
  void performDataRequest(Result<platform::UrlRequest> request, Completion<R> completion,
                          Result<R> (*read)(Result<platform::UrlData>)) {
    if (!completion) completion = [](Result<R>) {};
    if (!request) {
      completion(std::unexpected(request.error()));
      return;
    }
    m_session
        ->dataTask(std::move(*request),
                   [completion = std::move(completion), read](Result<platform::UrlData> answer) {
                     completion(read(std::move(answer)));
                   })
        .resume();
  }

  // Starts a stream of records of type Chunk (streaming_session.h). A request that could not be
  // built reports only to `completion`, at once, and starts nothing.
  template <class Chunk>
  StreamingTask performStreamingRequest(Result<platform::UrlRequest> request,
                                        StreamResultHandler<Chunk> onResult,
                                        StreamCompletion completion);

 private:
  friend class OtherEndpoints<AIClient>;
  using SessionList = ArrayWithThreadSafety<std::shared_ptr<StreamingSessionBase>>;

  template <class R, class Body>
  void performJSON(std::string_view path, std::string method, const Body& body,
                   Completion<R> completion) {
    performRequest<R>(buildJSONRequest(path, std::move(method), body), std::move(completion));
  }

  template <class R>
  void performGet(std::string_view path, Completion<R> completion) {
    performRequest<R>(buildRequest(path, "GET"), std::move(completion));
  }

  template <class R, class Query>
  void performMultipart(std::string_view path, const Query& query, Completion<R> completion) {
    performRequest<R>(buildMultipartRequest(path, std::make_shared<const Query>(query)),
                      std::move(completion));
  }

  static void forget(const std::weak_ptr<SessionList>& list, const StreamingSessionBase& session);
  // The request with the configuration's bound on its answer.
  [[nodiscard]] Result<platform::UrlRequest> bounded(Result<platform::UrlRequest> request) const;

  Configuration m_configuration;
  platform::UrlSession* m_session;
  std::shared_ptr<SessionList> m_streamingSessions;
};

template <class Chunk>
StreamingTask AIClient::performStreamingRequest(Result<platform::UrlRequest> request,
                                                StreamResultHandler<Chunk> onResult,
                                                StreamCompletion completion) {
  if (!request) {
    if (completion) completion(request.error());
    return {};
  }
  auto session = std::make_shared<StreamingSession<Chunk>>(std::move(*request));
  if (onResult) {
    session->onReceiveContent = [onResult](StreamingSession<Chunk>&, Chunk chunk) {
      onResult(std::move(chunk));
    };
    session->onProcessingError = [onResult](StreamingSession<Chunk>&, ErrorPtr error) {
      onResult(std::unexpected(std::move(error)));
    };
  }
  // The list is held weakly: a stream that outlives its client still completes.
  std::weak_ptr<SessionList> list = m_streamingSessions;
  session->onComplete = [list, completion = std::move(completion)](StreamingSession<Chunk>& ended,
                                                                   ErrorPtr error) {
    // Out of the list before the caller hears of the end.
    forget(list, ended);
    if (completion) completion(std::move(error));
  };
  session->onCancel = [list](StreamingSession<Chunk>& cancelled) { forget(list, cancelled); };
  // Listed before it starts, so an end that comes at once always finds it there.
  m_streamingSessions->append(session);
  session->start();
  return StreamingTask(session);
}

}  // namespace tessra::aiclient
