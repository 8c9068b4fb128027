// The libcurl worker of the URL session: one thread and one multi handle for every transfer of
// the process. Program code never runs on it; it hands heads, bytes and ends to each task's state,
// which delivers them on the task's delegate queue.
#include <curl/curl.h>
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/foundation/url_task_state.h"

namespace tessra::platform {

namespace {

using Clock = std::chrono::steady_clock;
using url_detail::joinedHeader;

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
    case CURLE_FILESIZE_EXCEEDED:
      return UrlError::Code::tooLarge;
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
  // Body bytes taken so far, whether kept here or handed to the stream's delegate.
  std::size_t received = 0;
  bool tooLarge = false;
  // The answer has an error status: what it says is at its start, so its body is cut at the
  // bound rather than failed.
  bool errorAnswer = false;
  bool cutAtBound = false;
  // Held back until the stream's delegate has taken what waits for it; not idle meanwhile.
  bool heldBack = false;
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
    const UrlResponse head = response();
    errorAnswer = !head.isSuccess();
    tooLarge = declaresTooMuch(head);
    if (task->streamed && !tooLarge) task->deliverHead(head);
  }

  // A success that declares a body past the bound fails before any byte of it is read.
  bool declaresTooMuch(const UrlResponse& head) const {
    const auto declared = head.header("Content-Length");
    if (!head.isSuccess() || request.method == "HEAD" || !declared) return false;
    std::uint64_t length = 0;
    const char* end = declared->data() + declared->size();
    const auto [stop, error] = std::from_chars(declared->data(), end, length);
    return error == std::errc() && stop == end && length > request.maximumBodySize;
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
      // libcurl fails a transfer whose header callback takes less than it was given.
      return transfer.tooLarge ? 0 : length;
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
    if (length == 0 || transfer.tooLarge) return 0;
    const std::size_t room = transfer.request.maximumBodySize - transfer.received;
    const bool cut = length > room;
    // libcurl fails a transfer whose write callback takes less than it was given.
    if (cut && !transfer.errorAnswer) {
      transfer.tooLarge = true;
      return 0;
    }
    const std::size_t taken = cut ? room : length;
    if (transfer.task->streamed) {
      if (taken > 0 && !transfer.task->deliverData(data, taken)) {
        transfer.heldBack = true;
        return CURL_WRITEFUNC_PAUSE;
      }
    } else {
      transfer.body.insert(transfer.body.end(), data, data + taken);
    }
    transfer.received += taken;
    if (!cut) return length;
    transfer.cutAtBound = true;
    return 0;
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

  // libcurl rewinds the body to send the request again, on a new connection when the server
  // closed a kept-alive one without answering.
  static int onSeek(void* context, curl_off_t offset, int origin) {
    auto& transfer = *static_cast<Transfer*>(context);
    if (origin != SEEK_SET || offset < 0 ||
        static_cast<std::uint64_t>(offset) > transfer.request.body.size()) {
      return CURL_SEEKFUNC_CANTSEEK;
    }
    transfer.uploaded = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
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
      set(CURLOPT_SEEKFUNCTION, &Transfer::onSeek);
      set(CURLOPT_SEEKDATA, static_cast<void*>(this));
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
    post(Command{Command::Action::start, std::move(task), std::move(request)});
  }
  void cancel(std::shared_ptr<TaskState> task) {
    post(Command{Command::Action::cancel, std::move(task), std::nullopt});
  }
  void resume(std::shared_ptr<TaskState> task) {
    post(Command{Command::Action::resume, std::move(task), std::nullopt});
  }

 private:
  struct Command {
    enum class Action { start, cancel, resume };
    Action action;
    std::shared_ptr<TaskState> task;
    // The request of a start.
    std::optional<UrlRequest> request;
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
        switch (command.action) {
          case Command::Action::start:
            add(std::move(command.task), std::move(*command.request));
            break;
          case Command::Action::cancel:
            remove(command.task.get());
            break;
          case Command::Action::resume:
            resume(command.task.get());
            break;
        }
      }
      commands.clear();

      // What came before this moment is read now: only a transfer that had been silent for its
      // whole idle timeout by then has timed out (see `expireIdleTransfers`).
      const auto read = Clock::now();
      int running = 0;
      curl_multi_perform(m_multi.get(), &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(m_multi.get(), &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        void* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        finish(*static_cast<Transfer*>(transfer), message->data.result);
      }
      curl_multi_poll(m_multi.get(), nullptr, 0, expireIdleTransfers(read), nullptr);
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

  void resume(TaskState* task) {
    const auto found = m_transfers.find(task);
    if (found == m_transfers.end() || !found->second->heldBack) return;
    Transfer& transfer = *found->second;
    transfer.heldBack = false;
    transfer.touch();
    // The bytes the transfer held back are written again from inside this call, and may hold it
    // back once more.
    curl_easy_pause(transfer.easy.get(), CURLPAUSE_CONT);
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
    if (transfer.tooLarge) {
      const std::string cause =
          fmt::format("The body passed {} bytes", transfer.request.maximumBodySize);
      task->deliverEnd(std::unexpected(makeUrlError(UrlError::Code::tooLarge, cause)), {});
    } else if (code == CURLE_OK || transfer.cutAtBound) {
      if (!transfer.headComplete) transfer.completeHead();
      UrlResponse response = transfer.response();
      task->deliverEnd(std::move(response), std::move(transfer.body));
    } else {
      std::string cause = transfer.errorText[0] ? transfer.errorText : curl_easy_strerror(code);
      task->deliverEnd(std::unexpected(makeUrlError(codeFor(code), std::move(cause))), {});
    }
    remove(task.get());
  }

  // Fails the transfers that had been idle too long by `read`, the moment before their sockets
  // were last read; returns how long the worker may wait for the next one to expire, in
  // milliseconds. Judged by that moment, not by now: bytes that came after it wait unread in the
  // socket, and a worker that a busy machine held up since must read them before it calls the
  // transfer silent.
  int expireIdleTransfers(Clock::time_point read) {
    constexpr auto kLongestWait = std::chrono::milliseconds(60'000);
    const auto now = Clock::now();
    auto wait = kLongestWait;
    std::vector<Transfer*> expired;
    for (auto& [task, transfer] : m_transfers) {
      const auto limit = transfer->request.idleTimeout;
      if (limit <= std::chrono::milliseconds::zero() || transfer->heldBack) continue;
      const auto deadline = transfer->lastActivity + limit;
      if (deadline <= read) {
        expired.push_back(transfer.get());
        continue;
      }
      // A deadline already past is judged after the next read, at once.
      wait = std::min(wait, std::max(std::chrono::milliseconds::zero(),
                                     std::chrono::ceil<std::chrono::milliseconds>(deadline - now)));
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

void url_detail::startWorker() { Engine::instance(); }

void url_detail::startTransfer(std::shared_ptr<UrlTask::State> task, UrlRequest request) {
  Engine::instance().start(std::move(task), std::move(request));
}

void url_detail::cancelTransfer(std::shared_ptr<UrlTask::State> task) {
  Engine::instance().cancel(std::move(task));
}

void url_detail::resumeTransfer(std::shared_ptr<UrlTask::State> task) {
  Engine::instance().resume(std::move(task));
}

}  // namespace tessra::platform
