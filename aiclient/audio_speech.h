// The text-to-speech request and its answer, POSTed as JSON to "/v1/audio/speech".
//
//   AudioSpeechQuery query(Model::tts_1_hd, "Hello there",
//   AudioSpeechQuery::AudioSpeechVoice::nova,
//                          AudioSpeechQuery::AudioSpeechResponseFormat::opus, 1.25);
//
// The constructor checks what the service would refuse: a model other than "tts-1" or
// "tts-1-hd" becomes "tts-1", a speed outside (0.25, 4.0) becomes the nearest bound, and a speed
// that is not a finite number is taken as no speed ("1.0"); each replacement prints its warning
// line to standard output and is otherwise silent. A query read from JSON keeps what it read.
//
// The answer is not JSON: `AudioSpeechResult::audio` is the answer's body as it came, the audio
// file in the format asked for.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "aiclient/ordered_json.h"
#include "aiclient/raw_value.h"
#include "platform/foundation/base64.h"

namespace tessra::aiclient {

struct AudioSpeechQuery {
  enum class AudioSpeechVoice { alloy, echo, fable, onyx, nova, shimmer };
  enum class AudioSpeechResponseFormat { mp3, opus, aac, flac };
  // The bounds and the default of the speed factor, by their values (`speedValue`).
  enum class Speed { normal, max, min };

  static constexpr std::string_view kModelWarning =
      "[AudioSpeech] 'AudioSpeechQuery' must have a valid Text-To-Speech model, 'tts-1' or "
      "'tts-1-hd'. Setting model to 'tts-1'.";
  static constexpr std::string_view kSpeedWarning =
      "[AudioSpeech] Speed value must be between 0.25 and 4.0. Setting value to closest valid.";

  // For decoding; the fields are then filled as read.
  AudioSpeechQuery() = default;
  // Checks the model and the speed as described at the top of this file.
  AudioSpeechQuery(std::string model, std::string input, AudioSpeechVoice voice,
                   std::optional<AudioSpeechResponseFormat> responseFormat = std::nullopt,
                   std::optional<double> speed = std::nullopt);

  // "tts-1" and "tts-1-hd" as they are (exact case); any other model is "tts-1", with a warning.
  static std::string normalizeSpeechModel(std::string_view model);
  // The speed as text ("1.0", "0.25", "1.5"): "1.0" when absent, the nearest bound with a
  // warning at or beyond a bound, "1.0" with a warning when not finite.
  static std::string normalizeSpeechSpeed(std::optional<double> speed);

  static constexpr double speedValue(Speed speed) {
    switch (speed) {
      case Speed::normal:
        return 1.0;
      case Speed::max:
        return 4.0;
      case Speed::min:
        return 0.25;
    }
    return 1.0;
  }
  // The case whose value is exactly `value`, or nothing.
  static std::optional<Speed> speedFromValue(double value);

  // The text to speak.
  std::string input{};
  std::string model{};
  AudioSpeechVoice voice = AudioSpeechVoice::alloy;
  std::optional<AudioSpeechResponseFormat> responseFormat{};
  // The speed factor as decimal text, the way the service is sent it.
  std::optional<std::string> speed{};

  bool operator==(const AudioSpeechQuery&) const = default;
};

struct AudioSpeechResult {
  // The audio file as the service returned it.
  Bytes audio{};

  bool operator==(const AudioSpeechResult&) const = default;
};

template <>
struct RawValues<AudioSpeechQuery::AudioSpeechVoice> {
  using Voice = AudioSpeechQuery::AudioSpeechVoice;
  static constexpr std::string_view typeName = "AudioSpeechVoice";
  static constexpr std::array table{
      std::pair{Voice::alloy, std::string_view("alloy")},
      std::pair{Voice::echo, std::string_view("echo")},
      std::pair{Voice::fable, std::string_view("fable")},
      std::pair{Voice::onyx, std::string_view("onyx")},
      std::pair{Voice::nova, std::string_view("nova")},
      std::pair{Voice::shimmer, std::string_view("shimmer")},
  };
};

template <>
struct RawValues<AudioSpeechQuery::AudioSpeechResponseFormat> {
  using Format = AudioSpeechQuery::AudioSpeechResponseFormat;
  static constexpr std::string_view typeName = "AudioSpeechResponseFormat";
  static constexpr std::array table{
      std::pair{Format::mp3, std::string_view("mp3")},
      std::pair{Format::opus, std::string_view("opus")},
      std::pair{Format::aac, std::string_view("aac")},
      std::pair{Format::flac, std::string_view("flac")},
  };
};

void to_json(OrderedJson& j, const AudioSpeechQuery::AudioSpeechVoice& value);
void from_json(const nlohmann::json& j, AudioSpeechQuery::AudioSpeechVoice& value);
void to_json(OrderedJson& j, const AudioSpeechQuery::AudioSpeechResponseFormat& value);
void from_json(const nlohmann::json& j, AudioSpeechQuery::AudioSpeechResponseFormat& value);
// Keys in the order "model", "input", "voice", "response_format", "speed".
void to_json(OrderedJson& j, const AudioSpeechQuery& value);
void from_json(const nlohmann::json& j, AudioSpeechQuery& value);
// {"audio": "<Base64>"}.
void to_json(OrderedJson& j, const AudioSpeechResult& value);
void from_json(const nlohmann::json& j, AudioSpeechResult& value);

}  // namespace tessra::aiclient
