#include "telemetry/signal_post_body.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/json.h"
#include "telemetry/log_handler.h"
#include "telemetry/sha256.h"
#include "telemetry/telemetry_error.h"

namespace tessra::telemetry {
namespace {

using platform::Date;

SignalPostBody sampleBody() {
  return SignalPostBody{
      .receivedAt = Date::fromUnixTime(1710003942.75),
      .appID = "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4",
      .clientUser = sha256("someone"),
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
                sha256("someone") +
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

TEST(Sha256, MatchesTheStandardDigestsAndAppendsTheSalt) {
  EXPECT_EQ(sha256("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256("h\xC3\xA9llo"),
            "3c48591d8d098a4538f5e013dfcf406e948eac4d3277b10bf614e295d6068179");
  EXPECT_EQ(sha256("a", "bc"), sha256("abc"));
  EXPECT_EQ(sha256("user", ""), sha256("user"));
  EXPECT_NE(sha256("user", "salt1"), sha256("user", "salt2"));
}

TEST(TelemetryError, MapsStatusesToCasesDescriptionsAndLoggedNames) {
  const struct {
    int status;
    TelemetryError::Kind kind;
    const char* description;
    const char* caseName;
  } cases[] = {
      {0, TelemetryError::Kind::InvalidStatusCode, "Invalid status code 0",
       "InvalidStatusCode(statusCode: 0)"},
      {199, TelemetryError::Kind::InvalidStatusCode, "Invalid status code 199",
       "InvalidStatusCode(statusCode: 199)"},
      {300, TelemetryError::Kind::InvalidStatusCode, "Invalid status code 300",
       "InvalidStatusCode(statusCode: 300)"},
      {401, TelemetryError::Kind::Unauthorised, "Unauthorized (401)", "Unauthorised"},
      {403, TelemetryError::Kind::Forbidden, "Forbidden (403)", "Forbidden"},
      {413, TelemetryError::Kind::PayloadTooLarge, "Payload is too large (413)", "PayloadTooLarge"},
      {500, TelemetryError::Kind::InvalidStatusCode, "Invalid status code 500",
       "InvalidStatusCode(statusCode: 500)"},
  };
  for (const auto& c : cases) {
    const auto error = TelemetryError::forStatus(c.status);
    ASSERT_TRUE(error.has_value()) << c.status;
    EXPECT_EQ(error->kind(), c.kind) << c.status;
    EXPECT_STREQ(error->what(), c.description);
    EXPECT_EQ(error->caseName(), c.caseName);
  }
  for (const int delivered : {200, 201, 204, 299})
    EXPECT_FALSE(TelemetryError::forStatus(delivered));
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

TEST(LogHandler, LevelsComeOnlyFromTheirRawValues) {
  EXPECT_EQ(logLevelFromRawValue(0), LogHandler::LogLevel::debug);
  EXPECT_EQ(logLevelFromRawValue(1), LogHandler::LogLevel::info);
  EXPECT_EQ(logLevelFromRawValue(2), LogHandler::LogLevel::error);
  EXPECT_EQ(logLevelFromRawValue(3), std::nullopt);
  EXPECT_EQ(logLevelFromRawValue(-1), std::nullopt);
}

TEST(LogHandler, StandardOutputWritesOneTaggedLinePerPassingMessage) {
  const auto handler = LogHandler::standardOutput(LogHandler::LogLevel::info);
  ::testing::internal::CaptureStdout();
  handler.log(LogHandler::LogLevel::debug, "hidden");
  handler.log(LogHandler::LogLevel::info, "Sending 3 signals");
  handler.log(LogHandler::LogLevel::error, "Forbidden");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "[TessraTelemetry: INFO] Sending 3 signals\n[TessraTelemetry: ERROR] Forbidden\n");
}

}  // namespace
}  // namespace tessra::telemetry
