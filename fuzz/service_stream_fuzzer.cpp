// The service's streamed answer as the client reads it: a body of server-sent events that the
// network cuts into packets anywhere, each event's data read as a chunk of the answer (or the
// service's error envelope), and the chunks' tool-call fragments gathered as the chat engine
// gathers them.
//
// Input: two bytes that choose where the packets are cut, then the body.
// Rules: the events and what is left over at the end do not depend on the cuts; a chunk that
// was read writes back to JSON that reads as the same chunk.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_engine/chat_request.h"
#include "aiclient/chat_stream_result.h"
#include "aiclient/responses.h"
#include "aiclient/server_sent_events.h"
#include "fuzz/fuzz_support.h"
#include "platform/foundation/json.h"

namespace {

using tessra::aiclient::ChatStreamResult;

struct Reading {
  std::vector<std::string> events;
  std::optional<std::string> leftover;
  bool operator==(const Reading&) const = default;
};

Reading readInPackets(std::string_view body, std::uint16_t cuts) {
  tessra::aiclient::ServerSentEventParser parser;
  Reading reading;
  const auto collect = [&](std::string_view data) {
    reading.events.emplace_back(data);
    return true;
  };
  // Packet lengths from a small generator seeded by the input, 1 to 64 bytes.
  std::uint32_t state = cuts | 1u;
  for (std::size_t at = 0; at < body.size();) {
    state = state * 1103515245u + 12345u;
    const std::size_t length = cuts == 0 ? body.size() : 1 + (state >> 16) % 64;
    parser.feed(body.substr(at, length), collect);
    at += length;
  }
  reading.leftover = parser.finish();
  return reading;
}

void readChunk(std::string_view data, tessra::ToolCallCollector& calls) {
  try {
    const auto chunk = tessra::platform::decodeJson<ChatStreamResult>(data);
    for (const auto& choice : chunk.choices) {
      if (!choice.delta.toolCalls) continue;
      for (const auto& fragment : *choice.delta.toolCalls) calls.merge(fragment);
    }
    nlohmann::json written;
    tessra::aiclient::to_json(written, chunk);
    FUZZ_CHECK(tessra::platform::decodeJson<ChatStreamResult>(
                   tessra::platform::encodeJson(written)) == chunk);
  } catch (const tessra::platform::JsonDecodingError&) {
    (void)tessra::aiclient::decodeErrorEnvelope(data);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tessra::fuzz::quietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto cuts = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
  const std::string_view body = tessra::fuzz::text(data + 2, size - 2);
  const Reading whole = readInPackets(body, 0);
  FUZZ_CHECK(readInPackets(body, cuts) == whole);
  tessra::ToolCallCollector calls;
  for (const std::string& event : whole.events) readChunk(event, calls);
  (void)calls.calls();
  return 0;
}
