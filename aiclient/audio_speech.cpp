#include "aiclient/audio_speech.h"

#include <cmath>

#include "aiclient/model.h"
#include "aiclient/multipart_form_data.h"
#include "platform/foundation/logger.h"

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::requiredField;

// The checks report to the log and go on.
void printLine(std::string_view line) { platform::logError("{}", line); }

// The standard text of a double: shortest digits that read back the same, ".0" on whole numbers.
std::string speedText(double speed) { return MultipartFormDataValue(speed).text(); }

}  // namespace

AudioSpeechQuery::AudioSpeechQuery(std::string model, std::string input, AudioSpeechVoice voice,
                                   std::optional<AudioSpeechResponseFormat> responseFormat,
                                   std::optional<double> speed)
    : input(std::move(input)),
      model(normalizeSpeechModel(model)),
      voice(voice),
      responseFormat(responseFormat),
      speed(normalizeSpeechSpeed(speed)) {}

std::string AudioSpeechQuery::normalizeSpeechModel(std::string_view model) {
  if (model == Model::tts_1 || model == Model::tts_1_hd) return std::string(model);
  printLine(kModelWarning);
  return Model::tts_1;
}

std::string AudioSpeechQuery::normalizeSpeechSpeed(std::optional<double> speed) {
  const double normal = speedValue(Speed::normal);
  if (!speed) return speedText(normal);
  // Neither bound would hold a NaN back, and the text of one is nothing the service reads.
  if (!std::isfinite(*speed)) {
    printLine(kSpeedWarning);
    return speedText(normal);
  }
  const double min = speedValue(Speed::min);
  const double max = speedValue(Speed::max);
  if (*speed > min && *speed < max) return speedText(*speed);
  printLine(kSpeedWarning);
  return speedText(*speed <= min ? min : max);
}

std::optional<AudioSpeechQuery::Speed> AudioSpeechQuery::speedFromValue(double value) {
  for (const Speed speed : {Speed::normal, Speed::max, Speed::min}) {
    if (speedValue(speed) == value) return speed;
  }
  return std::nullopt;
}

void to_json(OrderedJson& j, const AudioSpeechQuery::AudioSpeechVoice& value) {
  writeRawValue(j, value);
}

void from_json(const nlohmann::json& j, AudioSpeechQuery::AudioSpeechVoice& value) {
  value = readRawValue<AudioSpeechQuery::AudioSpeechVoice>(j);
}

void to_json(OrderedJson& j, const AudioSpeechQuery::AudioSpeechResponseFormat& value) {
  writeRawValue(j, value);
}

void from_json(const nlohmann::json& j, AudioSpeechQuery::AudioSpeechResponseFormat& value) {
  value = readRawValue<AudioSpeechQuery::AudioSpeechResponseFormat>(j);
}

void to_json(OrderedJson& j, const AudioSpeechQuery& value) {
  j = {{"model", value.model}, {"input", value.input}, {"voice", value.voice}};
  platform::putOptional(j, "response_format", value.responseFormat);
  platform::putOptional(j, "speed", value.speed);
}

void from_json(const nlohmann::json& j, AudioSpeechQuery& value) {
  AudioSpeechQuery query;
  query.model = requiredField<std::string>(j, "model");
  query.input = requiredField<std::string>(j, "input");
  query.voice = requiredField<AudioSpeechQuery::AudioSpeechVoice>(j, "voice");
  query.responseFormat =
      optionalField<AudioSpeechQuery::AudioSpeechResponseFormat>(j, "response_format");
  query.speed = optionalField<std::string>(j, "speed");
  value = std::move(query);
}

void to_json(OrderedJson& j, const AudioSpeechResult& value) {
  j = {{"audio", bytesText(value.audio)}};
}

void from_json(const nlohmann::json& j, AudioSpeechResult& value) {
  value.audio = requiredBytes(j, "audio");
}

}  // namespace tessra::aiclient
