// How an operation of the client reports: the one completion of a plain operation, the handlers
// of a stream, and the handle that cancels a running stream. Shared by the client (ai_client.h)
// and the operations of the other endpoints (other_endpoints.h).
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "aiclient/streaming_session.h"
#include "platform/foundation/error.h"

namespace tessra::aiclient {

// The one report of a plain operation.
template <class T>
using Completion = std::function<void(Result<T>)>;
// One report per event of a stream: a record, or the error of an event that is none.
template <class T>
using StreamResultHandler = std::function<void(Result<T>)>;
// The end of a stream: null for a clean end, the error otherwise.
using StreamCompletion = std::function<void(ErrorPtr)>;

// A handle to a running stream. It does not keep the stream alive; copies share it.
class StreamingTask {
 public:
  StreamingTask() = default;
  explicit StreamingTask(std::weak_ptr<StreamingSessionBase> session)
      : m_session(std::move(session)) {}

  // Aborts the transfer. No callback of the stream runs once this returns (from inside one of
  // them: after it), and its completion is not called. Does nothing once the stream has ended.
  void cancel() const {
    if (auto session = m_session.lock()) session->cancel();
  }
  // True once the stream has completed or was cancelled, and for a stream never started.
  bool hasEnded() const {
    const auto session = m_session.lock();
    return !session || session->hasEnded();
  }

 private:
  std::weak_ptr<StreamingSessionBase> m_session;
};

}  // namespace tessra::aiclient
