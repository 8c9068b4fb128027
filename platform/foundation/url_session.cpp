#include "platform/foundation/url_session.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/foundation/logger.h"
#include "platform/foundation/queue.h"

namespace tessra::platform {

namespace {

using Clock = std::chrono::steady_clock;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<std::string> joinedHeader(const HttpHeaders& headers, std::string_view name) {
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

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

ErrorPtr makeUrlError(UrlError::Code code, std::string cause) {
  return std::make_exception_ptr(UrlError(code, std::move(cause)));
}

UrlError::Code codeFor(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return UrlError::Code::badURL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
      return UrlError::Code::cannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return UrlError::Code::timedOut;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
      return UrlError::Code::tls;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return UrlError::Code::connectionLost;
    case CURLE_ABORTED_BY_CALLBACK:
      return UrlError::Code::cancelled;
    default:
      return UrlError::Code::other;
  }
}

// RAII for the libcurl handles.
struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderListHandle = std::unique_ptr<curl_slist, HeaderListDeleter>;

// How many deliveries one queue job makes before it yields the delegate queue to other jobs.
constexpr int kDeliveriesPerJob = 64;

}  // namespace

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
  return joinedHeader(headers, name);
}

std::optional<std::string> UrlResponse::header(std::string_view name) const {
  return joinedHeader(headers, name);
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
    case Code::other:
      break;
  }
  return "The request failed.";
}

// ---------------------------------------------------------------------------------------------
// The state of one task, shared by its handles, the worker and the delegate queue.

struct UrlTask::State : std::enable_shared_from_this<UrlTask::State> {
  State(std::weak_ptr<SerialQueue> queue, UrlRequest request, StreamDelegate delegate,
        DataCompletion completion)
      : queue(std::move(queue)),
        streamed(!completion),
        request(std::move(request)),
        delegate(std::move(delegate)),
        completion(std::move(completion)) {}

  // Called on the worker.
  void deliverHead(UrlResponse head);
  void deliverData(const char* data, std::size_t size);
  void deliverEnd(Result<UrlResponse> end, Bytes body);

  void cancel();
  void pump();

  const std::weak_ptr<SerialQueue> queue;
  const bool streamed;

  // Set once the task is cancelled; the worker reads it without the lock to stop reading.
  std::atomic<bool> aborted{false};
  std::atomic<bool> done{false};

  mutable std::mutex mutex;
  std::condition_variable callbackReturned;
  // Guarded by `mutex`:
  bool started = false;
  bool cancelled = false;
  std::optional<UrlRequest> request;
  StreamDelegate delegate;
  DataCompletion completion;
  bool inCallback = false;
  std::thread::id callbackThread;
  bool pumpScheduled = false;
  std::optional<UrlResponse> pendingHead;
  std::string pendingData;
  std::optional<Result<UrlResponse>> pendingEnd;
  Bytes pendingBody;

  // Touched only by the one pump job that runs at a time.
  std::string deliveredData;

 private:
  // With the lock held: marks a pump as needed; true when the caller must post one.
  bool needsPump() {
    if (pumpScheduled || cancelled) return false;
    pumpScheduled = true;
    return true;
  }
  void postPump();
  // Runs `call` with the lock released, marked as the task's running callback.
  template <class Call>
  void runCallback(std::unique_lock<std::mutex>& lock, Call&& call);
  // Drops the callbacks (and what they hold) outside the lock.
  void releaseCallbacks(std::unique_lock<std::mutex>& lock);
};

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

void UrlTask::State::deliverData(const char* data, std::size_t size) {
  bool post = false;
  {
    std::lock_guard lock(mutex);
    if (cancelled) return;
    pendingData.append(data, size);
    post = needsPump();
  }
  if (post) postPump();
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
// The worker: one thread and one multi handle for every transfer of the process.

namespace {

using TaskState = UrlTask::State;

// One transfer on the worker. Only the worker thread touches it.
struct Transfer {
  std::shared_ptr<TaskState> task;
  UrlRequest request;
  EasyHandle easy;
  HeaderListHandle headerList;
  std::size_t uploaded = 0;
  Clock::time_point lastActivity = Clock::now();
  HttpHeaders headers;
  bool headComplete = false;
  Bytes body;
  char errorText[CURL_ERROR_SIZE] = {};

  void touch() { lastActivity = Clock::now(); }

  UrlResponse response() const {
    UrlResponse head;
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    head.statusCode = static_cast<int>(status);
    head.headers = headers;
    char* effectiveUrl = nullptr;
    curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &effectiveUrl);
    head.url = effectiveUrl ? effectiveUrl : request.url;
    return head;
  }

  void completeHead() {
    headComplete = true;
    if (task->streamed) task->deliverHead(response());
  }

  // The blank line after a head: interim answers and redirections that will be followed are
  // passed over, so the delegate sees the head of the answer whose body it gets.
  void endOfHead() {
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    const bool interim = status >= 100 && status < 200;
    const bool followed =
        request.followRedirects &&
        (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
        joinedHeader(headers, "Location");
    if (interim || followed) {
      headers.clear();
      return;
    }
    completeHead();
  }

  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t length = size * count;
    transfer.touch();
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
      transfer.headers.clear();
      transfer.headComplete = false;
      return length;
    }
    // Trailers after the body are not part of the head.
    if (transfer.headComplete) return length;
    if (line.empty()) {
      transfer.endOfHead();
      return length;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !transfer.headers.empty()) {
      transfer.headers.back().second += " ";
      transfer.headers.back().second += trim(line);
      return length;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return length;
    transfer.headers.emplace_back(std::string(trim(line.substr(0, colon))),
                                  std::string(trim(line.substr(colon + 1))));
    return length;
  }

  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t length = size * count;
    if (transfer.task->aborted.load(std::memory_order_relaxed)) return 0;
    transfer.touch();
    if (!transfer.headComplete) transfer.completeHead();
    if (length == 0) return 0;
    if (transfer.task->streamed) {
      transfer.task->deliverData(data, length);
    } else {
      transfer.body.insert(transfer.body.end(), data, data + length);
    }
    return length;
  }

  static std::size_t onUpload(char* buffer, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    if (transfer.task->aborted.load(std::memory_order_relaxed)) return CURL_READFUNC_ABORT;
    transfer.touch();
    const auto& body = transfer.request.body;
    const std::size_t length = std::min(size * count, body.size() - transfer.uploaded);
    std::memcpy(buffer, body.data() + transfer.uploaded, length);
    transfer.uploaded += length;
    return length;
  }

  CURLcode configure() {
    CURL* handle = easy.get();
    CURLcode result = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
      if (result == CURLE_OK) result = curl_easy_setopt(handle, option, value);
    };
    set(CURLOPT_PRIVATE, static_cast<void*>(this));
    set(CURLOPT_ERRORBUFFER, errorText);
    set(CURLOPT_URL, request.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_ACCEPT_ENCODING, "");
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    set(CURLOPT_USERAGENT, "Tessra/1.0");
    set(CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    if (request.connectTimeout) {
      set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeout->count()));
    }
    if (request.followRedirects) {
      set(CURLOPT_FOLLOWLOCATION, 1L);
      set(CURLOPT_MAXREDIRS, 10L);
      set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    }

    const std::string& method = request.method;
    const bool sendsBody =
        !request.body.empty() || method == "POST" || method == "PUT" || method == "PATCH";
    if (method == "HEAD") {
      set(CURLOPT_NOBODY, 1L);
    } else if (sendsBody) {
      set(CURLOPT_POST, 1L);
      set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
      set(CURLOPT_READFUNCTION, &Transfer::onUpload);
      set(CURLOPT_READDATA, static_cast<void*>(this));
      if (method != "POST") set(CURLOPT_CUSTOMREQUEST, method.c_str());
    } else {
      set(CURLOPT_HTTPGET, 1L);
      if (method != "GET") set(CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    curl_slist* list = nullptr;
    auto append = [&](const std::string& line) {
      if (curl_slist* longer = curl_slist_append(list, line.c_str())) {
        list = longer;
      } else {
        result = CURLE_OUT_OF_MEMORY;
      }
    };
    for (const auto& [name, value] : request.headers) {
      // "Name;" is how libcurl is told to send a header with an empty value.
      append(value.empty() ? name + ";" : name + ": " + value);
    }
    // libcurl would add a waiting "Expect: 100-continue" and a form content type on its own.
    if (!request.header("Expect")) append("Expect:");
    if (sendsBody && !request.header("Content-Type")) append("Content-Type:");
    headerList.reset(list);
    set(CURLOPT_HTTPHEADER, headerList.get());
    return result;
  }
};

class Engine {
 public:
  static Engine& instance() {
    static Engine engine;
    return engine;
  }

  void start(std::shared_ptr<TaskState> task, UrlRequest request) {
    post(Command{std::move(task), std::move(request)});
  }
  void cancel(std::shared_ptr<TaskState> task) { post(Command{std::move(task), std::nullopt}); }

 private:
  struct Command {
    std::shared_ptr<TaskState> task;
    // Present to start the task, absent to cancel it.
    std::optional<UrlRequest> start;
  };

  Engine() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    m_multi.reset(curl_multi_init());
    m_thread = std::thread([this] { run(); });
  }

  ~Engine() {
    {
      std::lock_guard lock(m_mutex);
      m_stopping = true;
    }
    curl_multi_wakeup(m_multi.get());
    if (m_thread.joinable()) m_thread.join();
    for (auto& [task, transfer] : m_transfers) {
      curl_multi_remove_handle(m_multi.get(), transfer->easy.get());
    }
    m_transfers.clear();
    m_multi.reset();
    curl_global_cleanup();
  }

  void post(Command command) {
    {
      std::lock_guard lock(m_mutex);
      m_commands.push_back(std::move(command));
    }
    curl_multi_wakeup(m_multi.get());
  }

  void run() {
    std::vector<Command> commands;
    for (;;) {
      {
        std::lock_guard lock(m_mutex);
        if (m_stopping) return;
        commands.swap(m_commands);
      }
      for (Command& command : commands) {
        if (command.start) {
          add(std::move(command.task), std::move(*command.start));
        } else {
          remove(command.task.get());
        }
      }
      commands.clear();

      int running = 0;
      curl_multi_perform(m_multi.get(), &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(m_multi.get(), &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        void* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        finish(*static_cast<Transfer*>(transfer), message->data.result);
      }
      curl_multi_poll(m_multi.get(), nullptr, 0, expireIdleTransfers(), nullptr);
    }
  }

  void add(std::shared_ptr<TaskState> task, UrlRequest request) {
    if (task->aborted) return;
    auto transfer = std::make_unique<Transfer>();
    transfer->task = task;
    transfer->request = std::move(request);
    transfer->easy.reset(curl_easy_init());
    const CURLcode setup = transfer->easy ? transfer->configure() : CURLE_FAILED_INIT;
    if (setup != CURLE_OK) {
      task->deliverEnd(std::unexpected(makeUrlError(codeFor(setup), curl_easy_strerror(setup))),
                       {});
      return;
    }
    const CURLMcode added = curl_multi_add_handle(m_multi.get(), transfer->easy.get());
    if (added != CURLM_OK) {
      task->deliverEnd(
          std::unexpected(makeUrlError(UrlError::Code::other, curl_multi_strerror(added))), {});
      return;
    }
    transfer->touch();
    m_transfers.emplace(task.get(), std::move(transfer));
  }

  // Drops a transfer without a report: its task was cancelled.
  void remove(TaskState* task) {
    const auto found = m_transfers.find(task);
    if (found == m_transfers.end()) return;
    curl_multi_remove_handle(m_multi.get(), found->second->easy.get());
    m_transfers.erase(found);
  }

  void finish(Transfer& transfer, CURLcode code) {
    std::shared_ptr<TaskState> task = transfer.task;
    if (code == CURLE_OK) {
      if (!transfer.headComplete) transfer.completeHead();
      UrlResponse response = transfer.response();
      task->deliverEnd(std::move(response), std::move(transfer.body));
    } else {
      std::string cause = transfer.errorText[0] ? transfer.errorText : curl_easy_strerror(code);
      task->deliverEnd(std::unexpected(makeUrlError(codeFor(code), std::move(cause))), {});
    }
    remove(task.get());
  }

  // Fails the transfers that have been idle too long; returns how long the worker may wait for
  // the next one to expire, in milliseconds.
  int expireIdleTransfers() {
    constexpr auto kLongestWait = std::chrono::milliseconds(60'000);
    const auto now = Clock::now();
    auto wait = kLongestWait;
    std::vector<Transfer*> expired;
    for (auto& [task, transfer] : m_transfers) {
      const auto limit = transfer->request.idleTimeout;
      if (limit <= std::chrono::milliseconds::zero()) continue;
      const auto deadline = transfer->lastActivity + limit;
      if (deadline <= now) {
        expired.push_back(transfer.get());
        continue;
      }
      wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
    }
    for (Transfer* transfer : expired) {
      std::shared_ptr<TaskState> task = transfer->task;
      const std::string cause = fmt::format("No data was sent or received for {} ms",
                                            transfer->request.idleTimeout.count());
      remove(task.get());
      task->deliverEnd(std::unexpected(makeUrlError(UrlError::Code::timedOut, cause)), {});
    }
    return static_cast<int>(expired.empty() ? wait.count() : 0);
  }

  MultiHandle m_multi;
  std::thread m_thread;

  // Guards the commands and the stop flag.
  std::mutex m_mutex;
  std::vector<Command> m_commands;
  bool m_stopping = false;

  // Worker thread only.
  std::unordered_map<TaskState*, std::unique_ptr<Transfer>> m_transfers;
};

}  // namespace

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
  if (stopTransfer) Engine::instance().cancel(shared_from_this());
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
  Engine::instance().start(m_state, std::move(request));
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
  Engine::instance();
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
