#include "telemetry/signal_post_body.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/json.h"
#include "platform/foundation/sha256.h"
#include "telemetry/log_handler.h"
#include "telemetry/telemetry_error.h"
#include "testing/log_capture.h"

namespace tessra::telemetry {
namespace {

using platform::Date;

SignalPostBody sampleBody() {
  return SignalPostBody{
      .receivedAt = Date::fromUnixTime(1710003942.75),
      .appID = "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4",
      .clientUser = platform::sha256Hex("someone"),
      .sessionID = "0C1B6A5E-2D7F-4E11-9C3A-5B6D7E8F9A0B",
      .type = "ping",
      .floatValue = std::nullopt,
      .payload = {"platform:Linux", "path:a/b"},
      .isTestMode = "false",
  };
}

TEST(SignalPostBodyWire, WritesTheDateAsTextInUtcAndEveryField) {
  const auto text = platform::encodeJson(toWireJson(sampleBody()));
  EXPECT_EQ(text,
            "{\"appID\":\"4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4\",\"clientUser\":\"" +
                platform::sha256Hex("someone") +
                "\",\"isTestMode\":\"false\",\"payload\":[\"platform:Linux\",\"path:a\\/b\"],"
                "\"receivedAt\":\"2024-03-09T17:05:42+0000\",\"sessionID\":\"0C1B6A5E-2D7F-4E11-"
                "9C3A-5B6D7E8F9A0B\",\"type\":\"ping\"}");
}

TEST(SignalPostBodyWire, DateTextTruncatesToTheSecond) {
  const struct {
    double unixTime;
    const char* text;
  } cases[] = {
      {978307200.0, "2001-01-01T00:00:00+0000"},
      {978307199.999, "2000-12-31T23:59:59+0000"},
      {1710003942.75, "2024-03-09T17:05:42+0000"},
      {0.0, "1970-01-01T00:00:00+0000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(wireDateText(Date::fromUnixTime(c.unixTime)), c.text) << c.unixTime;
}

TEST(SignalPostBodyWire, FloatValueIsWrittenOnlyWhenPresent) {
  auto body = sampleBody();
  EXPECT_FALSE(toWireJson(body).contains("floatValue"));
  body.floatValue = 2.5;
  EXPECT_NE(platform::encodeJson(toWireJson(body)).find("\"floatValue\":2.5"), std::string::npos);
}

TEST(SignalPostBodyCache, RoundTripsFieldByFieldWithTheDateAsSecondsSince2001) {
  for (const std::optional<double> floatValue : {std::optional<double>{}, std::optional(-0.125)}) {
    auto body = sampleBody();
    body.floatValue = floatValue;
    const nlohmann::json encoded = body;
    EXPECT_DOUBLE_EQ(encoded.at("receivedAt").get<double>(), 731696742.75);
    const auto decoded = platform::decodeJson<SignalPostBody>(platform::encodeJson(encoded));
    EXPECT_EQ(decoded, body);
  }
}

TEST(SignalPostBodyCache, RejectsBadRecordsNamingTheKey) {
  const auto valid = nlohmann::json(sampleBody());
  const struct {
    const char* key;
    nlohmann::json value;  // null removes the key
  } cases[] = {
      {"appID", "not-a-uuid"}, {"appID", nullptr},    {"receivedAt", "2024-01-01"},
      {"floatValue", "2.5"},   {"payload", {"a", 1}}, {"isTestMode", false},
      {"clientUser", nullptr}, {"type", 3},
  };
  for (const auto& c : cases) {
    auto broken = valid;
    if (c.value.is_null()) {
      broken.erase(c.key);
    } else {
      broken[c.key] = c.value;
    }
    try {
      platform::decodeValue<SignalPostBody>(broken);
      ADD_FAILURE() << "accepted " << c.key << " = " << c.value.dump();
    } catch (const platform::JsonDecodingError& e) {
      EXPECT_EQ(e.codingPath().rfind(c.key, 0), 0u) << e.what();
    }
  }
}

TEST(LogHandler, PassesMessagesAtOrAboveItsLevel) {
  using Level = LogHandler::LogLevel;
  const struct {
    Level handlerLevel;
    Level messageLevel;
    bool passes;
  } cases[] = {
      {Level::debug, Level::debug, true},  {Level::debug, Level::info, true},
      {Level::debug, Level::error, true},  {Level::info, Level::debug, false},
      {Level::info, Level::info, true},    {Level::info, Level::error, true},
      {Level::error, Level::debug, false}, {Level::error, Level::info, false},
      {Level::error, Level::error, true},
  };
  for (const auto& c : cases) {
    std::vector<std::string> received;
    LogHandler handler(c.handlerLevel,
                       [&](Level, const std::string& message) { received.push_back(message); });
    handler.log(c.messageLevel, "m");
    EXPECT_EQ(received.size(), c.passes ? 1u : 0u)
        << description(c.handlerLevel) << " " << description(c.messageLevel);
  }
}

TEST(LogHandler, ProgramLogWritesOneTaggedLinePerPassingMessage) {
  const auto handler = LogHandler::programLog(LogHandler::LogLevel::info);
  tessra::testing::LogCapture log;
  handler.log(LogHandler::LogLevel::debug, "hidden");
  handler.log(LogHandler::LogLevel::info, "Sending 3 signals");
  handler.log(LogHandler::LogLevel::error, "Forbidden");
  EXPECT_EQ(log.all(),
            "[TessraTelemetry: INFO] Sending 3 signals\n[TessraTelemetry: ERROR] Forbidden\n");
}

}  // namespace
}  // namespace tessra::telemetry
