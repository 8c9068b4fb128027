#include "aiclient/server_sent_events.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tessra::aiclient {
namespace {

struct Parsed {
  std::vector<std::string> events;
  std::optional<std::string> leftover;
};

Parsed parse(const std::vector<std::string>& packets) {
  ServerSentEventParser parser;
  Parsed parsed;
  for (const auto& packet : packets) {
    parser.feed(packet, [&](std::string_view data) {
      parsed.events.emplace_back(data);
      return true;
    });
  }
  parsed.leftover = parser.finish();
  return parsed;
}

struct Case {
  std::string name;
  std::string body;
  std::vector<std::string> events;
  std::optional<std::string> leftover;
};

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"two events in one packet",
       "data: {\"a\":1}\n\ndata: {\"b\":2}\n\n",
       {"{\"a\":1}", "{\"b\":2}"},
       std::nullopt},
      {"data lines join with a line feed",
       "data: one\ndata: two\ndata:three\n\n",
       {"one\ntwo\nthree"},
       std::nullopt},
      {"only one space after the colon is dropped",
       "data:  indented\n\n",
       {" indented"},
       std::nullopt},
      {"comments and other fields are ignored",
       ": keep-alive\nevent: message\nid: 7\nretry: 10\ndata: x\n\n: bye\n",
       {"x"},
       std::nullopt},
      {"data: inside a JSON text is no field",
       "data: {\"t\":\"data: y\\ndata:\"}\n\n",
       {"{\"t\":\"data: y\\ndata:\"}"},
       std::nullopt},
      {"a field name must start the line", "xdata: no\n\ndata: yes\n\n", {"yes"}, std::nullopt},
      {"CR LF and CR end lines",
       "data: a\r\n\r\ndata: b\r\rdata: c\n\n",
       {"a", "b", "c"},
       std::nullopt},
      {"a blank line without data hands over nothing", "\n\n\ndata: x\n\n\n", {"x"}, std::nullopt},
      {"a byte order mark at the start is skipped",
       "\xEF\xBB\xBF"
       "data: x\n\n",
       {"x"},
       std::nullopt},
      {"multi-byte characters pass whole",
       "data: h\xC3\xA9llo \xF0\x9F\x98\x80\n\n",
       {"h\xC3\xA9llo \xF0\x9F\x98\x80"},
       std::nullopt},
      {"an unfinished line is left over",
       "data: {\"a\":1}\n\ndata: {\"b\"",
       {"{\"a\":1}"},
       std::string("data: {\"b\"")},
      {"data lines without their blank line are left over",
       "data: x\ndata: y\n",
       {},
       std::string("x\ny")},
      {"an unfinished comment is no leftover", "data: x\n\n: ping", {"x"}, std::nullopt},
      {"an empty body ends cleanly", "", {}, std::nullopt},
  };
  return all;
}

TEST(ServerSentEventParser, ReadsEveryCaseAsOnePacket) {
  for (const auto& c : cases()) {
    const Parsed parsed = parse({c.body});
    EXPECT_EQ(parsed.events, c.events) << c.name;
    EXPECT_EQ(parsed.leftover, c.leftover) << c.name;
  }
}

TEST(ServerSentEventParser, ReadsTheSameWhereverThePacketsAreCut) {
  for (const auto& c : cases()) {
    for (std::size_t cut = 1; cut < c.body.size(); ++cut) {
      const Parsed parsed = parse({c.body.substr(0, cut), c.body.substr(cut)});
      EXPECT_EQ(parsed.events, c.events) << c.name << ", cut at " << cut;
      EXPECT_EQ(parsed.leftover, c.leftover) << c.name << ", cut at " << cut;
    }
    std::vector<std::string> bytes;
    for (char byte : c.body) bytes.emplace_back(1, byte);
    const Parsed parsed = parse(bytes);
    EXPECT_EQ(parsed.events, c.events) << c.name << ", one byte at a time";
    EXPECT_EQ(parsed.leftover, c.leftover) << c.name << ", one byte at a time";
  }
}

TEST(ServerSentEventParser, CarriageReturnAtAPacketEndSwallowsOnlyItsOwnLineFeed) {
  // "a\r" | "\n\n": the LF belongs to the CR; the next LF is the blank line.
  EXPECT_EQ(parse({"data: a\r", "\n\n"}).events, std::vector<std::string>{"a"});
  // "a\r" | "\r": two line ends, so the event ends.
  EXPECT_EQ(parse({"data: a\r", "\r"}).events, std::vector<std::string>{"a"});
  // "a\r" | "data: b...": a new line starts at once.
  EXPECT_EQ(parse({"data: a\r", "data: b\n\n"}).events, std::vector<std::string>{"a\nb"});
}

TEST(ServerSentEventParser, StopsReadingWhenTheHandlerSaysSo) {
  ServerSentEventParser parser;
  std::vector<std::string> events;
  const bool finished = parser.feed("data: 1\n\ndata: [DONE]\n\ndata: 3\n\n", [&](auto data) {
    events.emplace_back(data);
    return data != "[DONE]";
  });
  EXPECT_FALSE(finished);
  EXPECT_EQ(events, (std::vector<std::string>{"1", "[DONE]"}));
}

TEST(UnfinishedEventError, NamesTheLeftoverInItsCause) {
  const UnfinishedEventError error(std::string(500, 'x'));
  EXPECT_STREQ(error.what(), "The answer ended in the middle of an event.");
  EXPECT_EQ(error.leftover().size(), 500u);
  EXPECT_EQ(error.cause(), std::string(120, 'x') + "…");
}

}  // namespace
}  // namespace tessra::aiclient
