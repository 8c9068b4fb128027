#include "aiclient/audio_speech.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "aiclient/json_test_support.h"
#include "aiclient/model.h"
#include "testing/log_capture.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Voice = AudioSpeechQuery::AudioSpeechVoice;
using Format = AudioSpeechQuery::AudioSpeechResponseFormat;
using Speed = AudioSpeechQuery::Speed;

// What `run` wrote to the log.
template <class F>
std::string printedBy(F&& run) {
  tessra::testing::LogCapture log;
  run();
  return log.all();
}

std::string line(std::string_view text) { return std::string(text) + "\n"; }

TEST(AudioSpeechQuery, ModelCheckKeepsOnlyTheTwoSpeechModels) {
  struct Case {
    std::string model;
    std::string expected;
    bool warns;
  };
  const std::vector<Case> cases = {
      {"tts-1", "tts-1", false}, {"tts-1-hd", "tts-1-hd", false}, {"TTS-1-HD", "tts-1", true},
      {"tts-1 ", "tts-1", true}, {"gpt-4", "tts-1", true},        {"", "tts-1", true},
  };
  for (const auto& [model, expected, warns] : cases) {
    SCOPED_TRACE(model);
    std::string normalized;
    const std::string printed =
        printedBy([&] { normalized = AudioSpeechQuery::normalizeSpeechModel(model); });
    EXPECT_EQ(normalized, expected);
    EXPECT_EQ(printed, warns ? line(AudioSpeechQuery::kModelWarning) : "");
  }
  EXPECT_EQ(AudioSpeechQuery::kModelWarning,
            "[AudioSpeech] 'AudioSpeechQuery' must have a valid Text-To-Speech model, 'tts-1' or "
            "'tts-1-hd'. Setting model to 'tts-1'.");
}

TEST(AudioSpeechQuery, SpeedCheckClampsToTheRangeAndWritesStandardText) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  struct Case {
    std::optional<double> speed;
    std::string expected;
    bool warns;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "1.0", false},
      {1.0, "1.0", false},
      {1.5, "1.5", false},
      {3.99, "3.99", false},
      {0.26, "0.26", false},
      {2, "2.0", false},
      {0.1, "0.25", true},
      {0.25, "0.25", true},
      {0, "0.25", true},
      {-3, "0.25", true},
      {4.0, "4.0", true},
      {10.0, "4.0", true},
      // Not a number at all: as if none were given, but said so.
      {std::numeric_limits<double>::quiet_NaN(), "1.0", true},
      {kInfinity, "1.0", true},
      {-kInfinity, "1.0", true},
  };
  for (const auto& [speed, expected, warns] : cases) {
    SCOPED_TRACE(speed ? std::to_string(*speed) : "none");
    std::string text;
    const std::string printed =
        printedBy([&] { text = AudioSpeechQuery::normalizeSpeechSpeed(speed); });
    EXPECT_EQ(text, expected);
    EXPECT_EQ(printed, warns ? line(AudioSpeechQuery::kSpeedWarning) : "");
  }
  EXPECT_EQ(AudioSpeechQuery::kSpeedWarning,
            "[AudioSpeech] Speed value must be between 0.25 and 4.0. Setting value to closest "
            "valid.");
}

TEST(AudioSpeechQuery, ConstructorChecksBothAndPrintsEachWarningOnce) {
  std::optional<AudioSpeechQuery> query;
  const std::string printed =
      printedBy([&] { query.emplace("whisper-1", "Hello", Voice::shimmer, Format::flac, 12.0); });
  EXPECT_EQ(printed, line(AudioSpeechQuery::kModelWarning) + line(AudioSpeechQuery::kSpeedWarning));
  EXPECT_EQ(query->model, "tts-1");
  EXPECT_EQ(query->speed, "4.0");
  EXPECT_EQ(query->input, "Hello");
  EXPECT_EQ(query->voice, Voice::shimmer);
  EXPECT_EQ(query->responseFormat, Format::flac);
}

TEST(AudioSpeechQueryWire, KeysInTheServiceOrderAndSpeedAsText) {
  EXPECT_EQ(
      orderedWire(AudioSpeechQuery(Model::tts_1_hd, "Hi \"you\"", Voice::nova, Format::opus, 1.25)),
      R"({"model":"tts-1-hd","input":"Hi \"you\"","voice":"nova",)"
      R"("response_format":"opus","speed":"1.25"})");
  // Built here: always a speed, never a format that was not asked for.
  EXPECT_EQ(orderedWire(AudioSpeechQuery(Model::tts_1, "x", Voice::alloy)),
            R"({"model":"tts-1","input":"x","voice":"alloy","speed":"1.0"})");
}

TEST(AudioSpeechQueryWire, ReadsWhatItWritesAndChecksNothing) {
  const auto query = decode<AudioSpeechQuery>(R"({"voice":"echo","input":"x","model":"gpt-4"})");
  EXPECT_EQ(query.model, "gpt-4");
  EXPECT_EQ(query.speed, std::nullopt);
  EXPECT_EQ(orderedWire(query), R"({"model":"gpt-4","input":"x","voice":"echo"})");

  const AudioSpeechQuery full(Model::tts_1, "y", Voice::fable, Format::aac, 0.5);
  EXPECT_EQ(decode<AudioSpeechQuery>(orderedWire(full)), full);
  const auto unchecked =
      decode<AudioSpeechQuery>(R"({"model":"tts-1","input":"","voice":"onyx","speed":"99"})");
  EXPECT_EQ(unchecked.speed, "99");
}

TEST(AudioSpeechQueryWire, BadQueriesFail) {
  expectDecodingErrors<AudioSpeechQuery>({
      {R"({"input":"x","voice":"echo"})", "model", Kind::keyNotFound},
      {R"({"model":"tts-1","voice":"echo"})", "input", Kind::keyNotFound},
      {R"({"model":"tts-1","input":"x"})", "voice", Kind::keyNotFound},
      {R"({"model":"tts-1","input":"x","voice":"Echo"})", "voice", Kind::dataCorrupted},
      {R"({"model":"tts-1","input":"x","voice":"echo","response_format":"wav"})", "response_format",
       Kind::dataCorrupted},
      {R"({"model":"tts-1","input":"x","voice":"echo","speed":1.0})", "speed", Kind::typeMismatch},
      {R"({"model":7,"input":"x","voice":"echo"})", "model", Kind::typeMismatch},
  });
}

TEST(AudioSpeechResult, HoldsTheBytesAndWritesThemAsBase64) {
  const AudioSpeechResult result{.audio = {0x49, 0x44, 0x33, 0x00, 0xFF}};
  EXPECT_EQ(orderedWire(result), R"({"audio":"SUQzAP8="})");
  EXPECT_EQ(decode<AudioSpeechResult>(R"({"audio":"SUQzAP8="})"), result);
  EXPECT_EQ(decode<AudioSpeechResult>(R"({"audio":""})"), AudioSpeechResult{});
  EXPECT_NE(result, AudioSpeechResult{});
  expectDecodingErrors<AudioSpeechResult>({
      {R"({})", "audio", Kind::keyNotFound},
      {R"({"audio":"SUQz AP8="})", "audio", Kind::dataCorrupted},
      {R"({"audio":[1,2]})", "audio", Kind::typeMismatch},
  });
}

}  // namespace
}  // namespace tessra::aiclient
