#include "aiclient/audio_transcription.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aiclient/json_test_support.h"
#include "aiclient/model.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using FileType = AudioTranscriptionQuery::FileType;
using Format = AudioTranscriptionQuery::ResponseFormat;

constexpr const char* kBoundary = "B0UND";

std::string body(const MultipartFormDataBodyEncodable& query) {
  return toString(query.encode(kBoundary));
}

std::string filePart(std::string_view fileName, std::string_view type, std::string_view data) {
  return "--B0UND\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" +
         std::string(fileName) + "\"\r\nContent-Type: " + std::string(type) + "\r\n\r\n" +
         std::string(data) + "\r\n";
}

std::string textPart(std::string_view name, std::string_view value) {
  return "--B0UND\r\nContent-Disposition: form-data; name=\"" + std::string(name) + "\"\r\n\r\n" +
         std::string(value) + "\r\n";
}

constexpr const char* kEnd = "--B0UND--\r\n";

TEST(AudioTranscriptionQueryForm, OnlyTheFileAndTheModelWhenNothingElseIsSet) {
  const AudioTranscriptionQuery query(toBytes("RIFF"), FileType::wav, Model::whisper_1);
  EXPECT_EQ(body(query),
            "--B0UND\r\n"
            "Content-Disposition: form-data; name=\"file\"; filename=\"speech.wav\"\r\n"
            "Content-Type: audio/wav\r\n"
            "\r\n"
            "RIFF\r\n"
            "--B0UND\r\n"
            "Content-Disposition: form-data; name=\"model\"\r\n"
            "\r\n"
            "whisper-1\r\n"
            "--B0UND--\r\n");
}

TEST(AudioTranscriptionQueryForm, EveryFieldInItsPlace) {
  const std::string audio("\x00\xFF\r\n--B0UND", 11);
  const AudioTranscriptionQuery transcription(toBytes(audio), FileType::m4a, Model::whisper_1,
                                              "Names: Zoë", 0.2, "de", Format::verboseJson);
  EXPECT_EQ(body(transcription),
            filePart("speech.m4a", "audio/m4a", audio) + textPart("model", "whisper-1") +
                textPart("prompt", "Names: Zoë") + textPart("temperature", "0.2") +
                textPart("language", "de") + textPart("response_format", "verbose_json") + kEnd);

  const AudioTranslationQuery translation(toBytes(audio), FileType::m4a, Model::whisper_1,
                                          "Names: Zoë", 0.2, Format::srt);
  EXPECT_EQ(body(translation),
            filePart("speech.m4a", "audio/m4a", audio) + textPart("model", "whisper-1") +
                textPart("prompt", "Names: Zoë") + textPart("response_format", "srt") +
                textPart("temperature", "0.2") + kEnd);
}

TEST(AudioTranscriptionQueryForm, FileNameAndTypeFollowTheFileType) {
  struct Case {
    FileType type;
    std::string extension;
  };
  const std::vector<Case> cases = {
      {FileType::flac, "flac"}, {FileType::mp3, "mp3"}, {FileType::mpga, "mp3"},
      {FileType::mp4, "mp4"},   {FileType::m4a, "m4a"}, {FileType::mpeg, "mpeg"},
      {FileType::ogg, "ogg"},   {FileType::wav, "wav"}, {FileType::webm, "webm"},
  };
  for (const auto& [type, extension] : cases) {
    SCOPED_TRACE(extension);
    EXPECT_EQ(AudioTranscriptionQuery::fileExtension(type), extension);
    const std::string expected =
        filePart("speech." + extension, "audio/" + extension, "a") + textPart("model", "m") + kEnd;
    EXPECT_EQ(body(AudioTranscriptionQuery(toBytes("a"), type, "m")), expected);
    EXPECT_EQ(body(AudioTranslationQuery(toBytes("a"), type, "m")), expected);
  }
}

TEST(AudioTranscriptionQueryForm, TemperatureInItsShortestText) {
  struct Case {
    double temperature;
    std::string text;
  };
  for (const auto& [temperature, text] : std::vector<Case>{{0, "0.0"},
                                                           {0.2, "0.2"},
                                                           {1, "1.0"},
                                                           {0.00001, "1e-05"},
                                                           {0.1 + 0.2, "0.30000000000000004"}}) {
    SCOPED_TRACE(text);
    AudioTranscriptionQuery query(toBytes("a"), FileType::mp3, "m");
    query.temperature = temperature;
    EXPECT_EQ(body(query), filePart("speech.mp3", "audio/mp3", "a") + textPart("model", "m") +
                               textPart("temperature", text) + kEnd);
  }
}

TEST(AudioTranscriptionQueryWire, OwnJsonFormWithCamelCaseKeys) {
  const AudioTranscriptionQuery query(toBytes("abc"), FileType::mpga, "whisper-1", "p", 0.5, "fr",
                                      Format::verboseJson);
  EXPECT_EQ(orderedWire(query),
            R"({"file":"YWJj","fileType":"mpga","model":"whisper-1",)"
            R"("responseFormat":"verbose_json","prompt":"p","temperature":0.5,"language":"fr"})");
  EXPECT_EQ(decode<AudioTranscriptionQuery>(orderedWire(query)), query);
  const AudioTranscriptionQuery minimal(toBytes(""), FileType::ogg, "m");
  EXPECT_EQ(orderedWire(minimal), R"({"file":"","fileType":"ogg","model":"m"})");
  EXPECT_EQ(decode<AudioTranscriptionQuery>(orderedWire(minimal)), minimal);

  const AudioTranslationQuery translation(toBytes("abc"), FileType::webm, "w", std::nullopt, 0,
                                          Format::text);
  EXPECT_EQ(orderedWire(translation),
            R"({"file":"YWJj","fileType":"webm","model":"w","responseFormat":"text",)"
            R"("temperature":0})");
  EXPECT_EQ(decode<AudioTranslationQuery>(orderedWire(translation)), translation);
}

TEST(AudioTranscriptionQueryWire, BadQueriesFail) {
  expectDecodingErrors<AudioTranscriptionQuery>({
      {R"({"fileType":"mp3","model":"m"})", "file", Kind::keyNotFound},
      {R"({"file":"YWJj","model":"m"})", "fileType", Kind::keyNotFound},
      {R"({"file":"YWJj","fileType":"mp3"})", "model", Kind::keyNotFound},
      {R"({"file":"not base64!","fileType":"mp3","model":"m"})", "file", Kind::dataCorrupted},
      {R"({"file":"YWJj","fileType":"MP3","model":"m"})", "fileType", Kind::dataCorrupted},
      {R"({"file":"YWJj","fileType":"mp3","model":"m","responseFormat":"verboseJson"})",
       "responseFormat", Kind::dataCorrupted},
      {R"({"file":"YWJj","fileType":"mp3","model":"m","temperature":"0.1"})", "temperature",
       Kind::typeMismatch},
  });
  expectDecodingErrors<AudioTranslationQuery>({
      {R"({"file":"YWJj","fileType":"aiff","model":"m"})", "fileType", Kind::dataCorrupted},
  });
}

TEST(AudioTranscriptionResults, KeepOnlyTheText) {
  EXPECT_EQ(decode<AudioTranscriptionResult>(
                R"({"text":"Hallo Welt","language":"german","duration":1.5,"segments":[]})"),
            AudioTranscriptionResult{"Hallo Welt"});
  EXPECT_EQ(decode<AudioTranslationResult>(R"({"text":"Hello world"})"),
            AudioTranslationResult{"Hello world"});
  EXPECT_EQ(orderedWire(AudioTranslationResult{"a/b"}), R"({"text":"a\/b"})");
  expectDecodingErrors<AudioTranscriptionResult>({
      {R"({"transcript":"x"})", "text", Kind::keyNotFound},
      {R"({"text":null})", "text", Kind::valueNotFound},
      {R"(["text"])", "", Kind::typeMismatch},
  });
  EXPECT_EQ(allCases<Format>(), (std::array{Format::json, Format::text, Format::verboseJson,
                                            Format::srt, Format::vtt}));
}

}  // namespace
}  // namespace tessra::aiclient
