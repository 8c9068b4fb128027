// A real HTTP/1.1 server on 127.0.0.1 for tests of code that talks to a web service.
//
// It listens on a free port from its constructor until `stop()` or its destructor, answers every
// request from a script, and records what it was sent. A test scripts answers per method and path
// (and a default for everything else): a whole body, a body streamed in chosen pieces with chosen
// pauses (server-sent events cut at awkward places), a body that never ends (its pieces again and
// again), a stall (headers and some bytes, then silence), a drop (some bytes, then the connection
// is closed before the body is complete), a hang-up (the connection closed before any answer), or
// a handler that builds the answer from the request.
//
//   testing::HttpServer server;
//   server.route("POST", "/v1/chat/completions",
//                ScriptedResponse::streamed(splitEvery("data: {}\n\n", 3, 10ms)));
//   ... point the client at server.baseUrl() ...
//   auto request = server.waitForRequest(0);
//   EXPECT_EQ(request->header("Authorization"), "Bearer key");
//
// Threads: the script and the records are guarded by the server's mutex; handlers run on the
// server's worker threads. Unless the server is made to keep connections alive, every answer is
// closed after it is sent, so that stopping never waits for an idle connection. Bodies go out
// exactly as scripted, never compressed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace tessra::testing {

using namespace std::chrono_literals;

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as the server received it.
struct RecordedRequest {
  std::string method;
  std::string path;
  // The raw text after "?" in the request target; "" when there is none.
  std::string query;
  HeaderList headers;
  std::string body;

  // The first value of the header, looked up without regard to case.
  std::optional<std::string> header(std::string_view name) const;
};

// One piece of a streamed answer: the server waits `delay`, then writes `bytes` in one write.
struct Piece {
  std::string bytes;
  std::chrono::milliseconds delay{0};
};

// The text cut into pieces of `size` bytes (the last may be shorter), each after `delay`.
std::vector<Piece> splitEvery(std::string_view text, std::size_t size,
                              std::chrono::milliseconds delay = 0ms);
// The text cut at the given byte offsets (ascending), each piece after `delay`.
std::vector<Piece> splitAt(std::string_view text, const std::vector<std::size_t>& offsets,
                           std::chrono::milliseconds delay = 0ms);

// A scripted answer.
struct ScriptedResponse {
  enum class Kind {
    // `body` with a Content-Length.
    whole,
    // `pieces` in chunked transfer encoding, then the end of the body.
    streamed,
    // `pieces`, then nothing until the client closes, the server stops or `stallLimit` passes;
    // then the body ends.
    stall,
    // `pieces`, then the connection is closed without ending the chunked body.
    drop,
    // `pieces` again and again, until the client closes the connection or the server stops.
    endless,
    // Nothing: the connection is closed as soon as the request has been read, as a peer that
    // drops an idle kept-alive connection does.
    hangUp,
  };

  Kind kind = Kind::whole;
  int status = 200;
  std::string contentType = "text/plain";
  HeaderList headers;
  std::string body;
  std::vector<Piece> pieces;
  std::chrono::milliseconds stallLimit = 30s;

  static ScriptedResponse text(int status, std::string body,
                               std::string contentType = "text/plain");
  static ScriptedResponse json(int status, std::string body);
  static ScriptedResponse streamed(std::vector<Piece> pieces,
                                   std::string contentType = "text/event-stream");
  static ScriptedResponse stall(std::string prefix, std::chrono::milliseconds limit = 30s,
                                std::string contentType = "text/event-stream");
  static ScriptedResponse drop(std::string prefix, std::string contentType = "text/event-stream");
  static ScriptedResponse endless(std::vector<Piece> pieces,
                                  std::string contentType = "text/event-stream");
  static ScriptedResponse hangUp();

  ScriptedResponse& withStatus(int code);
  ScriptedResponse& withHeader(std::string name, std::string value);
};

// How the server's side of one streamed, stalled or dropped answer ended.
struct StreamEnd {
  enum class Outcome {
    // Every piece was written and the body ended.
    finished,
    // The client closed the connection before the answer ended.
    closedByClient,
    // The script dropped the connection, or hung up before answering.
    dropped,
    // A stall reached its limit and the body ended.
    stallEnded,
    // The server stopped while the answer was still being written.
    serverStopped,
  };

  std::string path;
  Outcome outcome = Outcome::finished;
  std::size_t bytesWritten = 0;
  // The longest stretch without a write, from the start of the body to its end: the script's
  // pauses as the server's thread kept them, longer where a loaded machine held the thread back.
  std::chrono::milliseconds longestPause{0};
};

class HttpServer {
 public:
  // Builds the answer for one request; runs on a server worker thread.
  using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;

  enum class Connections {
    // Each connection carries one request and its answer.
    closeAfterAnswer,
    // A connection stays open for the client's next request (for a second at most when idle).
    keepAlive,
  };

  // `workerThreads` bounds how many connections are served at once.
  explicit HttpServer(std::size_t workerThreads = 16,
                      Connections connections = Connections::closeAfterAnswer);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // The answer to requests with this method and path (the query is not part of the match);
  // a later route for the same pair replaces the earlier one.
  void route(const std::string& method, const std::string& path, ScriptedResponse response);
  void route(const std::string& method, const std::string& path, Handler handler);
  // The answer to requests no route matches; 404 "Not Found" until set.
  void setDefault(ScriptedResponse response);
  void setDefault(Handler handler);

  // "http://127.0.0.1:<port>".
  const std::string& baseUrl() const { return m_baseUrl; }
  // The base URL followed by `path`.
  std::string url(std::string_view path) const;
  int port() const { return m_port; }

  // Stops listening, ends stalls and pauses at once, and waits for the worker threads. Safe to
  // call more than once; the destructor calls it.
  void stop();

  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount() const;
  // The waits below are only nets for what never comes: on a loaded machine the server's threads
  // and the client's wait for a core at every step, a loopback exchange then takes seconds.
  //
  // The request at `index` (from 0, in the order the server finished reading them), waiting up
  // to `timeout` for it to arrive.
  std::optional<RecordedRequest> waitForRequest(std::size_t index,
                                                std::chrono::milliseconds timeout = 30s) const;

  std::vector<StreamEnd> streamEnds() const;
  // The end of the streamed answer (or hang-up) at `index` (in the order they ended), waiting up
  // to `timeout`.
  std::optional<StreamEnd> waitForStreamEnd(std::size_t index,
                                            std::chrono::milliseconds timeout = 30s) const;
  // True once some streamed answer saw its client close the connection; waits up to `timeout`.
  bool waitForClientClose(std::chrono::milliseconds timeout = 30s) const;

 private:
  class Impl;

  Handler handlerFor(const std::string& method, const std::string& path) const;
  void record(RecordedRequest request);
  void recordStreamEnd(StreamEnd end);

  std::unique_ptr<Impl> m_impl;
  std::string m_baseUrl;
  int m_port = 0;

  // Guards the script and the records below.
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::map<std::pair<std::string, std::string>, Handler> m_routes;
  Handler m_default;
  std::vector<RecordedRequest> m_requests;
  std::vector<StreamEnd> m_streamEnds;
};

}  // namespace tessra::testing
