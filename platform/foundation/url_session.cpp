#include "platform/foundation/url_session.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/foundation/logger.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/url_task_state.h"

namespace tessra::platform {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// How many deliveries one queue job makes before it yields the delegate queue to other jobs.
constexpr int kDeliveriesPerJob = 64;

}  // namespace

std::optional<std::string> url_detail::joinedHeader(const HttpHeaders& headers,
                                                    std::string_view name) {
  std::optional<std::string> joined;
  for (const auto& [key, value] : headers) {
    if (!equalsIgnoringCase(key, name)) continue;
    if (joined) {
      *joined += ", ";
      *joined += value;
    } else {
      joined = value;
    }
  }
  return joined;
}

// ---------------------------------------------------------------------------------------------
// Requests, responses, errors

void UrlRequest::setHeader(std::string_view name, std::string value) {
  std::erase_if(headers,
                [&](const auto& header) { return equalsIgnoringCase(header.first, name); });
  headers.emplace_back(std::string(name), std::move(value));
}

void UrlRequest::addHeader(std::string name, std::string value) {
  headers.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> UrlRequest::header(std::string_view name) const {
  return url_detail::joinedHeader(headers, name);
}

std::optional<std::string> UrlResponse::header(std::string_view name) const {
  return url_detail::joinedHeader(headers, name);
}

UrlError::UrlError(Code code, std::string cause)
    : Error(message(code), std::move(cause)), m_code(code) {}

const char* UrlError::message(Code code) {
  switch (code) {
    case Code::cancelled:
      return "The request was cancelled.";
    case Code::timedOut:
      return "The request timed out.";
    case Code::cannotConnect:
      return "Could not connect to the server.";
    case Code::connectionLost:
      return "The network connection was lost.";
    case Code::badURL:
      return "The URL is not valid.";
    case Code::tls:
      return "A secure connection to the server cannot be made.";
    case Code::tooLarge:
      return "The server sent more data than this request accepts.";
    case Code::other:
      break;
  }
  return "The request failed.";
}

// ---------------------------------------------------------------------------------------------
// A task's state: what the worker hands over reaches the delegate queue, in order.

void UrlTask::State::postPump() {
  auto target = queue.lock();
  if (!target) return;  // The session is gone and has cancelled the task.
  target->async([self = shared_from_this()] { self->pump(); });
}

void UrlTask::State::deliverHead(UrlResponse head) {
  bool post = false;
  {
    std::lock_guard lock(mutex);
    if (cancelled) return;
    pendingHead = std::move(head);
    post = needsPump();
  }
  if (post) postPump();
}

bool UrlTask::State::deliverData(const char* data, std::size_t size) {
  bool post = false;
  {
    std::lock_guard lock(mutex);
    if (cancelled) return true;
    if (pendingData.size() >= kStreamBufferBytes) {
      heldBack = true;
      return false;
    }
    pendingData.append(data, size);
    post = needsPump();
  }
  if (post) postPump();
  return true;
}

void UrlTask::State::deliverEnd(Result<UrlResponse> end, Bytes body) {
  bool post = false;
  {
    std::lock_guard lock(mutex);
    if (cancelled) return;
    pendingEnd = std::move(end);
    pendingBody = std::move(body);
    post = needsPump();
  }
  if (post) postPump();
}

template <class Call>
void UrlTask::State::runCallback(std::unique_lock<std::mutex>& lock, Call&& call) {
  inCallback = true;
  callbackThread = std::this_thread::get_id();
  lock.unlock();
  // Whatever leaves the callback, a canceller waiting for it must be let go.
  struct Returned {
    State& state;
    std::unique_lock<std::mutex>& lock;
    ~Returned() {
      lock.lock();
      state.inCallback = false;
      state.callbackReturned.notify_all();
    }
  } returned{*this, lock};
  try {
    call();
  } catch (const std::exception& error) {
    logError("UrlSession: a callback of a task threw: {}", error.what());
  }
}

void UrlTask::State::releaseCallbacks(std::unique_lock<std::mutex>& lock) {
  StreamDelegate oldDelegate = std::move(delegate);
  DataCompletion oldCompletion = std::move(completion);
  delegate = {};
  completion = {};
  lock.unlock();
  oldDelegate = {};
  oldCompletion = {};
  lock.lock();
}

void UrlTask::State::pump() {
  std::unique_lock lock(mutex);
  for (int delivery = 0; delivery < kDeliveriesPerJob; ++delivery) {
    if (cancelled) {
      pumpScheduled = false;
      releaseCallbacks(lock);
      return;
    }
    if (pendingHead) {
      UrlResponse head = std::move(*pendingHead);
      pendingHead.reset();
      if (delegate.onResponse) runCallback(lock, [&] { delegate.onResponse(head); });
      continue;
    }
    if (!pendingData.empty()) {
      // The two buffers trade places, so a steady stream reuses their memory.
      deliveredData.clear();
      std::swap(deliveredData, pendingData);
      // The buffer has room again: the network fills it while the delegate reads these bytes.
      if (std::exchange(heldBack, false)) url_detail::resumeTransfer(shared_from_this());
      if (delegate.onData) runCallback(lock, [&] { delegate.onData(deliveredData); });
      continue;
    }
    if (pendingEnd) {
      Result<UrlResponse> end = std::move(*pendingEnd);
      pendingEnd.reset();
      done = true;
      if (streamed) {
        if (delegate.onComplete) runCallback(lock, [&] { delegate.onComplete(std::move(end)); });
      } else if (completion) {
        Result<UrlData> whole =
            end ? Result<UrlData>(UrlData{std::move(*end), std::move(pendingBody)})
                : Result<UrlData>(std::unexpected(end.error()));
        runCallback(lock, [&] { completion(std::move(whole)); });
      }
      pumpScheduled = false;
      releaseCallbacks(lock);
      return;
    }
    pumpScheduled = false;
    return;
  }
  // More is waiting: let other jobs of the queue run first, then go on.
  lock.unlock();
  postPump();
}

// ---------------------------------------------------------------------------------------------
// Tasks

void UrlTask::State::cancel() {
  StreamDelegate oldDelegate;
  DataCompletion oldCompletion;
  bool stopTransfer = false;
  {
    std::unique_lock lock(mutex);
    stopTransfer = started && !cancelled && !done;
    cancelled = true;
    aborted = true;
    done = true;
    request.reset();
    pendingHead.reset();
    pendingData.clear();
    pendingEnd.reset();
    pendingBody.clear();
    const bool fromOwnCallback = inCallback && callbackThread == std::this_thread::get_id();
    if (!fromOwnCallback) {
      callbackReturned.wait(lock, [&] { return !inCallback; });
      oldDelegate = std::move(delegate);
      oldCompletion = std::move(completion);
      delegate = {};
      completion = {};
    }
  }
  if (stopTransfer) url_detail::cancelTransfer(shared_from_this());
}

void UrlTask::resume() {
  if (!m_state) return;
  UrlRequest request;
  {
    std::lock_guard lock(m_state->mutex);
    if (m_state->started || m_state->cancelled || !m_state->request) return;
    m_state->started = true;
    request = std::move(*m_state->request);
    m_state->request.reset();
  }
  url_detail::startTransfer(m_state, std::move(request));
}

void UrlTask::cancel() {
  if (m_state) m_state->cancel();
}

bool UrlTask::isCancelled() const {
  if (!m_state) return false;
  std::lock_guard lock(m_state->mutex);
  return m_state->cancelled;
}

bool UrlTask::isFinished() const { return m_state && m_state->done; }

// ---------------------------------------------------------------------------------------------
// Sessions

struct UrlSession::Registry {
  // Guards `tasks`.
  std::mutex mutex;
  std::vector<std::weak_ptr<UrlTask::State>> tasks;
};

UrlSession::UrlSession() : UrlSession(nullptr) {}

UrlSession::UrlSession(std::shared_ptr<SerialQueue> delegateQueue)
    : m_delegateQueue(std::move(delegateQueue)), m_registry(std::make_shared<Registry>()) {
  if (!m_delegateQueue) m_delegateQueue = std::make_shared<SerialQueue>("org.tessra.urlsession");
  // The worker is made first so that it outlives every session, the shared one included.
  url_detail::startWorker();
}

UrlSession::~UrlSession() { cancelAll(); }

UrlSession& UrlSession::shared() {
  static UrlSession session;
  return session;
}

UrlTask UrlSession::dataTask(UrlRequest request, DataCompletion completion) {
  if (!completion) completion = [](Result<UrlData>) {};
  return makeTask(std::move(request), {}, std::move(completion));
}

UrlTask UrlSession::streamTask(UrlRequest request, StreamDelegate delegate) {
  return makeTask(std::move(request), std::move(delegate), {});
}

UrlTask UrlSession::makeTask(UrlRequest request, StreamDelegate stream, DataCompletion completion) {
  auto state = std::make_shared<UrlTask::State>(m_delegateQueue, std::move(request),
                                                std::move(stream), std::move(completion));
  std::lock_guard lock(m_registry->mutex);
  std::erase_if(m_registry->tasks, [](const std::weak_ptr<UrlTask::State>& task) {
    const auto alive = task.lock();
    return !alive || alive->done;
  });
  m_registry->tasks.push_back(state);
  return UrlTask(state);
}

void UrlSession::cancelAll() {
  std::vector<std::shared_ptr<UrlTask::State>> tasks;
  {
    std::lock_guard lock(m_registry->mutex);
    for (const auto& task : m_registry->tasks) {
      if (auto alive = task.lock()) tasks.push_back(std::move(alive));
    }
    m_registry->tasks.clear();
  }
  for (const auto& task : tasks) task->cancel();
}

}  // namespace tessra::platform
