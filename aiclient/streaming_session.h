// One streamed answer: the request, its transfer on a URL session of its own, and the reading
// of its server-sent events into records.
//
//   auto session = std::make_shared<StreamingSession<ChatStreamResult>>(urlRequest);
//   session->onReceiveContent = [](auto&, ChatStreamResult chunk) { ... };
//   session->onProcessingError = [](auto&, ErrorPtr error) { ... one event that is no chunk ... };
//   session->onComplete = [](auto&, ErrorPtr error) { ... once; null for a clean end ... };
//   session->start();
//   ...
//   session->cancel();  // aborts the transfer; nothing of the session runs once it returns
//
// How an answer is read:
// - A 2xx answer of type "text/event-stream" (or of no type) is read as events (see
//   server_sent_events.h). The data of each event is decoded as a record; an event that is not
//   UTF-8 is reported as `StreamingError::Code::unknownContent`, one that is the service's error
//   envelope as that `APIErrorResponse`, one that is neither as the record's decoding error.
//   Those reports do not end the stream. The event "[DONE]" ends it: the transfer is stopped and
//   `onComplete` runs without an error. So does the end of the body (also right after a "[DONE]"
//   whose blank line never came); bytes that never made an event fail it with
//   `UnfinishedEventError`.
// - An answer with an error status, or a 2xx answer of another type (a whole JSON body), is no
//   stream: `onComplete` gets the service's envelope when the body is one, `HTTPStatusError`
//   otherwise. No chunk is reported for it.
// - A transfer that fails (connection lost, no byte for the idle timeout, no server) completes
//   with the transfer's `platform::UrlError`.
//
// Threads. Every callback runs on the session's own serial delegate queue, in order, and
// `onComplete` last and once. `cancel()` ends the session from any thread without a completion:
// called on another thread while a callback runs, it waits for that callback to return; called
// from inside a callback, nothing of the session runs after that callback. The callbacks are
// released once the session has ended, so they may hold what holds the session.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "aiclient/api_error.h"
#include "aiclient/client_error.h"
#include "aiclient/responses.h"
#include "aiclient/server_sent_events.h"
#include "platform/foundation/json.h"
#include "platform/foundation/url_session.h"
#include "platform/foundation/utf8.h"

namespace tessra::aiclient {

// What every streaming session does whatever its record type: the transfer and the events.
class StreamingSessionBase : public std::enable_shared_from_this<StreamingSessionBase> {
 public:
  using StreamingError = aiclient::StreamingError;

  // The event that ends a stream.
  static constexpr std::string_view streamingCompletionMarker = "[DONE]";

  explicit StreamingSessionBase(platform::UrlRequest urlRequest);
  virtual ~StreamingSessionBase();
  StreamingSessionBase(const StreamingSessionBase&) = delete;
  StreamingSessionBase& operator=(const StreamingSessionBase&) = delete;

  // Starts the transfer; the session must be owned by a shared_ptr. A second call, or one
  // after `cancel()`, does nothing.
  void start();
  // See "Threads" above.
  void cancel();
  // True once the session has completed or was cancelled.
  bool hasEnded() const { return m_ended.load(); }

  const platform::UrlRequest& urlRequest() const { return m_urlRequest; }

 protected:
  // The data of one event that is not the end marker.
  virtual void processEvent(std::string_view data) = 0;
  virtual void reportCompletion(ErrorPtr error) = 0;
  virtual void reportCancel() = 0;
  virtual void releaseCallbacks() = 0;

 private:
  enum class Mode { events, failure, notAStream };

  // On the delegate queue.
  void receiveResponse(const platform::UrlResponse& head);
  void receiveData(std::string_view bytes);
  void receiveEnd(Result<platform::UrlResponse> end);
  void end(ErrorPtr error);
  void leaveCallback();

  const platform::UrlRequest m_urlRequest;
  std::unique_ptr<platform::UrlSession> m_urlSession;

  // Guards `m_task` and `m_started`.
  std::mutex m_mutex;
  platform::UrlTask m_task;
  bool m_started = false;

  std::atomic<bool> m_cancelled{false};
  std::atomic<bool> m_ended{false};
  // The thread of the delegate callback running now, if any.
  std::atomic<std::thread::id> m_callbackThread{};

  // Touched only on the delegate queue.
  Mode m_mode = Mode::events;
  int m_statusCode = 0;
  std::string m_failureBody;
  ServerSentEventParser m_parser;
};

template <class ResultType>
class StreamingSession final : public StreamingSessionBase {
 public:
  using StreamingSessionBase::StreamingSessionBase;

  // Each may be empty; its reports are then dropped. Set them before `start()`.
  std::function<void(StreamingSession&, ResultType)> onReceiveContent;
  std::function<void(StreamingSession&, ErrorPtr)> onProcessingError;
  std::function<void(StreamingSession&, ErrorPtr)> onComplete;
  // Told when `cancel()` ended the session, instead of `onComplete`.
  std::function<void(StreamingSession&)> onCancel;

 protected:
  void processEvent(std::string_view data) override {
    Result<ResultType> chunk = decode(data);
    if (chunk) {
      if (onReceiveContent) onReceiveContent(*this, std::move(*chunk));
      return;
    }
    if (onProcessingError) onProcessingError(*this, chunk.error());
  }

  void reportCompletion(ErrorPtr error) override {
    if (onComplete) onComplete(*this, std::move(error));
  }

  void reportCancel() override {
    if (onCancel) onCancel(*this);
  }

  void releaseCallbacks() override {
    onReceiveContent = nullptr;
    onProcessingError = nullptr;
    onComplete = nullptr;
    onCancel = nullptr;
  }

 private:
  [[nodiscard]] static Result<ResultType> decode(std::string_view data) {
    // JSON that parses is UTF-8 throughout, so the text is checked only when it failed.
    try {
      return platform::decodeJson<ResultType>(data);
    } catch (const platform::JsonDecodingError&) {
      if (!platform::isValidUtf8(data)) {
        return std::unexpected(
            std::make_exception_ptr(StreamingError(StreamingError::Code::unknownContent)));
      }
      ErrorPtr chunkError = std::current_exception();
      if (auto envelope = decodeErrorEnvelope(data)) {
        return std::unexpected(std::make_exception_ptr(std::move(*envelope)));
      }
      return std::unexpected(chunkError);
    }
  }
};

}  // namespace tessra::aiclient
