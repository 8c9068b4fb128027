// The speech-recognition requests and their answers: an audio file turned into text in its own
// language (transcription, "/v1/audio/transcriptions") or into English (translation,
// "/v1/audio/translations"). Both requests travel as multipart forms; the answers are JSON.
//
//   AudioTranscriptionQuery query(audioBytes, AudioTranscriptionQuery::FileType::m4a,
//                                 Model::whisper_1);
//   query.language = "de";
//
// The file is sent as "speech.<extension>" with the content type "audio/<extension>", the
// extension being the file type's text ("mp3" for `mpga`); the other fields follow as text
// parts, absent ones left out. The records also have a JSON form of their own ("fileType",
// "responseFormat", the file as Base64), which is never sent to the service.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "aiclient/multipart_form_data.h"
#include "aiclient/ordered_json.h"
#include "aiclient/raw_value.h"
#include "platform/foundation/base64.h"

namespace tessra::aiclient {

struct AudioTranscriptionQuery : MultipartFormDataBodyEncodable {
  enum class FileType { flac, mp3, mpga, mp4, m4a, mpeg, ogg, wav, webm };
  enum class ResponseFormat { json, text, verboseJson, srt, vtt };

  AudioTranscriptionQuery() = default;
  AudioTranscriptionQuery(Bytes file, FileType fileType, std::string model,
                          std::optional<std::string> prompt = std::nullopt,
                          std::optional<double> temperature = std::nullopt,
                          std::optional<std::string> language = std::nullopt,
                          std::optional<ResponseFormat> responseFormat = std::nullopt);

  // The part's file extension: the type's text, but "mp3" for `mpga`.
  static std::string_view fileExtension(FileType type);

  // Parts: file, model, prompt, temperature, language, response_format.
  Bytes encode(const std::string& boundary) const override;

  bool operator==(const AudioTranscriptionQuery& other) const;

  // The audio file's content.
  Bytes file{};
  FileType fileType = FileType::mp3;
  std::string model{};
  std::optional<ResponseFormat> responseFormat{};
  // A text to guide the recognition, such as the spelling of names.
  std::optional<std::string> prompt{};
  std::optional<double> temperature{};
  // The language spoken in the audio, as an ISO-639-1 code.
  std::optional<std::string> language{};
};

struct AudioTranslationQuery : MultipartFormDataBodyEncodable {
  using FileType = AudioTranscriptionQuery::FileType;
  using ResponseFormat = AudioTranscriptionQuery::ResponseFormat;

  AudioTranslationQuery() = default;
  AudioTranslationQuery(Bytes file, FileType fileType, std::string model,
                        std::optional<std::string> prompt = std::nullopt,
                        std::optional<double> temperature = std::nullopt,
                        std::optional<ResponseFormat> responseFormat = std::nullopt);

  // Parts: file, model, prompt, response_format, temperature.
  Bytes encode(const std::string& boundary) const override;

  bool operator==(const AudioTranslationQuery& other) const;

  Bytes file{};
  FileType fileType = FileType::mp3;
  std::string model{};
  std::optional<ResponseFormat> responseFormat{};
  std::optional<std::string> prompt{};
  std::optional<double> temperature{};
};

struct AudioTranscriptionResult {
  // The recognised text.
  std::string text{};

  bool operator==(const AudioTranscriptionResult&) const = default;
};

struct AudioTranslationResult {
  // The text in English.
  std::string text{};

  bool operator==(const AudioTranslationResult&) const = default;
};

template <>
struct RawValues<AudioTranscriptionQuery::FileType> {
  using FileType = AudioTranscriptionQuery::FileType;
  static constexpr std::string_view typeName = "FileType";
  static constexpr std::array table{
      std::pair{FileType::flac, std::string_view("flac")},
      std::pair{FileType::mp3, std::string_view("mp3")},
      std::pair{FileType::mpga, std::string_view("mpga")},
      std::pair{FileType::mp4, std::string_view("mp4")},
      std::pair{FileType::m4a, std::string_view("m4a")},
      std::pair{FileType::mpeg, std::string_view("mpeg")},
      std::pair{FileType::ogg, std::string_view("ogg")},
      std::pair{FileType::wav, std::string_view("wav")},
      std::pair{FileType::webm, std::string_view("webm")},
  };
};

template <>
struct RawValues<AudioTranscriptionQuery::ResponseFormat> {
  using Format = AudioTranscriptionQuery::ResponseFormat;
  static constexpr std::string_view typeName = "ResponseFormat";
  static constexpr std::array table{
      std::pair{Format::json, std::string_view("json")},
      std::pair{Format::text, std::string_view("text")},
      std::pair{Format::verboseJson, std::string_view("verbose_json")},
      std::pair{Format::srt, std::string_view("srt")},
      std::pair{Format::vtt, std::string_view("vtt")},
  };
};

void to_json(OrderedJson& j, const AudioTranscriptionQuery::FileType& value);
void from_json(const nlohmann::json& j, AudioTranscriptionQuery::FileType& value);
void to_json(OrderedJson& j, const AudioTranscriptionQuery::ResponseFormat& value);
void from_json(const nlohmann::json& j, AudioTranscriptionQuery::ResponseFormat& value);
// Keys "file", "fileType", "model", "responseFormat", "prompt", "temperature", "language".
void to_json(OrderedJson& j, const AudioTranscriptionQuery& value);
void from_json(const nlohmann::json& j, AudioTranscriptionQuery& value);
void to_json(OrderedJson& j, const AudioTranslationQuery& value);
void from_json(const nlohmann::json& j, AudioTranslationQuery& value);
void to_json(OrderedJson& j, const AudioTranscriptionResult& value);
void from_json(const nlohmann::json& j, AudioTranscriptionResult& value);
void to_json(OrderedJson& j, const AudioTranslationResult& value);
void from_json(const nlohmann::json& j, AudioTranslationResult& value);

}  // namespace tessra::aiclient
