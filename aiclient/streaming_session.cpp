#include "aiclient/streaming_session.h"

#include <algorithm>
#include <cctype>

#include "platform/foundation/logger.h"

namespace tessra::aiclient {
namespace {

// An error answer is read whole to find the service's envelope in it; beyond this it is not an
// envelope, and the start of it is all the description shows.
constexpr std::size_t kFailureBodyLimit = 64 * 1024;

// True for a stream of events, or an answer that does not say what it is.
bool isEventStream(const platform::UrlResponse& head) {
  const auto contentType = head.header("Content-Type");
  if (!contentType) return true;
  std::string mediaType = contentType->substr(0, contentType->find(';'));
  std::erase_if(mediaType, [](unsigned char c) { return std::isspace(c); });
  std::ranges::transform(mediaType, mediaType.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return mediaType == "text/event-stream";
}

// A body that stops right after the end marker's data line, before the blank line that would
// close its event, still ended where the service meant it to: every chunk came.
bool isEndMarkerLeftover(std::string_view leftover) {
  const std::string_view marker = StreamingSessionBase::streamingCompletionMarker;
  if (leftover == marker) return true;
  if (!leftover.starts_with("data:")) return false;
  leftover.remove_prefix(5);
  if (leftover.starts_with(' ')) leftover.remove_prefix(1);
  return leftover == marker;
}

}  // namespace

StreamingSessionBase::StreamingSessionBase(platform::UrlRequest urlRequest)
    : m_urlRequest(std::move(urlRequest)) {}

StreamingSessionBase::~StreamingSessionBase() = default;

void StreamingSessionBase::start() {
  std::lock_guard lock(m_mutex);
  if (m_started || m_cancelled) return;
  m_started = true;
  // A session of its own, so a slow reader of one stream never holds up another.
  m_urlSession = std::make_unique<platform::UrlSession>();

  // Each callback marks the thread it runs on, so that a `cancel()` from inside it is known,
  // and releases the callbacks when it has ended the session.
  struct InCallback {
    explicit InCallback(StreamingSessionBase& session) : session(session) {
      session.m_callbackThread = std::this_thread::get_id();
    }
    ~InCallback() { session.leaveCallback(); }
    StreamingSessionBase& session;
  };
  std::shared_ptr<StreamingSessionBase> self = shared_from_this();
  m_task =
      m_urlSession->streamTask(m_urlRequest, {
                                                 .onResponse =
                                                     [self](const platform::UrlResponse& head) {
                                                       InCallback inCallback(*self);
                                                       self->receiveResponse(head);
                                                     },
                                                 .onData =
                                                     [self](std::string_view bytes) {
                                                       InCallback inCallback(*self);
                                                       self->receiveData(bytes);
                                                     },
                                                 .onComplete =
                                                     [self](Result<platform::UrlResponse> end) {
                                                       InCallback inCallback(*self);
                                                       self->receiveEnd(std::move(end));
                                                     },
                                             });
  m_task.resume();
}

void StreamingSessionBase::cancel() {
  m_cancelled = true;
  platform::UrlTask task;
  {
    std::lock_guard lock(m_mutex);
    task = m_task;
  }
  // Waits for a callback running on another thread; from inside one it returns at once.
  if (task) task.cancel();
  if (m_ended.exchange(true)) return;
  reportCancel();
  if (m_callbackThread.load() != std::this_thread::get_id()) releaseCallbacks();
}

void StreamingSessionBase::leaveCallback() {
  m_callbackThread = std::thread::id();
  if (m_ended) releaseCallbacks();
}

void StreamingSessionBase::receiveResponse(const platform::UrlResponse& head) {
  m_statusCode = head.statusCode;
  if (!head.isSuccess()) {
    m_mode = Mode::failure;
  } else if (!isEventStream(head)) {
    m_mode = Mode::notAStream;
  }
}

void StreamingSessionBase::receiveData(std::string_view bytes) {
  if (m_ended) return;
  if (m_mode != Mode::events) {
    const std::size_t room = kFailureBodyLimit - std::min(kFailureBodyLimit, m_failureBody.size());
    m_failureBody.append(bytes.substr(0, room));
    return;
  }
  bool sawEndMarker = false;
  m_parser.feed(bytes, [&](std::string_view data) {
    if (data == streamingCompletionMarker) {
      sawEndMarker = true;
      return false;
    }
    processEvent(data);
    return !m_cancelled.load();
  });
  if (!sawEndMarker) return;

  // Whatever the server sends after the marker is not wanted; the transfer stops here.
  end(nullptr);
  platform::UrlTask task;
  {
    std::lock_guard lock(m_mutex);
    task = m_task;
  }
  task.cancel();
}

void StreamingSessionBase::receiveEnd(Result<platform::UrlResponse> end) {
  if (!end) {
    this->end(end.error());
    return;
  }
  if (m_mode != Mode::events) {
    this->end(errorForFailedResponse(m_statusCode, m_failureBody));
    return;
  }
  if (auto leftover = m_parser.finish(); leftover && !isEndMarkerLeftover(*leftover)) {
    platform::logError("A streamed answer ended inside an event ({} bytes left over)",
                       leftover->size());
    this->end(std::make_exception_ptr(UnfinishedEventError(std::move(*leftover))));
    return;
  }
  this->end(nullptr);
}

void StreamingSessionBase::end(ErrorPtr error) {
  if (m_ended.exchange(true)) return;
  reportCompletion(std::move(error));
}

}  // namespace tessra::aiclient
