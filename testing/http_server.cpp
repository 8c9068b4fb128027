#include "testing/http_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <stdexcept>

#include "platform/foundation/unique_fd.h"

namespace tessra::testing {

namespace {

using Clock = std::chrono::steady_clock;

// Where a multipart request's own "Content-Type" waits while the library reads its body.
constexpr const char* kMultipartTypeHeader = "X-Recorded-Multipart-Content-Type";

int portOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  }
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  }
  return -1;
}

// The descriptor of this process's socket that is connected from `remotePort` to `localPort`.
// The server library does not hand the connection to its handlers; the socket is needed to
// notice a client that hangs up while the script pauses. -1 when none is found.
int findConnectionSocket(int localPort, int remotePort) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    const std::string name = entry.path().filename().string();
    int fd = -1;
    if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc()) continue;
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) continue;
    if (portOf(local) != localPort) continue;
    sockaddr_storage peer{};
    length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) continue;
    if (portOf(peer) == remotePort) return fd;
  }
  return -1;
}

enum class WaitResult { elapsed, clientClosed, serverStopped };

// Waits `duration`, ending early when the client hangs up or the server stops.
WaitResult pause(int connection, int stopSignal, std::chrono::milliseconds duration) {
  const auto deadline = Clock::now() + duration;
  for (;;) {
    pollfd fds[2] = {{stopSignal, POLLIN, 0}, {connection, POLLRDHUP, 0}};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int ready =
        ::poll(fds, connection >= 0 ? 2 : 1, static_cast<int>(std::max<long>(left, 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (fds[0].revents & POLLIN) return WaitResult::serverStopped;
    if (fds[1].revents & (POLLRDHUP | POLLHUP | POLLERR)) return WaitResult::clientClosed;
    if (Clock::now() >= deadline) return WaitResult::elapsed;
  }
}

ScriptedResponse notFound() { return ScriptedResponse::text(404, "Not Found"); }

}  // namespace

class HttpServer::Impl {
 public:
  httplib::Server server;
  std::thread listener;
  std::atomic<bool> listenerDone{false};
  std::atomic<bool> stopped{false};
  // Readable once the server stops; every pause watches it.
  platform::UniqueFd stopSignal{::eventfd(0, EFD_CLOEXEC)};
};

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key.size() == name.size() && ::strncasecmp(key.data(), name.data(), name.size()) == 0) {
      return value;
    }
  }
  return std::nullopt;
}

std::vector<Piece> splitEvery(std::string_view text, std::size_t size,
                              std::chrono::milliseconds delay) {
  std::vector<Piece> pieces;
  if (size == 0) size = 1;
  for (std::size_t at = 0; at < text.size(); at += size) {
    pieces.push_back({std::string(text.substr(at, size)), delay});
  }
  return pieces;
}

std::vector<Piece> splitAt(std::string_view text, const std::vector<std::size_t>& offsets,
                           std::chrono::milliseconds delay) {
  std::vector<Piece> pieces;
  std::size_t start = 0;
  for (std::size_t offset : offsets) {
    offset = std::min(offset, text.size());
    if (offset <= start) continue;
    pieces.push_back({std::string(text.substr(start, offset - start)), delay});
    start = offset;
  }
  if (start < text.size()) pieces.push_back({std::string(text.substr(start)), delay});
  return pieces;
}

ScriptedResponse ScriptedResponse::text(int status, std::string body, std::string contentType) {
  ScriptedResponse response;
  response.status = status;
  response.body = std::move(body);
  response.contentType = std::move(contentType);
  return response;
}

ScriptedResponse ScriptedResponse::json(int status, std::string body) {
  return text(status, std::move(body), "application/json");
}

ScriptedResponse ScriptedResponse::streamed(std::vector<Piece> pieces, std::string contentType) {
  ScriptedResponse response;
  response.kind = Kind::streamed;
  response.pieces = std::move(pieces);
  response.contentType = std::move(contentType);
  return response;
}

ScriptedResponse ScriptedResponse::stall(std::string prefix, std::chrono::milliseconds limit,
                                         std::string contentType) {
  ScriptedResponse response;
  response.kind = Kind::stall;
  if (!prefix.empty()) response.pieces.push_back({std::move(prefix), 0ms});
  response.stallLimit = limit;
  response.contentType = std::move(contentType);
  return response;
}

ScriptedResponse ScriptedResponse::drop(std::string prefix, std::string contentType) {
  ScriptedResponse response;
  response.kind = Kind::drop;
  if (!prefix.empty()) response.pieces.push_back({std::move(prefix), 0ms});
  response.contentType = std::move(contentType);
  return response;
}

ScriptedResponse ScriptedResponse::endless(std::vector<Piece> pieces, std::string contentType) {
  ScriptedResponse response = streamed(std::move(pieces), std::move(contentType));
  response.kind = Kind::endless;
  return response;
}

ScriptedResponse ScriptedResponse::hangUp() {
  ScriptedResponse response;
  response.kind = Kind::hangUp;
  return response;
}

ScriptedResponse& ScriptedResponse::withStatus(int code) {
  status = code;
  return *this;
}

ScriptedResponse& ScriptedResponse::withHeader(std::string name, std::string value) {
  headers.emplace_back(std::move(name), std::move(value));
  return *this;
}

HttpServer::HttpServer(std::size_t workerThreads, Connections connections)
    : m_impl(std::make_unique<Impl>()) {
  // A client that hangs up turns the server's next write into SIGPIPE, which would end the whole
  // test process; the failed write is what the server reports instead.
  static std::once_flag ignorePipe;
  std::call_once(ignorePipe, [] { ::signal(SIGPIPE, SIG_IGN); });

  if (m_impl->stopSignal.get() < 0) throw std::runtime_error("HttpServer: eventfd failed");
  auto& server = m_impl->server;
  // The library owns the queue it is handed.
  server.new_task_queue = [workerThreads] {
    return std::make_unique<httplib::ThreadPool>(std::max<std::size_t>(workerThreads, 1)).release();
  };
  server.set_keep_alive_max_count(connections == Connections::keepAlive ? 100 : 1);
  server.set_keep_alive_timeout(1);
  server.set_tcp_nodelay(true);
  // The library parses a multipart body into its parts and leaves the body empty; tests check
  // such bodies byte for byte, so the library is told it is opaque and the header is put back
  // when the request is recorded.
  server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
    auto& headers = const_cast<httplib::Request&>(request).headers;
    const auto type = headers.find("Content-Type");
    if (type != headers.end() && type->second.starts_with("multipart/form-data")) {
      headers.emplace(kMultipartTypeHeader, type->second);
      headers.erase(type);
      headers.emplace("Content-Type", "application/octet-stream");
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  auto serve = [this](const httplib::Request& request, httplib::Response& response) {
    RecordedRequest recorded;
    recorded.method = request.method;
    const auto question = request.target.find('?');
    recorded.path = request.target.substr(0, question);
    if (question != std::string::npos) recorded.query = request.target.substr(question + 1);
    const bool multipart = request.has_header(kMultipartTypeHeader);
    for (const auto& [name, value] : request.headers) {
      if (multipart && name == "Content-Type") continue;
      recorded.headers.emplace_back(name == kMultipartTypeHeader ? "Content-Type" : name, value);
    }
    recorded.body = request.body;
    // Scripted bodies must reach the client byte for byte and piece by piece, so the library
    // must not compress (and buffer) them; it decides from this header after the handler.
    const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");

    Handler handler = handlerFor(recorded.method, recorded.path);
    record(recorded);
    ScriptedResponse answer = handler ? handler(recorded) : notFound();

    response.status = answer.status;
    for (const auto& [name, value] : answer.headers) response.set_header(name, value);
    if (answer.kind == ScriptedResponse::Kind::whole) {
      response.set_content(answer.body, answer.contentType);
      return;
    }
    const int connection = findConnectionSocket(request.local_port, request.remote_port);
    if (answer.kind == ScriptedResponse::Kind::hangUp) {
      // The library's own answer then goes nowhere, and the connection ends with it.
      if (connection >= 0) ::shutdown(connection, SHUT_RDWR);
      recordStreamEnd({recorded.path, StreamEnd::Outcome::dropped, 0});
      return;
    }
    auto script = std::make_shared<ScriptedResponse>(std::move(answer));
    const std::string contentType = script->contentType;
    response.set_chunked_content_provider(
        contentType,
        [this, script, connection, path = recorded.path](std::size_t, httplib::DataSink& sink) {
          const int stopSignal = m_impl->stopSignal.get();
          StreamEnd end{path, StreamEnd::Outcome::finished, 0};
          auto lastWrite = Clock::now();
          const auto paced = [&] {
            const auto now = Clock::now();
            end.longestPause =
                std::max(end.longestPause,
                         std::chrono::duration_cast<std::chrono::milliseconds>(now - lastWrite));
            lastWrite = now;
          };
          auto finish = [&](StreamEnd::Outcome outcome, bool keepGoing) {
            paced();
            end.outcome = outcome;
            recordStreamEnd(end);
            return keepGoing;
          };
          const bool endless = script->kind == ScriptedResponse::Kind::endless &&
                               std::ranges::any_of(script->pieces, [](const Piece& piece) {
                                 return !piece.bytes.empty();
                               });
          do {
            for (const Piece& piece : script->pieces) {
              if (piece.delay > 0ms) {
                const WaitResult waited = pause(connection, stopSignal, piece.delay);
                if (waited == WaitResult::clientClosed) {
                  return finish(StreamEnd::Outcome::closedByClient, false);
                }
                if (waited == WaitResult::serverStopped) {
                  return finish(StreamEnd::Outcome::serverStopped, false);
                }
              } else if (m_impl->stopped) {
                return finish(StreamEnd::Outcome::serverStopped, false);
              }
              // An empty chunk would end the body early.
              if (piece.bytes.empty()) continue;
              paced();
              if (!sink.write(piece.bytes.data(), piece.bytes.size())) {
                return finish(StreamEnd::Outcome::closedByClient, false);
              }
              end.bytesWritten += piece.bytes.size();
            }
          } while (endless);
          switch (script->kind) {
            case ScriptedResponse::Kind::drop:
              return finish(StreamEnd::Outcome::dropped, false);
            case ScriptedResponse::Kind::stall:
              switch (pause(connection, stopSignal, script->stallLimit)) {
                case WaitResult::clientClosed:
                  return finish(StreamEnd::Outcome::closedByClient, false);
                case WaitResult::serverStopped:
                  return finish(StreamEnd::Outcome::serverStopped, false);
                case WaitResult::elapsed:
                  sink.done();
                  return finish(StreamEnd::Outcome::stallEnded, true);
              }
              break;
            case ScriptedResponse::Kind::whole:
            case ScriptedResponse::Kind::streamed:
            case ScriptedResponse::Kind::endless:
            case ScriptedResponse::Kind::hangUp:
              break;
          }
          sink.done();
          return finish(StreamEnd::Outcome::finished, true);
        });
  };
  server.Get(".*", serve);
  server.Post(".*", serve);
  server.Put(".*", serve);
  server.Patch(".*", serve);
  server.Delete(".*", serve);
  server.Options(".*", serve);

  // The library listens with a backlog of five. Connections made at once past what its loop has
  // accepted are dropped, and the client tries each again a second later, then two, then four: a
  // busy machine turns a burst of requests into many seconds. Listening again deepens it.
  int listening = -1;
  server.set_socket_options([&listening](socket_t socket) {
    httplib::default_socket_options(socket);
    listening = socket;
  });
  m_port = server.bind_to_any_port("127.0.0.1");
  if (m_port <= 0) throw std::runtime_error("HttpServer: cannot bind a port on 127.0.0.1");
  if (::listen(listening, SOMAXCONN) != 0)
    throw std::runtime_error("HttpServer: cannot deepen the listening socket's backlog");
  m_baseUrl = "http://127.0.0.1:" + std::to_string(m_port);
  // The socket already listens: connections wait in its backlog until the loop accepts them.
  m_impl->listener = std::thread([impl = m_impl.get()] {
    impl->server.listen_after_bind();
    impl->listenerDone = true;
  });
}

HttpServer::~HttpServer() { stop(); }

void HttpServer::stop() {
  if (m_impl->stopped.exchange(true)) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(m_impl->stopSignal.get(), &one, sizeof one);
  // The library ignores a stop that comes before its accept loop has started.
  while (!m_impl->server.is_running() && !m_impl->listenerDone) std::this_thread::yield();
  m_impl->server.stop();
  if (m_impl->listener.joinable()) m_impl->listener.join();
}

std::string HttpServer::url(std::string_view path) const { return m_baseUrl + std::string(path); }

void HttpServer::route(const std::string& method, const std::string& path,
                       ScriptedResponse response) {
  route(method, path, [response](const RecordedRequest&) { return response; });
}

void HttpServer::route(const std::string& method, const std::string& path, Handler handler) {
  std::lock_guard lock(m_mutex);
  m_routes[{method, path}] = std::move(handler);
}

void HttpServer::setDefault(ScriptedResponse response) {
  setDefault([response](const RecordedRequest&) { return response; });
}

void HttpServer::setDefault(Handler handler) {
  std::lock_guard lock(m_mutex);
  m_default = std::move(handler);
}

HttpServer::Handler HttpServer::handlerFor(const std::string& method,
                                           const std::string& path) const {
  std::lock_guard lock(m_mutex);
  if (auto found = m_routes.find({method, path}); found != m_routes.end()) return found->second;
  return m_default;
}

void HttpServer::record(RecordedRequest request) {
  {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(std::move(request));
  }
  m_changed.notify_all();
}

void HttpServer::recordStreamEnd(StreamEnd end) {
  {
    std::lock_guard lock(m_mutex);
    m_streamEnds.push_back(std::move(end));
  }
  m_changed.notify_all();
}

std::vector<RecordedRequest> HttpServer::requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::size_t HttpServer::requestCount() const {
  std::lock_guard lock(m_mutex);
  return m_requests.size();
}

std::optional<RecordedRequest> HttpServer::waitForRequest(std::size_t index,
                                                          std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  if (!m_changed.wait_for(lock, timeout, [&] { return m_requests.size() > index; })) {
    return std::nullopt;
  }
  return m_requests[index];
}

std::vector<StreamEnd> HttpServer::streamEnds() const {
  std::lock_guard lock(m_mutex);
  return m_streamEnds;
}

std::optional<StreamEnd> HttpServer::waitForStreamEnd(std::size_t index,
                                                      std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  if (!m_changed.wait_for(lock, timeout, [&] { return m_streamEnds.size() > index; })) {
    return std::nullopt;
  }
  return m_streamEnds[index];
}

bool HttpServer::waitForClientClose(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] {
    return std::any_of(m_streamEnds.begin(), m_streamEnds.end(), [](const StreamEnd& end) {
      return end.outcome == StreamEnd::Outcome::closedByClient;
    });
  });
}

}  // namespace tessra::testing
