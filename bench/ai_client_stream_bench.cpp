// Streams 100,000 small chat chunks from the loopback server three ways in one run:
// - through the AI client to a consumer that iterates the awaitable stream (every event parsed
//   and decoded into a record on the way, then handed across threads);
// - through a plain libcurl easy transfer that only counts the bytes;
// - through a plain libcurl easy transfer whose write callback splits the same events and decodes
//   the same records, on libcurl's own thread, with nothing handed over.
// With one event per write, as the service flushes its chunks, the client must reach at least
// half the byte-counting rate. With 400 events per write the byte count runs far ahead of any
// reader that looks at the chunks; the decoding read then shows what reading the chunks costs by
// itself, and the gap between it and the client is the client's own overhead. The client and the
// byte count run in pairs, one right after the other, so that both meet the same load. Bar: with
// one event per write the client takes at most twice the byte count's CPU time, by the median of
// the pairs' ratios. CPU time of the whole process, the loopback server's writing included: the
// client reads on one thread and hands each record to another, so on a loaded machine its wall
// time waits for two cores where the byte count waits for one.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "aiclient/awaitable_endpoints.h"
#include "aiclient/server_sent_events.h"
#include "bench/bars.h"
#include "platform/foundation/json.h"
#include "testing/http_server.h"

namespace {

using namespace tessra;

constexpr int kChunks = 100'000;

// One small chunk event, as the service sends them while an answer grows.
std::string chunkEvent(int index) {
  return R"(data: {"id":"c","object":"chat.completion.chunk","created":1,"model":"m",)"
         R"("choices":[{"index":0,"delta":{"content":"w)" +
         std::to_string(index % 10) + "\"}}]}\n\n";
}

struct Stream {
  std::string basePath;
  std::int64_t bytes = 0;
};

testing::HttpServer& server() {
  static testing::HttpServer instance(4);
  return instance;
}

// "/<n>/v1/chat/completions" writes the answer n events per write: one per write is a service
// flushing every chunk; 400 per write leaves the reader as the slower side.
const Stream& streamFor(int eventsPerWrite) {
  static std::mutex mutex;
  static std::map<int, Stream> streams;
  std::lock_guard lock(mutex);
  Stream& stream = streams[eventsPerWrite];
  if (stream.basePath.empty()) {
    std::vector<testing::Piece> pieces;
    for (int i = 0; i < kChunks; ++i) {
      if (i % eventsPerWrite == 0) pieces.emplace_back();
      const std::string event = chunkEvent(i);
      pieces.back().bytes += event;
      stream.bytes += static_cast<std::int64_t>(event.size());
    }
    pieces.back().bytes += "data: [DONE]\n\n";
    stream.basePath = "/" + std::to_string(eventsPerWrite);
    server().route("POST", stream.basePath + "/v1/chat/completions",
                   testing::ScriptedResponse::streamed(std::move(pieces)));
  }
  return stream;
}

void reportRates(benchmark::State& state, const Stream& stream) {
  state.SetItemsProcessed(state.iterations() * kChunks);
  state.SetBytesProcessed(state.iterations() * stream.bytes);
}

aiclient::ChatQuery query() {
  using Role = aiclient::ChatCompletionMessageParam::Role;
  return {.messages = {*aiclient::ChatCompletionMessageParam::make(Role::user, "Hi")},
          .model = "m"};
}

// Streams one answer through the client; false, reported on `state`, when it did not arrive
// whole.
bool clientStream(benchmark::State& state, aiclient::AIClient& client) {
  auto chunks = aiclient::chatsStream(client, query());
  int received = 0;
  try {
    while (auto chunk = chunks.next()) received += chunk->choices.size() == 1 ? 1 : 0;
  } catch (const std::exception& error) {
    bench::fail(state, error.what());
    return false;
  }
  if (received != kChunks) {
    bench::fail(state, "the stream did not arrive whole");
    return false;
  }
  return true;
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

// Counts the body's bytes and nothing else.
struct ByteCounter {
  std::int64_t bytes = 0;
  // Not counted: every byte arriving is taken as every chunk arriving.
  int chunks = kChunks;

  void read(std::string_view bytesRead) { bytes += static_cast<std::int64_t>(bytesRead.size()); }
};

// Splits the body into events and decodes each into a record, as the client does, but right in
// libcurl's write callback.
struct ChunkDecoder {
  std::int64_t bytes = 0;
  int chunks = 0;
  aiclient::ServerSentEventParser parser;

  void read(std::string_view bytesRead) {
    bytes += static_cast<std::int64_t>(bytesRead.size());
    parser.feed(bytesRead, [this](std::string_view data) {
      if (data == "[DONE]") return false;
      const auto chunk = platform::decodeJson<aiclient::ChatStreamResult>(data);
      chunks += chunk.choices.size() == 1 ? 1 : 0;
      return true;
    });
  }
};

template <class Reader>
std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
  static_cast<Reader*>(context)->read(std::string_view(data, size * count));
  return size * count;
}

// Streams one answer through a plain transfer into `Reader`; false, reported on `state`, when it
// did not arrive whole.
template <class Reader>
bool plainStream(benchmark::State& state, const Stream& stream) {
  const std::string url = server().url(stream.basePath + "/v1/chat/completions");
  const std::string body =
      R"({"messages":[{"content":"Hi","role":"user"}],"model":"m","stream":true})";
  Reader reader;
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy.get(), CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &onBody<Reader>);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, static_cast<void*>(&reader));
  const CURLcode code = curl_easy_perform(easy.get());
  if (code != CURLE_OK || reader.bytes < stream.bytes || reader.chunks != kChunks) {
    bench::fail(state, "the stream did not arrive whole");
    return false;
  }
  return true;
}

// The client and the plain byte count in turns, so that both meet the same load.
void BM_AIClientBesideByteCount(benchmark::State& state) {
  const Stream& stream = streamFor(static_cast<int>(state.range(0)));
  aiclient::AIClient client({.token = "sk-bench",
                             .host = "127.0.0.1",
                             .port = server().port(),
                             .scheme = "http",
                             .basePath = stream.basePath});
  bench::TookPairs pairs;
  for (auto _ : state) {
    bool succeeded = false;
    const bench::Took throughClient =
        bench::timeOf([&] { return clientStream(state, client); }, succeeded);
    if (!succeeded) break;
    const bench::Took byteCount =
        bench::timeOf([&] { return plainStream<ByteCounter>(state, stream); }, succeeded);
    if (!succeeded) break;
    state.SetIterationTime(throughClient.wallMilliseconds / 1e3);
    pairs.add(throughClient, byteCount);
  }
  reportRates(state, stream);
  state.counters["byte_count_ms"] = pairs.wall.baselineMedian();
  state.counters["ratio"] = pairs.wall.ratioMedian();
  state.counters["cpu_ratio"] = pairs.cpu.ratioMedian();
  const std::string size = std::to_string(state.range(0));
  bench::record("client/" + size, "bytes/" + size, pairs);
}
BENCHMARK(BM_AIClientBesideByteCount)
    ->Arg(1)
    ->Arg(400)
    ->Iterations(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// What decoding alone costs, on libcurl's thread; no bar.
void BM_PlainCurlDecodingChatStream(benchmark::State& state) {
  const Stream& stream = streamFor(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    if (!plainStream<ChunkDecoder>(state, stream)) break;
  }
  reportRates(state, stream);
}
BENCHMARK(BM_PlainCurlDecodingChatStream)
    ->Arg(1)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

const bench::Bars kBars{
    {.what = "client, one event per write",
     .figure = "client/1 CPU",
     .baseline = "bytes/1 CPU",
     .limit = 2,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = "CPU time of the process, server included, in pairs run one right after the other"},
    {.what = "client, one event per write, wall time",
     .figure = "client/1",
     .baseline = "bytes/1",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = "wall time of the same pairs, which stretches with the load"}};

}  // namespace
