// Streams 100,000 small server-sent events from the loopback server, once through UrlSession to a
// consumer on its delegate queue and once through a plain libcurl easy transfer that consumes in
// its write callback, in pairs one right after the other, so that both meet the same load. Bar: the
// session takes at most twice the plain transfer's CPU time by the median of the pairs' ratios, at
// both sizes of write; CPU time of the whole process, the loopback server's writing included, as
// the session's hand-over to its delegate queue waits for a second core on a loaded machine where
// the plain transfer needs one.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "bench/bars.h"
#include "platform/foundation/url_session.h"
#include "testing/http_server.h"

namespace {

using namespace tessra;

constexpr int kEvents = 100'000;
constexpr std::size_t kEventSize = 40;

// One event of exactly 40 bytes: data: {"i":<index>,"t":"xx…"} and a blank line.
std::string event(int index) {
  std::string text = "data: {\"i\":" + std::to_string(index) + ",\"t\":\"";
  const std::string_view tail = "\"}\n\n";
  text.append(kEventSize - text.size() - tail.size(), 'x');
  text += tail;
  return text;
}

// One server for every run. "/events/<n>" writes the stream n events per write: one per write is a
// service flushing every event; 400 per write (16 KB) leaves the client as the slower side.
const std::string& eventsUrl(int eventsPerWrite) {
  static testing::HttpServer server(4);
  static std::mutex mutex;
  static std::map<int, std::string> urls;
  std::lock_guard lock(mutex);
  auto& url = urls[eventsPerWrite];
  if (url.empty()) {
    std::vector<testing::Piece> pieces;
    for (int i = 0; i < kEvents; ++i) {
      if (i % eventsPerWrite == 0) pieces.emplace_back();
      pieces.back().bytes += event(i);
    }
    const std::string path = "/events/" + std::to_string(eventsPerWrite);
    server.route("GET", path, testing::ScriptedResponse::streamed(std::move(pieces)));
    url = server.url(path);
  }
  return url;
}

// What every consumer does with the bytes: finds where each event ends.
class EventCounter {
 public:
  void feed(std::string_view bytes) {
    for (char byte : bytes) {
      if (byte != '\n') {
        m_afterNewline = false;
        continue;
      }
      if (m_afterNewline) ++m_events;
      m_afterNewline = !m_afterNewline;
    }
  }
  int events() const { return m_events; }

 private:
  int m_events = 0;
  bool m_afterNewline = false;
};

void reportRates(benchmark::State& state, double deliveries) {
  state.SetItemsProcessed(state.iterations() * kEvents);
  state.SetBytesProcessed(state.iterations() * kEvents * static_cast<std::int64_t>(kEventSize));
  state.counters["deliveries"] = benchmark::Counter(deliveries, benchmark::Counter::kAvgIterations);
}

// Streams the events once through the session; false, reported on `state`, when they did not
// arrive whole.
bool sessionStream(benchmark::State& state, platform::UrlSession& session, const std::string& url,
                   double& deliveries) {
  EventCounter counter;
  std::mutex mutex;
  std::condition_variable ended;
  std::optional<bool> succeeded;
  session
      .streamTask({.url = url}, {.onData =
                                     [&](std::string_view bytes) {
                                       counter.feed(bytes);
                                       ++deliveries;
                                     },
                                 .onComplete =
                                     [&](Result<platform::UrlResponse> end) {
                                       std::lock_guard lock(mutex);
                                       succeeded = end.has_value();
                                       ended.notify_all();
                                     }})
      .resume();
  std::unique_lock lock(mutex);
  ended.wait(lock, [&] { return succeeded.has_value(); });
  if (!*succeeded || counter.events() != kEvents) {
    bench::fail(state, "the stream did not arrive whole");
    return false;
  }
  return true;
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

struct PlainConsumer {
  EventCounter counter;
  double deliveries = 0;

  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& consumer = *static_cast<PlainConsumer*>(context);
    consumer.counter.feed(std::string_view(data, size * count));
    ++consumer.deliveries;
    return size * count;
  }
};

// Streams the events once through a plain transfer; false, reported on `state`, when they did
// not arrive whole.
bool plainStream(benchmark::State& state, const std::string& url) {
  PlainConsumer consumer;
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy.get(), CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy.get(), CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &PlainConsumer::onBody);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, static_cast<void*>(&consumer));
  const CURLcode code = curl_easy_perform(easy.get());
  if (code != CURLE_OK || consumer.counter.events() != kEvents) {
    bench::fail(state, "the stream did not arrive whole");
    return false;
  }
  return true;
}

// The session and the plain transfer in turns.
void BM_SessionBesidePlain(benchmark::State& state) {
  const std::string& url = eventsUrl(static_cast<int>(state.range(0)));
  platform::UrlSession session;
  double deliveries = 0;
  bench::TookPairs pairs;
  for (auto _ : state) {
    bool succeeded = false;
    const bench::Took throughSession =
        bench::timeOf([&] { return sessionStream(state, session, url, deliveries); }, succeeded);
    if (!succeeded) break;
    const bench::Took plain = bench::timeOf([&] { return plainStream(state, url); }, succeeded);
    if (!succeeded) break;
    state.SetIterationTime(throughSession.wallMilliseconds / 1e3);
    pairs.add(throughSession, plain);
  }
  reportRates(state, deliveries);
  state.counters["plain_ms"] = pairs.wall.baselineMedian();
  state.counters["ratio"] = pairs.wall.ratioMedian();
  state.counters["cpu_ratio"] = pairs.cpu.ratioMedian();
  const std::string size = std::to_string(state.range(0));
  bench::record("session/" + size, "plain/" + size, pairs);
}
BENCHMARK(BM_SessionBesidePlain)
    ->Arg(1)
    ->Arg(400)
    ->Iterations(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

constexpr const char* kOnCpu =
    "CPU time of the process, server included, in pairs run one right after the other";
constexpr const char* kOnWall = "wall time of the same pairs, which stretches with the load";

const bench::Bars kBars{
    {.what = "session, one event per write",
     .figure = "session/1 CPU",
     .baseline = "plain/1 CPU",
     .limit = 2,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "session, 400 events per write",
     .figure = "session/400 CPU",
     .baseline = "plain/400 CPU",
     .limit = 2,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "session, one event per write, wall time",
     .figure = "session/1",
     .baseline = "plain/1",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnWall},
    {.what = "session, 400 events per write, wall time",
     .figure = "session/400",
     .baseline = "plain/400",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnWall},
};

}  // namespace
