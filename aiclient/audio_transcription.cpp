#include "aiclient/audio_transcription.h"

#include <tuple>

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::requiredField;
using FileType = AudioTranscriptionQuery::FileType;
using ResponseFormat = AudioTranscriptionQuery::ResponseFormat;

MultipartFormDataEntry filePart(const Bytes& file, FileType type) {
  const std::string extension(AudioTranscriptionQuery::fileExtension(type));
  return MultipartFormDataEntry::file("file", "speech." + extension, file, "audio/" + extension);
}

std::optional<MultipartFormDataValue> formatPart(const std::optional<ResponseFormat>& format) {
  if (!format) return std::nullopt;
  return std::string(rawValue(*format));
}

std::optional<MultipartFormDataValue> temperaturePart(const std::optional<double>& temperature) {
  if (!temperature) return std::nullopt;
  return *temperature;
}

std::optional<MultipartFormDataValue> textPart(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return *text;
}

}  // namespace

AudioTranscriptionQuery::AudioTranscriptionQuery(Bytes file, FileType fileType, std::string model,
                                                 std::optional<std::string> prompt,
                                                 std::optional<double> temperature,
                                                 std::optional<std::string> language,
                                                 std::optional<ResponseFormat> responseFormat)
    : file(std::move(file)),
      fileType(fileType),
      model(std::move(model)),
      responseFormat(responseFormat),
      prompt(std::move(prompt)),
      temperature(temperature),
      language(std::move(language)) {}

std::string_view AudioTranscriptionQuery::fileExtension(FileType type) {
  if (type == FileType::mpga) return rawValue(FileType::mp3);
  return rawValue(type);
}

Bytes AudioTranscriptionQuery::encode(const std::string& boundary) const {
  return MultipartFormDataBodyBuilder(
             boundary,
             {
                 filePart(file, fileType),
                 MultipartFormDataEntry::string("model", model),
                 MultipartFormDataEntry::string("prompt", textPart(prompt)),
                 MultipartFormDataEntry::string("temperature", temperaturePart(temperature)),
                 MultipartFormDataEntry::string("language", textPart(language)),
                 MultipartFormDataEntry::string("response_format", formatPart(responseFormat)),
             })
      .build();
}

bool AudioTranscriptionQuery::operator==(const AudioTranscriptionQuery& other) const {
  return std::tie(file, fileType, model, responseFormat, prompt, temperature, language) ==
         std::tie(other.file, other.fileType, other.model, other.responseFormat, other.prompt,
                  other.temperature, other.language);
}

AudioTranslationQuery::AudioTranslationQuery(Bytes file, FileType fileType, std::string model,
                                             std::optional<std::string> prompt,
                                             std::optional<double> temperature,
                                             std::optional<ResponseFormat> responseFormat)
    : file(std::move(file)),
      fileType(fileType),
      model(std::move(model)),
      responseFormat(responseFormat),
      prompt(std::move(prompt)),
      temperature(temperature) {}

Bytes AudioTranslationQuery::encode(const std::string& boundary) const {
  return MultipartFormDataBodyBuilder(
             boundary,
             {
                 filePart(file, fileType),
                 MultipartFormDataEntry::string("model", model),
                 MultipartFormDataEntry::string("prompt", textPart(prompt)),
                 MultipartFormDataEntry::string("response_format", formatPart(responseFormat)),
                 MultipartFormDataEntry::string("temperature", temperaturePart(temperature)),
             })
      .build();
}

bool AudioTranslationQuery::operator==(const AudioTranslationQuery& other) const {
  return std::tie(file, fileType, model, responseFormat, prompt, temperature) ==
         std::tie(other.file, other.fileType, other.model, other.responseFormat, other.prompt,
                  other.temperature);
}

void to_json(OrderedJson& j, const FileType& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, FileType& value) { value = readRawValue<FileType>(j); }

void to_json(OrderedJson& j, const ResponseFormat& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, ResponseFormat& value) {
  value = readRawValue<ResponseFormat>(j);
}

void to_json(OrderedJson& j, const AudioTranscriptionQuery& value) {
  j = {{"file", bytesText(value.file)}, {"fileType", value.fileType}, {"model", value.model}};
  platform::putOptional(j, "responseFormat", value.responseFormat);
  platform::putOptional(j, "prompt", value.prompt);
  platform::putOptional(j, "temperature", value.temperature);
  platform::putOptional(j, "language", value.language);
}

void from_json(const nlohmann::json& j, AudioTranscriptionQuery& value) {
  AudioTranscriptionQuery query;
  query.file = requiredBytes(j, "file");
  query.fileType = requiredField<FileType>(j, "fileType");
  query.model = requiredField<std::string>(j, "model");
  query.responseFormat = optionalField<ResponseFormat>(j, "responseFormat");
  query.prompt = optionalField<std::string>(j, "prompt");
  query.temperature = optionalField<double>(j, "temperature");
  query.language = optionalField<std::string>(j, "language");
  value = std::move(query);
}

void to_json(OrderedJson& j, const AudioTranslationQuery& value) {
  j = {{"file", bytesText(value.file)}, {"fileType", value.fileType}, {"model", value.model}};
  platform::putOptional(j, "responseFormat", value.responseFormat);
  platform::putOptional(j, "prompt", value.prompt);
  platform::putOptional(j, "temperature", value.temperature);
}

void from_json(const nlohmann::json& j, AudioTranslationQuery& value) {
  AudioTranslationQuery query;
  query.file = requiredBytes(j, "file");
  query.fileType = requiredField<FileType>(j, "fileType");
  query.model = requiredField<std::string>(j, "model");
  query.responseFormat = optionalField<ResponseFormat>(j, "responseFormat");
  query.prompt = optionalField<std::string>(j, "prompt");
  query.temperature = optionalField<double>(j, "temperature");
  value = std::move(query);
}

void to_json(OrderedJson& j, const AudioTranscriptionResult& value) { j = {{"text", value.text}}; }

void from_json(const nlohmann::json& j, AudioTranscriptionResult& value) {
  value.text = requiredField<std::string>(j, "text");
}

void to_json(OrderedJson& j, const AudioTranslationResult& value) { j = {{"text", value.text}}; }

void from_json(const nlohmann::json& j, AudioTranslationResult& value) {
  value.text = requiredField<std::string>(j, "text");
}

}  // namespace tessra::aiclient
