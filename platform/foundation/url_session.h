// HTTP and HTTPS requests: whole answers handed to a completion, and streamed answers whose bytes
// reach a delegate in order while they arrive.
//
//   platform::UrlSession session;
//   platform::UrlRequest request{.method = "POST", .url = base + "/v1/chat/completions"};
//   request.setHeader("Content-Type", "application/json");
//   request.body = toBytes(json);
//   auto task = session.streamTask(request, {
//       .onResponse = [](const UrlResponse& head) { ... status and headers ... },
//       .onData = [](std::string_view bytes) { ... the next bytes of the body ... },
//       .onComplete = [](Result<UrlResponse> end) { ... once, last ... },
//   });
//   task.resume();
//   ...
//   task.cancel();  // nothing of the task runs once this returns
//
// Threads. Every transfer of the process runs on one worker thread that drives a single libcurl
// multi handle (so connections are shared and no request blocks its caller). Callbacks never run
// there: each session has a serial delegate queue, and every callback of its tasks runs on it, in
// order per task: `onResponse` before the first bytes, the bytes in the order they arrived, the
// completion last and exactly once (unless the task was cancelled). Bytes that arrive while the
// delegate is still busy are handed over together in one `onData` call, so a fast stream of tiny
// packets costs one queue hop per batch rather than one per packet.
//
// Cancel. `UrlTask::cancel()` aborts the transfer (the connection is closed) and suppresses every
// callback that has not started: the canceller asked for the end and needs no report of it, and
// owners can free what their callbacks use as soon as it returns. Called on another thread while
// a callback of the task runs, it waits for that callback to return; called from inside one of the
// task's own callbacks, it returns at once and nothing of the task runs after that callback.
// Destroying a session cancels its tasks the same way.
//
// Timeouts. `idleTimeout` ends a transfer that moved no byte (either way) for that long; a stream
// that keeps sending runs as long as it sends, also when a busy machine keeps the worker from
// reading it for a while (what waits unread is read before the silence is judged). HTTP error
// statuses are answers, not errors: the response carries the status and the body.
//
// Bounds. A body longer than the request's `maximumBodySize`, declared or sent, fails the request
// with `UrlError::Code::tooLarge` as soon as it passes the bound, whole answers and streams alike:
// memory stays bounded however much a server sends, and a body that trickles in under the idle
// timeout ends too. An answer with an error status is told by its start, so its body is cut at
// the bound instead: the answer ends there with its status and the bytes up to the bound. A stream
// whose delegate falls behind holds the transfer back (the server's sending waits) once about
// `kStreamBufferBytes` wait for the delegate, and lets it go on when the delegate has taken them;
// the wait is not idle time.
//
// Resending. A request sent on a kept-alive connection that the server closes without answering
// is sent again on a new connection, its body with it, as proxies and services that drop idle
// connections require.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/base64.h"
#include "platform/foundation/error.h"

namespace tessra::platform {

class SerialQueue;

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// What to send. Headers keep their order and may repeat.
struct UrlRequest {
  std::string method = "GET";
  std::string url{};
  HttpHeaders headers{};
  Bytes body{};
  // The longest time without a byte sent or received before the request fails as timed out;
  // zero or less means no limit.
  std::chrono::milliseconds idleTimeout = std::chrono::seconds(60);
  // The longest time to set up the connection; the idle timeout alone when absent.
  std::optional<std::chrono::milliseconds> connectTimeout{};
  // Redirections are answers unless this is set; then up to 10 are followed.
  bool followRedirects = false;
  // The longest body the answer may have, counted after any content decoding; each caller sets
  // what its answers need.
  std::size_t maximumBodySize = kDefaultMaximumBodySize;

  // Enough for any record a service answers with.
  static constexpr std::size_t kDefaultMaximumBodySize = std::size_t{16} << 20;

  // Replaces every header of that name (compared without case) with this one.
  void setHeader(std::string_view name, std::string value);
  // Adds a header after the others, keeping those of the same name.
  void addHeader(std::string name, std::string value);
  // The values of the header joined by ", ", compared without case.
  std::optional<std::string> header(std::string_view name) const;

  bool operator==(const UrlRequest&) const = default;
};

// The head of an answer.
struct UrlResponse {
  int statusCode = 0;
  HttpHeaders headers{};
  // The URL that answered, after any redirection that was followed.
  std::string url{};

  // The values of the header joined by ", ", compared without case.
  std::optional<std::string> header(std::string_view name) const;
  bool isSuccess() const { return statusCode >= 200 && statusCode < 300; }

  bool operator==(const UrlResponse&) const = default;
};

// A whole answer.
struct UrlData {
  UrlResponse response{};
  Bytes body{};
};

// A transfer that failed: the request could not be sent or its answer not received whole.
class UrlError : public Error {
 public:
  enum class Code {
    cancelled,
    timedOut,
    cannotConnect,
    connectionLost,
    badURL,
    tls,
    tooLarge,
    other
  };

  explicit UrlError(Code code, std::string cause = {});

  Code code() const { return m_code; }
  // "The request timed out.", "Could not connect to the server.", ...
  static const char* message(Code code);

 private:
  Code m_code;
};

using DataCompletion = std::function<void(Result<UrlData>)>;

// The callbacks of a streamed request. Any of them may be empty.
struct StreamDelegate {
  // The status and headers, before any body bytes.
  std::function<void(const UrlResponse&)> onResponse{};
  // The next bytes of the body; never empty.
  std::function<void(std::string_view)> onData{};
  // Once, last: the response when the body ended cleanly, the transfer's error otherwise.
  std::function<void(Result<UrlResponse>)> onComplete{};
};

// How many body bytes of a stream may wait for its delegate before the transfer is held back.
inline constexpr std::size_t kStreamBufferBytes = std::size_t{1} << 20;

// A handle to one request. Copies share the request; dropping every handle neither cancels the
// request nor stops its callbacks. Thread-safe.
class UrlTask {
 public:
  struct State;

  UrlTask() = default;
  explicit UrlTask(std::shared_ptr<State> state) : m_state(std::move(state)) {}

  // Starts the request; a second call, or one after `cancel()`, does nothing.
  void resume();
  // See "Cancel" above.
  void cancel();
  bool isCancelled() const;
  // True once the completion has started to run or the task was cancelled.
  bool isFinished() const;

  explicit operator bool() const { return m_state != nullptr; }

 private:
  std::shared_ptr<State> m_state;
};

class UrlSession {
 public:
  // A session with a delegate queue of its own.
  UrlSession();
  // A session whose callbacks run on the given queue (which may serve other sessions too); a
  // queue of its own when none is given.
  explicit UrlSession(std::shared_ptr<SerialQueue> delegateQueue);
  // Cancels every task of the session, as `UrlTask::cancel()` does.
  ~UrlSession();
  UrlSession(const UrlSession&) = delete;
  UrlSession& operator=(const UrlSession&) = delete;

  // The process-wide session for requests that need no session of their own.
  static UrlSession& shared();

  // A request whose whole answer (or failure) reaches `completion` once. Call `resume()`.
  UrlTask dataTask(UrlRequest request, DataCompletion completion);
  // A request whose answer reaches the delegate as it arrives. Call `resume()`.
  UrlTask streamTask(UrlRequest request, StreamDelegate delegate);

  SerialQueue& delegateQueue() const { return *m_delegateQueue; }

  // Cancels every task started so far.
  void cancelAll();

 private:
  UrlTask makeTask(UrlRequest request, StreamDelegate stream, DataCompletion completion);

  std::shared_ptr<SerialQueue> m_delegateQueue;
  struct Registry;
  std::shared_ptr<Registry> m_registry;
};

}  // namespace tessra::platform
