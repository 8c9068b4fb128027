#include "platform/foundation/url_session.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/foundation/queue.h"
#include "platform/foundation/unique_fd.h"
#include "testing/counter.h"
#include "testing/http_server.h"
#include "testing/memory_ceiling.h"

namespace tessra::platform {
namespace {

using namespace std::chrono_literals;
using testing::HttpServer;
using testing::Piece;
using testing::ScriptedResponse;
using testing::splitAt;
using testing::splitEvery;
using testing::StreamEnd;

// Only a safety net for work that finishes: a body cut into a hundred paced pieces takes seconds
// on a loaded machine, where every pause of the server waits for a core again.
constexpr auto kDeadline = 60s;

UrlError::Code errorCode(const ErrorPtr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const UrlError& urlError) {
    return urlError.code();
  } catch (const std::exception& other) {
    ADD_FAILURE() << "not a UrlError: " << other.what();
  }
  return UrlError::Code::other;
}

Result<UrlData> fetch(UrlSession& session, UrlRequest request) {
  auto promise = std::make_shared<std::promise<Result<UrlData>>>();
  auto future = promise->get_future();
  session
      .dataTask(std::move(request),
                [promise](Result<UrlData> result) { promise->set_value(std::move(result)); })
      .resume();
  if (future.wait_for(kDeadline) != std::future_status::ready) {
    ADD_FAILURE() << "no completion";
    return std::unexpected(std::make_exception_ptr(TextError("no completion")));
  }
  return future.get();
}

// Everything a stream delegate was told, in order, with the thread rules checked on the way.
class StreamLog {
 public:
  explicit StreamLog(UrlSession& session) : m_session(session) {}

  StreamDelegate delegate() {
    return {
        .onResponse = [this](const UrlResponse& head) { note([&] { m_head = head; }); },
        .onData =
            [this](std::string_view bytes) {
              note([&] {
                if (!m_head) m_dataBeforeHead = true;
                if (bytes.empty()) m_emptyChunk = true;
                m_body.append(bytes);
                ++m_chunks;
              });
            },
        .onComplete =
            [this](Result<UrlResponse> end) {
              note([&] {
                ++m_completions;
                m_end = std::move(end);
              });
            },
    };
  }

  bool waitForEnd() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kDeadline, [&] { return m_completions > 0; });
  }
  bool waitForBytes(std::size_t count) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kDeadline, [&] { return m_body.size() >= count; });
  }

  // Marks the moment after which no callback may run.
  void silence() { m_silenced = true; }

  std::string body() const {
    std::lock_guard lock(m_mutex);
    return m_body;
  }
  std::optional<UrlResponse> head() const {
    std::lock_guard lock(m_mutex);
    return m_head;
  }
  std::optional<Result<UrlResponse>> end() const {
    std::lock_guard lock(m_mutex);
    return m_end;
  }
  int completions() const {
    std::lock_guard lock(m_mutex);
    return m_completions;
  }
  int chunks() const {
    std::lock_guard lock(m_mutex);
    return m_chunks;
  }
  int lateCallbacks() const { return m_late; }
  int offQueueCallbacks() const { return m_offQueue; }
  bool dataBeforeHead() const { return m_dataBeforeHead; }
  bool emptyChunk() const { return m_emptyChunk; }

 private:
  template <class Change>
  void note(Change&& change) {
    if (m_silenced) ++m_late;
    if (!m_session.delegateQueue().isCurrent()) ++m_offQueue;
    // Notified under the lock: the test may destroy the log as soon as it sees the change.
    std::lock_guard lock(m_mutex);
    change();
    m_changed.notify_all();
  }

  UrlSession& m_session;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::optional<UrlResponse> m_head;
  std::string m_body;
  int m_chunks = 0;
  int m_completions = 0;
  std::optional<Result<UrlResponse>> m_end;
  std::atomic<bool> m_silenced{false};
  std::atomic<int> m_late{0};
  std::atomic<int> m_offQueue{0};
  std::atomic<bool> m_dataBeforeHead{false};
  std::atomic<bool> m_emptyChunk{false};
};

// Waits until every job handed to the session's queue so far has run.
void flush(UrlSession& session) {
  session.delegateQueue().sync([] {});
}

TEST(UrlSessionTest, RequestsCarryMethodHeadersAndBodyAndAnswersComeBackWhole) {
  HttpServer server;
  server.setDefault([](const testing::RecordedRequest& request) {
    return ScriptedResponse::text(201, "echo:" + request.body, "application/octet-stream")
        .withHeader("X-Reply", "yes")
        .withHeader("Set-Cookie", "a=1")
        .withHeader("Set-Cookie", "b=2");
  });
  const std::string binary("{\"a\":\"x\\/y\"}\0\xff\xfe", 15);
  struct Case {
    std::string method;
    std::string body;
  };
  const Case cases[] = {{"GET", ""},    {"POST", binary}, {"PUT", "put body"},
                        {"DELETE", ""}, {"PATCH", "p"},   {"POST", ""}};
  UrlSession session;
  std::size_t index = 0;
  for (const Case& item : cases) {
    SCOPED_TRACE(item.method + " with " + std::to_string(item.body.size()) + " bytes");
    UrlRequest request{.method = item.method, .url = server.url("/v1/things?a=1&b=two")};
    request.setHeader("Content-Type", "application/json");
    request.setHeader("content-type", "application/json");
    request.addHeader("X-Tag", "one");
    request.addHeader("X-Tag", "two");
    request.setHeader("Authorization", "Bearer key");
    request.body = toBytes(item.body);
    const auto result = fetch(session, request);
    ASSERT_TRUE(result.has_value()) << describe(result.error());
    EXPECT_EQ(result->response.statusCode, 201);
    EXPECT_EQ(result->response.header("x-reply"), "yes");
    EXPECT_EQ(result->response.header("SET-COOKIE"), "a=1, b=2");
    EXPECT_EQ(result->response.header("Missing"), std::nullopt);
    EXPECT_EQ(result->response.url, request.url);
    EXPECT_EQ(toString(result->body), "echo:" + item.body);

    const auto seen = server.waitForRequest(index++);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->method, item.method);
    EXPECT_EQ(seen->path, "/v1/things");
    EXPECT_EQ(seen->query, "a=1&b=two");
    EXPECT_EQ(seen->body, item.body);
    EXPECT_EQ(seen->header("Content-Type"), "application/json");
    EXPECT_EQ(seen->header("Authorization"), "Bearer key");
    EXPECT_EQ(seen->header("Expect"), std::nullopt);
    int tags = 0;
    for (const auto& [name, value] : seen->headers) tags += name == "X-Tag";
    EXPECT_EQ(tags, 2);
  }
}

TEST(UrlSessionTest, ErrorStatusesAreAnswersWithTheirBody) {
  HttpServer server;
  server.route("GET", "/boom", ScriptedResponse::text(500, "<html>oops</html>", "text/html"));
  server.route("GET", "/moved",
               ScriptedResponse::text(302, "see elsewhere").withHeader("Location", "/target"));
  server.route("GET", "/target", ScriptedResponse::text(200, "arrived"));
  struct Case {
    std::string path;
    bool follow;
    int status;
    std::string body;
    std::string finalPath;
  };
  const Case cases[] = {
      {"/boom", false, 500, "<html>oops</html>", "/boom"},
      {"/nowhere", false, 404, "Not Found", "/nowhere"},
      {"/moved", false, 302, "see elsewhere", "/moved"},
      {"/moved", true, 200, "arrived", "/target"},
  };
  UrlSession session;
  for (const Case& item : cases) {
    SCOPED_TRACE(item.path);
    UrlRequest request{.url = server.url(item.path), .followRedirects = item.follow};
    const auto result = fetch(session, request);
    ASSERT_TRUE(result.has_value()) << describe(result.error());
    EXPECT_EQ(result->response.statusCode, item.status);
    EXPECT_EQ(result->response.isSuccess(), item.status == 200);
    EXPECT_EQ(toString(result->body), item.body);
    EXPECT_EQ(result->response.url, server.url(item.finalPath));
  }
}

TEST(UrlSessionTest, StreamedBodiesArriveInOrderByteForByte) {
  // Events with multi-byte characters, cut inside lines, inside characters and between events.
  const std::string events =
      "data: {\"text\":\"h\xc3\xa9llo\"}\n\n"
      ": comment\n\n"
      "data: {\"text\":\"\xf0\x9f\x98\x80 w\xe2\x82\xacrld\"}\n\n"
      "data: [DONE]\n\n";
  const std::size_t insideEAcute = events.find("\xc3\xa9") + 1;
  const std::size_t insideEmoji = events.find("\xf0\x9f") + 2;
  struct Case {
    std::string name;
    std::vector<Piece> pieces;
  };
  const Case cases[] = {
      {"whole", {{events, 0ms}}},
      {"inside characters", splitAt(events, {insideEAcute, insideEmoji, insideEmoji + 1}, 5ms)},
      {"one byte at a time", splitEvery(events, 1, 1ms)},
      {"three bytes at a time", splitEvery(events, 3)},
  };
  UrlSession session;
  for (const Case& item : cases) {
    SCOPED_TRACE(item.name);
    HttpServer server;
    server.route("POST", "/stream",
                 ScriptedResponse::streamed(item.pieces).withHeader("X-Stream", "1"));
    StreamLog log(session);
    session.streamTask({.method = "POST", .url = server.url("/stream")}, log.delegate()).resume();
    ASSERT_TRUE(log.waitForEnd());
    flush(session);
    EXPECT_EQ(log.body(), events);
    EXPECT_EQ(log.completions(), 1);
    ASSERT_TRUE(log.end()->has_value()) << describe(log.end()->error());
    EXPECT_EQ(log.end()->value().statusCode, 200);
    ASSERT_TRUE(log.head());
    EXPECT_EQ(log.head()->header("Content-Type"), "text/event-stream");
    EXPECT_EQ(log.head()->header("x-stream"), "1");
    EXPECT_FALSE(log.dataBeforeHead());
    EXPECT_FALSE(log.emptyChunk());
    EXPECT_EQ(log.offQueueCallbacks(), 0);
    EXPECT_EQ(server.waitForStreamEnd(0)->outcome, StreamEnd::Outcome::finished);
  }
}

TEST(UrlSessionTest, AnErrorStatusOnAStreamReachesTheDelegateAsAnAnswer) {
  HttpServer server;
  const std::string envelope = R"({"error":{"message":"Incorrect API key","type":"invalid"}})";
  server.route("POST", "/stream", ScriptedResponse::json(401, envelope));
  UrlSession session;
  StreamLog log(session);
  session.streamTask({.method = "POST", .url = server.url("/stream")}, log.delegate()).resume();
  ASSERT_TRUE(log.waitForEnd());
  ASSERT_TRUE(log.end()->has_value());
  EXPECT_EQ(log.head()->statusCode, 401);
  EXPECT_EQ(log.end()->value().statusCode, 401);
  EXPECT_EQ(log.body(), envelope);
}

TEST(UrlSessionTest, SilenceLongerThanTheIdleTimeoutFailsAsTimedOut) {
  HttpServer server;
  server.route("GET", "/stall", ScriptedResponse::stall("data: partial", 20s));
  UrlSession session;

  StreamLog log(session);
  // Counted from the start of the transfer: far longer than a loaded machine takes to bring the
  // bytes that come before the silence.
  session.streamTask({.url = server.url("/stall"), .idleTimeout = 2s}, log.delegate()).resume();
  ASSERT_TRUE(log.waitForEnd());
  ASSERT_FALSE(log.end()->has_value());
  EXPECT_EQ(errorCode(log.end()->error()), UrlError::Code::timedOut);
  EXPECT_STREQ(UrlError::message(UrlError::Code::timedOut), "The request timed out.");
  EXPECT_EQ(log.body(), "data: partial");
  // The transfer is abandoned, not left open.
  EXPECT_TRUE(server.waitForClientClose());

  const auto whole = fetch(session, {.url = server.url("/stall"), .idleTimeout = 300ms});
  ASSERT_FALSE(whole.has_value());
  EXPECT_EQ(errorCode(whole.error()), UrlError::Code::timedOut);
}

TEST(UrlSessionTest, ASteadyStreamLongerThanTheIdleTimeoutSucceeds) {
  // Far longer than a loaded machine keeps the server's thread from its next write, or from its
  // first: the transfer is idle until then too.
  constexpr auto kIdleTimeout = 3s;
  HttpServer server;
  std::string text;
  for (int i = 0; i < 12; ++i) text += "data: " + std::to_string(i) + "\n\n";
  // About 4.2 s in all, never more than 300 ms between bytes.
  server.route("GET", "/slow", ScriptedResponse::streamed(splitEvery(text, 8, 300ms)));
  UrlSession session;
  // Steady only while the server's thread keeps its pauses: a run in which a loaded machine held
  // it back for the idle timeout proves nothing, and runs again.
  constexpr std::size_t kRuns = 3;
  for (std::size_t run = 0; run < kRuns; ++run) {
    StreamLog log(session);
    session.streamTask({.url = server.url("/slow"), .idleTimeout = kIdleTimeout}, log.delegate())
        .resume();
    ASSERT_TRUE(log.waitForEnd());
    const std::optional<StreamEnd> served = server.waitForStreamEnd(run);
    ASSERT_TRUE(served.has_value());
    if (served->longestPause >= kIdleTimeout && run + 1 < kRuns) continue;
    ASSERT_LT(served->longestPause, kIdleTimeout)
        << "in none of " << kRuns << " runs did the server keep its pace";
    ASSERT_TRUE(log.end()->has_value()) << describe(log.end()->error());
    EXPECT_EQ(log.body(), text);
    return;
  }
}

TEST(UrlSessionTest, ABodyPastTheRequestsBoundFailsAsTooLarge) {
  constexpr std::size_t kBound = 256 * 1024;
  HttpServer server;
  const std::vector<Piece> endless = {{std::string(64 * 1024, 'x'), 0ms}};
  server.route("GET", "/endless", ScriptedResponse::endless(endless, "application/json"));
  server.route("GET", "/declared", ScriptedResponse::text(200, std::string(kBound + 1, 'x')));
  server.route("GET", "/fits", ScriptedResponse::text(200, std::string(kBound, 'x')));
  testing::MemoryCeiling ceiling(64 << 20);
  UrlSession session;

  for (const char* path : {"/endless", "/declared"}) {
    const auto whole = fetch(session, {.url = server.url(path), .maximumBodySize = kBound});
    ASSERT_FALSE(whole.has_value()) << path;
    EXPECT_EQ(errorCode(whole.error()), UrlError::Code::tooLarge) << path;
  }
  EXPECT_STREQ(UrlError::message(UrlError::Code::tooLarge),
               "The server sent more data than this request accepts.");

  StreamLog log(session);
  session.streamTask({.url = server.url("/endless"), .maximumBodySize = kBound}, log.delegate())
      .resume();
  ASSERT_TRUE(log.waitForEnd());
  ASSERT_FALSE(log.end()->has_value());
  EXPECT_EQ(errorCode(log.end()->error()), UrlError::Code::tooLarge);
  EXPECT_LE(log.body().size(), kBound);
  EXPECT_TRUE(server.waitForClientClose());

  const auto fits = fetch(session, {.url = server.url("/fits"), .maximumBodySize = kBound});
  ASSERT_TRUE(fits.has_value()) << describe(fits.error());
  EXPECT_EQ(fits->body.size(), kBound);
}

TEST(UrlSessionTest, ADelegateThatFallsBehindHoldsTheStreamBackWithoutTimingOut) {
  HttpServer server;
  server.route("GET", "/endless", ScriptedResponse::endless({{std::string(64 * 1024, 'x'), 0ms}}));
  testing::MemoryCeiling ceiling(64 << 20);
  UrlSession session;
  // Far longer than a loaded machine keeps a thread waiting, so only the time the reader holds
  // the stream back could run it out; and the reader holds it back three times as long. (The
  // server gives up a write that waits five seconds.)
  constexpr auto kIdleTimeout = 1s;
  constexpr auto kHeldBack = 3 * kIdleTimeout;
  constexpr int kRead = 8 << 20;
  testing::Counter read;
  testing::Counter ended;
  std::atomic<std::size_t> largestBatch{0};
  std::atomic<bool> fellBehind{false};
  UrlTask task = session.streamTask(
      {.url = server.url("/endless"), .idleTimeout = kIdleTimeout, .maximumBodySize = 1 << 30},
      {.onData =
           [&](std::string_view bytes) {
             largestBatch = std::max(largestBatch.load(), bytes.size());
             read.add(static_cast<int>(bytes.size()));
             // The reader is busy elsewhere, as a page laying out a long answer is.
             if (!fellBehind.exchange(true)) std::this_thread::sleep_for(kHeldBack);
           },
       .onComplete = [&](Result<UrlResponse>) { ended.add(); }});
  task.resume();
  EXPECT_TRUE(read.waitForAtLeast(kRead, 30s));
  task.cancel();

  // What waits for the reader is about the stream's buffer: a packet more at most.
  EXPECT_LE(largestBatch.load(), kStreamBufferBytes + 256 * 1024);
  EXPECT_EQ(ended.value(), 0) << "held back is not idle";
  EXPECT_LT(ceiling.growth(), std::size_t{32} << 20);
  const auto end = server.waitForStreamEnd(0);
  ASSERT_TRUE(end);
  EXPECT_GE(end->longestPause, kIdleTimeout) << "the network never stood still that long";
}

TEST(UrlSessionTest, ADroppedConnectionIsLostNeverASuccess) {
  HttpServer server;
  server.route("GET", "/drop", ScriptedResponse::drop("data: {\"half\":"));
  UrlSession session;

  StreamLog log(session);
  session.streamTask({.url = server.url("/drop")}, log.delegate()).resume();
  ASSERT_TRUE(log.waitForEnd());
  ASSERT_FALSE(log.end()->has_value());
  EXPECT_EQ(errorCode(log.end()->error()), UrlError::Code::connectionLost);
  EXPECT_EQ(log.body(), "data: {\"half\":");

  const auto whole = fetch(session, {.url = server.url("/drop")});
  ASSERT_FALSE(whole.has_value());
  EXPECT_EQ(errorCode(whole.error()), UrlError::Code::connectionLost);
  EXPECT_EQ(server.waitForStreamEnd(1)->outcome, StreamEnd::Outcome::dropped);
}

TEST(UrlSessionTest, BadTargetsFailWithTheirCode) {
  // A bound socket that does not listen refuses connections, and keeps its port from others.
  const UniqueFd socketFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  ASSERT_TRUE(socketFd);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(socketFd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(socketFd.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string refused = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

  struct Case {
    std::string url;
    UrlError::Code code;
    std::string message;
  };
  const Case cases[] = {
      {refused, UrlError::Code::cannotConnect, "Could not connect to the server."},
      {"ftp://127.0.0.1/file", UrlError::Code::badURL, "The URL is not valid."},
      {"http://", UrlError::Code::badURL, "The URL is not valid."},
      {"http://bad host name/", UrlError::Code::badURL, "The URL is not valid."},
  };
  UrlSession session;
  for (const Case& item : cases) {
    SCOPED_TRACE(item.url);
    const auto result = fetch(session, {.url = item.url, .idleTimeout = 5s});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(errorCode(result.error()), item.code);
    EXPECT_EQ(describe(result.error()), item.message);
    // libcurl's own words travel as the cause.
    EXPECT_NE(debugDescribe(result.error()), item.message);
  }
}

// A TLS listener on 127.0.0.1 whose certificate is made here, for 127.0.0.1, and signed by no one
// the system trusts. It serves one connection: when the handshake succeeds it answers 200 "ok",
// which a client that checks certificates must never see.
class UntrustedTlsServer {
 public:
  UntrustedTlsServer() {
    // The client hangs up in the middle of the handshake; the server's next write must fail
    // with EPIPE rather than end the test process with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    m_key = EVP_EC_gen("prime256v1");
    m_certificate = X509_new();
    X509_set_version(m_certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(m_certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(m_certificate), -60);
    X509_gmtime_adj(X509_getm_notAfter(m_certificate), 3600);
    X509_set_pubkey(m_certificate, m_key);
    X509_NAME* name = X509_get_subject_name(m_certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(m_certificate, name);
    X509_sign(m_certificate, m_key, EVP_sha256());
    m_context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(m_context, m_certificate);
    SSL_CTX_use_PrivateKey(m_context, m_key);

    m_listener.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listener.get(), 4);
    socklen_t length = sizeof address;
    ::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
    m_url = "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/v1/models";
    m_thread = std::thread([this] { serveOne(); });
  }

  ~UntrustedTlsServer() {
    // Ends a pending accept.
    ::shutdown(m_listener.get(), SHUT_RDWR);
    m_thread.join();
    SSL_CTX_free(m_context);
    X509_free(m_certificate);
    EVP_PKEY_free(m_key);
  }

  bool ready() const { return m_key && m_certificate && m_context && m_listener; }
  const std::string& url() const { return m_url; }

 private:
  void serveOne() {
    const UniqueFd connection(::accept(m_listener.get(), nullptr, nullptr));
    if (!connection) return;
    SSL* tls = SSL_new(m_context);
    SSL_set_fd(tls, connection.get());
    if (SSL_accept(tls) == 1) {
      char request[4096];
      SSL_read(tls, request, sizeof request);
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
      SSL_write(tls, answer.data(), static_cast<int>(answer.size()));
      SSL_shutdown(tls);
    }
    SSL_free(tls);
  }

  EVP_PKEY* m_key = nullptr;
  X509* m_certificate = nullptr;
  SSL_CTX* m_context = nullptr;
  UniqueFd m_listener;
  std::string m_url;
  std::thread m_thread;
};

TEST(UrlSessionTest, AServerCertificateNoOneTrustsIsRefused) {
  UntrustedTlsServer server;
  ASSERT_TRUE(server.ready());
  UrlSession session;
  const auto result = fetch(session, {.url = server.url(), .idleTimeout = 5s});
  ASSERT_FALSE(result.has_value()) << "answered " << result->response.statusCode;
  EXPECT_EQ(errorCode(result.error()), UrlError::Code::tls);
  EXPECT_EQ(describe(result.error()), "A secure connection to the server cannot be made.");
}

TEST(UrlSessionTest, CancelMidStreamClosesTheConnectionAndSilencesTheTask) {
  HttpServer server;
  server.route("GET", "/long",
               ScriptedResponse::streamed(splitEvery(std::string(400, 'x'), 2, 20ms)));
  UrlSession session;
  StreamLog log(session);
  UrlTask task = session.streamTask({.url = server.url("/long")}, log.delegate());
  task.resume();
  ASSERT_TRUE(log.waitForBytes(2));
  task.cancel();
  log.silence();
  EXPECT_TRUE(task.isCancelled());
  EXPECT_TRUE(task.isFinished());

  const auto end = server.waitForStreamEnd(0);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->outcome, StreamEnd::Outcome::closedByClient);
  EXPECT_LT(end->bytesWritten, 400u);
  flush(session);
  EXPECT_EQ(log.lateCallbacks(), 0);
  EXPECT_EQ(log.completions(), 0);
  task.resume();  // A cancelled task stays cancelled.
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST(UrlSessionTest, CancelWaitsForTheRunningCallbackOfAnotherThread) {
  HttpServer server;
  server.route("GET", "/long",
               ScriptedResponse::streamed(splitEvery(std::string(100, 'y'), 1, 10ms)));
  UrlSession session;
  std::promise<void> entered;
  std::promise<void> release;
  auto released = release.get_future().share();
  std::atomic<bool> cancelReturned{false};
  std::atomic<bool> sawCancelReturnInsideCallback{false};
  std::atomic<int> calls{0};
  UrlTask task = session.streamTask({.url = server.url("/long")}, {.onData = [&](std::string_view) {
                                      if (calls++ > 0) return;
                                      entered.set_value();
                                      released.wait();
                                      sawCancelReturnInsideCallback = cancelReturned.load();
                                    }});
  task.resume();
  ASSERT_EQ(entered.get_future().wait_for(kDeadline), std::future_status::ready);
  std::thread canceller([&] {
    task.cancel();
    cancelReturned = true;
  });
  while (!task.isCancelled()) std::this_thread::yield();
  release.set_value();
  canceller.join();
  EXPECT_FALSE(sawCancelReturnInsideCallback);
  const int callsAtCancel = calls;
  EXPECT_TRUE(server.waitForClientClose());
  flush(session);
  EXPECT_EQ(calls, callsAtCancel);
}

TEST(UrlSessionTest, CancelFromInsideItsOwnCallbackEndsTheTask) {
  HttpServer server;
  server.route("GET", "/long",
               ScriptedResponse::streamed(splitEvery(std::string(200, 'z'), 1, 10ms)));
  UrlSession session;
  auto task = std::make_shared<UrlTask>();
  std::atomic<int> chunks{0};
  std::atomic<int> completions{0};
  *task = session.streamTask({.url = server.url("/long")},
                             {.onData =
                                  [&, task](std::string_view) {
                                    ++chunks;
                                    task->cancel();
                                  },
                              .onComplete = [&](Result<UrlResponse>) { ++completions; }});
  task->resume();
  EXPECT_TRUE(server.waitForClientClose());
  flush(session);
  EXPECT_EQ(chunks, 1);
  EXPECT_EQ(completions, 0);
}

TEST(UrlSessionTest, ACancelledTaskThatNeverStartedSendsNothing) {
  HttpServer server;
  server.setDefault(ScriptedResponse::text(200, "ok"));
  UrlSession session;
  std::atomic<int> completions{0};
  UrlTask never =
      session.dataTask({.url = server.url("/never")}, [&](Result<UrlData>) { ++completions; });
  never.cancel();
  never.resume();
  ASSERT_TRUE(fetch(session, {.url = server.url("/after")}).has_value());
  const auto request = server.waitForRequest(0);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->path, "/after");
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(completions, 0);
}

TEST(UrlSessionTest, ManyConcurrentRequestsEachGetTheirOwnAnswer) {
  HttpServer server(32);
  server.setDefault([](const testing::RecordedRequest& request) {
    if (request.path.starts_with("/stream/")) {
      return ScriptedResponse::streamed(splitEvery(request.path + request.path, 3, 2ms));
    }
    return ScriptedResponse::text(200, request.path);
  });
  UrlSession session;
  constexpr int kPlain = 40;
  constexpr int kStreams = 10;
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::string, std::string> answers;
  int ended = 0;
  for (int i = 0; i < kPlain; ++i) {
    session
        .dataTask({.url = server.url("/plain/" + std::to_string(i))},
                  [&, i](Result<UrlData> result) {
                    std::lock_guard lock(mutex);
                    answers["/plain/" + std::to_string(i)] =
                        result ? toString(result->body) : describe(result.error());
                    ++ended;
                    changed.notify_all();
                  })
        .resume();
  }
  std::vector<std::string> bodies(kStreams);
  for (int i = 0; i < kStreams; ++i) {
    session
        .streamTask({.url = server.url("/stream/" + std::to_string(i))},
                    {.onData = [&, i](std::string_view bytes) { bodies[i].append(bytes); },
                     .onComplete =
                         [&, i](Result<UrlResponse> end) {
                           std::lock_guard lock(mutex);
                           answers["/stream/" + std::to_string(i)] =
                               end ? bodies[i] : describe(end.error());
                           ++ended;
                           changed.notify_all();
                         }})
        .resume();
  }
  std::unique_lock lock(mutex);
  ASSERT_TRUE(changed.wait_for(lock, 20s, [&] { return ended == kPlain + kStreams; }));
  for (int i = 0; i < kPlain; ++i) {
    const std::string path = "/plain/" + std::to_string(i);
    EXPECT_EQ(answers[path], path);
  }
  for (int i = 0; i < kStreams; ++i) {
    const std::string path = "/stream/" + std::to_string(i);
    EXPECT_EQ(answers[path], path + path);
  }
}

TEST(UrlSessionTest, DestroyingASessionCancelsItsRunningTransfers) {
  HttpServer server;
  server.setDefault(ScriptedResponse::stall("data: waiting", 30s));
  constexpr int kTransfers = 6;
  std::atomic<bool> destroyed{false};
  std::atomic<int> late{0};
  {
    UrlSession session;
    for (int i = 0; i < kTransfers; ++i) {
      if (i % 2 == 0) {
        session
            .dataTask({.url = server.url("/whole")},
                      [&](Result<UrlData>) { late += destroyed ? 1 : 0; })
            .resume();
      } else {
        session
            .streamTask({.url = server.url("/stream")},
                        {.onComplete = [&](Result<UrlResponse>) { late += destroyed ? 1 : 0; }})
            .resume();
      }
    }
    ASSERT_TRUE(server.waitForRequest(kTransfers - 1));
  }
  destroyed = true;
  for (int i = 0; i < kTransfers; ++i) {
    const auto end = server.waitForStreamEnd(i);
    ASSERT_TRUE(end) << i;
    EXPECT_EQ(end->outcome, StreamEnd::Outcome::closedByClient);
  }
  EXPECT_EQ(late, 0);
}

TEST(UrlSessionTest, TheServerStoppingMidStreamEndsTheTransferWithAnError) {
  auto server = std::make_unique<HttpServer>();
  server->route("GET", "/stall", ScriptedResponse::stall("data: 1\n\n", 30s));
  UrlSession session;
  StreamLog log(session);
  session.streamTask({.url = server->url("/stall")}, log.delegate()).resume();
  ASSERT_TRUE(log.waitForBytes(1));
  server->stop();
  EXPECT_EQ(server->waitForStreamEnd(0)->outcome, StreamEnd::Outcome::serverStopped);
  ASSERT_TRUE(log.waitForEnd());
  ASSERT_FALSE(log.end()->has_value());
  EXPECT_EQ(errorCode(log.end()->error()), UrlError::Code::connectionLost);
}

TEST(UrlSessionTest, TheSharedSessionServesPlainRequests) {
  HttpServer server;
  server.route("GET", "/ping", ScriptedResponse::json(200, "{}"));
  const auto result = fetch(UrlSession::shared(), {.url = server.url("/ping")});
  ASSERT_TRUE(result.has_value()) << describe(result.error());
  EXPECT_EQ(toString(result->body), "{}");
}

}  // namespace
}  // namespace tessra::platform
