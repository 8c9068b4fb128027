// The endpoints beyond chat and images against the loopback server: what each sends, byte for
// byte, and what it makes of the service's answers and error envelopes.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <regex>
#include <string>
#include <vector>

#include "aiclient/ai_client.h"
#include "aiclient/audio_speech.h"
#include "aiclient/audio_transcription.h"
#include "aiclient/awaitable_endpoints.h"
#include "aiclient/client_test_support.h"
#include "aiclient/completions.h"
#include "aiclient/edits.h"
#include "aiclient/embeddings.h"
#include "aiclient/image_edits.h"
#include "aiclient/model.h"
#include "aiclient/models.h"
#include "aiclient/moderations.h"
#include "aiclient/publisher_endpoints.h"

namespace tessra::aiclient {
namespace {

using tessra::testing::HttpServer;
using tessra::testing::RecordedRequest;
using tessra::testing::ScriptedResponse;
using tessra::testing::splitAt;
using testing::configurationFor;
using testing::errorAs;
using testing::kDeadline;
using testing::kEnvelope;

constexpr const char* kServiceMessage = "Incorrect API key provided: sk-test.";

template <class T>
T answerOf(std::future<T> future) {
  if (future.wait_for(kDeadline) != std::future_status::ready) {
    throw TextError("no answer within the deadline");
  }
  return future.get();
}

template <class T>
ErrorPtr failureOf(std::future<T> future) {
  try {
    answerOf(std::move(future));
  } catch (...) {
    return std::current_exception();
  }
  ADD_FAILURE() << "the call succeeded";
  return nullptr;
}

// The values of the headers the client sets, each once; the server's record keeps no order.
std::vector<std::string> clientHeaders(const RecordedRequest& request) {
  std::vector<std::string> headers;
  for (const auto& [name, value] : request.headers) {
    if (name == "Content-Type" || name == "Authorization" || name == "OpenAI-Organization") {
      headers.push_back(name + ": " + value);
    }
  }
  std::ranges::sort(headers);
  return headers;
}

void expectJsonPost(const RecordedRequest& request, const std::string& path,
                    const std::string& body) {
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, path);
  EXPECT_EQ(request.query, "");
  EXPECT_EQ(clientHeaders(request), (std::vector<std::string>{"Authorization: Bearer sk-test",
                                                              "Content-Type: application/json"}));
  EXPECT_EQ(request.body, body);
}

// The boundary of a multipart request, after checking its headers.
std::string expectMultipartPost(const RecordedRequest& request, const std::string& path) {
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, path);
  EXPECT_EQ(std::ranges::count_if(clientHeaders(request),
                                  [](const std::string& h) { return h.starts_with("Content-"); }),
            1);
  EXPECT_EQ(request.header("Authorization"), "Bearer sk-test");
  const std::string contentType = request.header("Content-Type").value_or("");
  std::smatch match;
  static const std::regex kForm(
      "multipart/form-data; boundary=([0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-"
      "[0-9A-F]{12})");
  EXPECT_TRUE(std::regex_match(contentType, match, kForm)) << contentType;
  return match.size() > 1 ? match[1].str() : std::string();
}

class OtherEndpoints : public ::testing::Test {
 protected:
  HttpServer m_server;
  AIClient m_client{configurationFor(m_server)};

  RecordedRequest request(std::size_t index = 0) {
    auto recorded = m_server.waitForRequest(index);
    if (!recorded) throw TextError("the server received no request");
    return *recorded;
  }
};

TEST_F(OtherEndpoints, CompletionsPostTheQueryAndReadTheAnswer) {
  m_server.route(
      "POST", "/v1/completions",
      ScriptedResponse::json(
          200,
          R"({"id":"cmpl-8Vb","object":"text_completion","created":1702570000,)"
          R"("model":"gpt-3.5-turbo-instruct","choices":[{"text":" there was a fox.","index":0,)"
          R"("logprobs":null,"finish_reason":"stop"}],)"
          R"("usage":{"prompt_tokens":4,"completion_tokens":6,"total_tokens":10}})"));
  const CompletionsQuery query{.model = "gpt-3.5-turbo-instruct",
                               .prompt = "Once upon a time",
                               .temperature = 0.5,
                               .maxTokens = 16,
                               .stop = {{"."}}};
  const auto result = answerOf(completions(m_client, query));
  expectJsonPost(request(), "/v1/completions",
                 R"({"model":"gpt-3.5-turbo-instruct","prompt":"Once upon a time",)"
                 R"("stream":false,"temperature":0.5,"max_tokens":16,"stop":["."]})");
  EXPECT_EQ(result.id, "cmpl-8Vb");
  EXPECT_EQ(result.created, 1702570000.0);
  ASSERT_EQ(result.choices.size(), 1u);
  EXPECT_EQ(result.choices[0].text, " there was a fox.");
  EXPECT_EQ(result.choices[0].finishReason, "stop");
  EXPECT_EQ(result.usage, (CompletionsResult::Usage{4, 6, 10}));
}

TEST_F(OtherEndpoints, CompletionsStreamSendsItsOwnCopyWithStreamSetAndYieldsEveryChunk) {
  const std::string chunk1 =
      R"({"id":"c","object":"text_completion","created":1,"model":"m","choices":[{"text":"Hé","index":0}]})";
  const std::string chunk2 =
      R"({"id":"c","object":"text_completion","created":1,"model":"m","choices":[{"text":"llo","index":0,"finish_reason":"length"}]})";
  const std::string body = "data: " + chunk1 + "\n\ndata: " + chunk2 + "\n\ndata: [DONE]\n\n";
  // Cut inside a line and inside the two bytes of "é".
  const std::size_t insideE = body.find("\xC3") + 1;
  m_server.route("POST", "/v1/completions",
                 ScriptedResponse::streamed(splitAt(body, {10, insideE, body.size() - 3})));
  const CompletionsQuery query{.model = "m", .prompt = "p"};

  auto stream = completionsStream(m_client, query);
  std::vector<std::string> texts;
  while (auto chunk = stream.next()) texts.push_back(chunk->choices.at(0).text);

  EXPECT_EQ(texts, (std::vector<std::string>{"Hé", "llo"}));
  EXPECT_FALSE(query.stream);
  expectJsonPost(request(), "/v1/completions", R"({"model":"m","prompt":"p","stream":true})");
}

TEST_F(OtherEndpoints, EmbeddingsPostTheInputBareAndReadTheVectors) {
  m_server.route(
      "POST", "/v1/embeddings",
      ScriptedResponse::json(
          200,
          R"({"object":"list","data":[{"object":"embedding","index":0,)"
          R"("embedding":[-0.006929283,-0.005336422,0.00024047505]},)"
          R"({"object":"embedding","index":1,"embedding":[0.1,0.2,0.3]}],)"
          R"("model":"text-embedding-3-small","usage":{"prompt_tokens":4,"total_tokens":4}})"));
  const EmbeddingsQuery query{.input = EmbeddingsQuery::Input::intMatrix({{1212, 318}, {257}}),
                              .model = "text-embedding-3-small",
                              .encodingFormat = EmbeddingsQuery::EncodingFormat::float_};
  // The callback form, which the other forms wrap.
  std::promise<Result<EmbeddingsResult>> promise;
  m_client.embeddings(query, [&](Result<EmbeddingsResult> r) { promise.set_value(std::move(r)); });
  const auto result = answerOf(promise.get_future());
  ASSERT_TRUE(result) << describe(result.error());
  expectJsonPost(request(), "/v1/embeddings",
                 R"({"input":[[1212,318],[257]],"model":"text-embedding-3-small",)"
                 R"("encoding_format":"float"})");
  ASSERT_EQ(result->data.size(), 2u);
  EXPECT_EQ(result->data[0].embedding,
            (std::vector<double>{-0.006929283, -0.005336422, 0.00024047505}));
  EXPECT_EQ(result->data[1].index, 1);
  EXPECT_EQ(result->usage, (EmbeddingsResult::Usage{4, 4}));
}

TEST_F(OtherEndpoints, ModelsAreListedAndLookedUpWithGetsWithoutBody) {
  const std::string gpt4 =
      R"({"id":"gpt-4","object":"model","created":1687882411,"owned_by":"openai"})";
  m_server.route(
      "GET", "/v1/models",
      ScriptedResponse::json(200, R"({"object":"list","data":[)" + gpt4 +
                                      R"(,{"id":"dall-e-3","object":"model","created":1698785189,)"
                                      R"("owned_by":"system"}]})"));
  m_server.route("GET", "/v1/models/gpt-4", ScriptedResponse::json(200, gpt4));

  const auto list = answerOf(models(m_client));
  const auto one = answerOf(model(m_client, ModelQuery{"gpt-4"}));

  for (std::size_t i = 0; i < 2; ++i) {
    const auto sent = request(i);
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(sent.path, i == 0 ? "/v1/models" : "/v1/models/gpt-4");
    EXPECT_EQ(sent.body, "");
    EXPECT_EQ(sent.header("Authorization"), "Bearer sk-test");
    EXPECT_EQ(sent.header("Content-Type"), "application/json");
  }
  ASSERT_EQ(list.data.size(), 2u);
  EXPECT_EQ(list.data[1].ownedBy, "system");
  EXPECT_EQ(list.object, "list");
  EXPECT_EQ(
      one,
      (ModelResult{.id = "gpt-4", .created = 1687882411, .object = "model", .ownedBy = "openai"}));
}

TEST_F(OtherEndpoints, AModelIdentifierStaysOneSegmentOfThePath) {
  m_server.setDefault(
      ScriptedResponse::json(200, R"({"id":"x","object":"model","created":1,"owned_by":"o"})"));
  struct Case {
    std::string model;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"ft:gpt-3.5-turbo:acme::8abc", "/v1/models/ft:gpt-3.5-turbo:acme::8abc"},
      {"../files", "/v1/models/..%2Ffiles"},
      {"..", "/v1/models/%2E%2E"},
      {"a?b#c", "/v1/models/a%3Fb%23c"},
      {"a%2Fb", "/v1/models/a%252Fb"},
      {"", "/v1/models/"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].model);
    answerOf(model(m_client, ModelQuery{cases[i].model}));
    const auto sent = request(i);
    EXPECT_EQ(sent.path, cases[i].path);
    EXPECT_EQ(sent.query, "");
  }
}

TEST_F(OtherEndpoints, SpeechPostsTheCheckedQueryAndReturnsTheBodyAsItCame) {
  const std::string audio("ID3\x04\x00\x00\xFF\xFB\x90\x00", 10);
  m_server.route("POST", "/v1/audio/speech", ScriptedResponse::text(200, audio, "audio/mpeg"));
  const AudioSpeechQuery query(Model::tts_1_hd, "Today is a wonderful day",
                               AudioSpeechQuery::AudioSpeechVoice::alloy,
                               AudioSpeechQuery::AudioSpeechResponseFormat::mp3, 1.25);
  const auto result = answerOf(audioCreateSpeech(m_client, query));
  expectJsonPost(request(), "/v1/audio/speech",
                 R"({"model":"tts-1-hd","input":"Today is a wonderful day","voice":"alloy",)"
                 R"("response_format":"mp3","speed":"1.25"})");
  EXPECT_EQ(result.audio, toBytes(audio));
}

TEST_F(OtherEndpoints, TranscriptionsAndTranslationsUploadTheFileAndReadTheText) {
  m_server.route("POST", "/v1/audio/transcriptions",
                 ScriptedResponse::json(200, R"({"text":"Guten Morgen.","language":"german"})"));
  m_server.route("POST", "/v1/audio/translations",
                 ScriptedResponse::json(200, R"({"text":"Good morning."})"));
  const Bytes audio = toBytes(std::string("OggS\x00\x02\xFF", 7));
  const AudioTranscriptionQuery transcription(audio, AudioTranscriptionQuery::FileType::ogg,
                                              Model::whisper_1, std::nullopt, 0, "de");
  const AudioTranslationQuery translation(audio, AudioTranscriptionQuery::FileType::mpga,
                                          Model::whisper_1, "Greetings", std::nullopt,
                                          AudioTranscriptionQuery::ResponseFormat::json);

  EXPECT_EQ(answerOf(audioTranscriptions(m_client, transcription)).text, "Guten Morgen.");
  EXPECT_EQ(answerOf(audioTranslations(m_client, translation)).text, "Good morning.");

  const auto first = request(0);
  std::string boundary = expectMultipartPost(first, "/v1/audio/transcriptions");
  EXPECT_EQ(first.body,
            "--" + boundary +
                "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"speech.ogg\"\r\n"
                "Content-Type: audio/ogg\r\n\r\n" +
                std::string("OggS\x00\x02\xFF", 7) + "\r\n--" + boundary +
                "\r\nContent-Disposition: form-data; name=\"model\"\r\n\r\nwhisper-1\r\n--" +
                boundary +
                "\r\nContent-Disposition: form-data; name=\"temperature\"\r\n\r\n0.0\r\n--" +
                boundary + "\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\nde\r\n--" +
                boundary + "--\r\n");

  const auto second = request(1);
  boundary = expectMultipartPost(second, "/v1/audio/translations");
  EXPECT_EQ(second.body, tessra::toString(translation.encode(boundary)));
  EXPECT_NE(second.body.find("filename=\"speech.mp3\"\r\nContent-Type: audio/mp3"),
            std::string::npos);
  EXPECT_NE(request(0).header("Content-Type"), second.header("Content-Type"));
}

TEST_F(OtherEndpoints, ImageEditsAndVariationsUploadThePicturesAndReadTheImages) {
  const std::string images =
      R"({"created":1713833628,"data":[{"url":"https://files.example/img-1.png"},)"
      R"({"b64_json":"iVBORw0KGgo=","revised_prompt":"A cat in a red hat"}]})";
  m_server.route("POST", "/v1/images/edits", ScriptedResponse::json(200, images));
  m_server.route("POST", "/v1/images/variations", ScriptedResponse::json(200, images));
  const Bytes png = toBytes(std::string("\x89PNG\r\n\x1A\n\x00", 9));
  const ImageEditsQuery edit(png, "Put a red hat on the cat", toBytes("MASK"), Model::dall_e_2, 2,
                             ImagesQuery::ResponseFormat::url, ImagesQuery::Size::_512);
  const ImageVariationsQuery variation(png, Model::dall_e_2, 1,
                                       ImagesQuery::ResponseFormat::b64_json, "256x256", "u-1");

  const auto edited = answerOf(imageEdits(m_client, edit));
  const auto varied = answerOf(imageVariations(m_client, variation));

  const auto first = request(0);
  const std::string boundary = expectMultipartPost(first, "/v1/images/edits");
  EXPECT_EQ(first.body, tessra::toString(edit.encode(boundary)));
  // The parts in their order, each once.
  std::vector<std::size_t> at;
  for (const char* part : {"name=\"image\"; filename=\"image.png\"\r\nContent-Type: image/png",
                           "name=\"mask\"; filename=\"mask.png\"\r\nContent-Type: image/png",
                           "name=\"model\"", "name=\"response_format\"", "name=\"prompt\"",
                           "name=\"n\"\r\n\r\n2\r\n", "name=\"size\"\r\n\r\n512x512\r\n"}) {
    at.push_back(first.body.find(part));
    EXPECT_NE(at.back(), std::string::npos) << part;
  }
  EXPECT_TRUE(std::ranges::is_sorted(at));
  const auto second = request(1);
  EXPECT_EQ(
      second.body,
      tessra::toString(variation.encode(expectMultipartPost(second, "/v1/images/variations"))));

  for (const auto* result : {&edited, &varied}) {
    EXPECT_EQ(result->created, 1713833628.0);
    ASSERT_EQ(result->data.size(), 2u);
    EXPECT_EQ(result->data[0].url, "https://files.example/img-1.png");
    EXPECT_EQ(result->data[1].revisedPrompt, "A cat in a red hat");
  }
}

TEST_F(OtherEndpoints, EveryEndpointFailsWithTheServicesMessage) {
  m_server.setDefault(ScriptedResponse::json(401, kEnvelope));
  const Bytes bytes = toBytes("x");
  std::vector<std::pair<std::string, ErrorPtr>> failures;
  failures.emplace_back("completions",
                        failureOf(completions(m_client, CompletionsQuery{.model = "m"})));
  failures.emplace_back("edits", failureOf(edits(m_client, EditsQuery{.model = "m"})));
  failures.emplace_back("embeddings", failureOf(embeddings(m_client, EmbeddingsQuery{})));
  failures.emplace_back("moderations", failureOf(moderations(m_client, ModerationsQuery{"x"})));
  failures.emplace_back("model", failureOf(model(m_client, ModelQuery{"gpt-4"})));
  failures.emplace_back("models", failureOf(models(m_client)));
  failures.emplace_back(
      "speech",
      failureOf(audioCreateSpeech(
          m_client, AudioSpeechQuery("tts-1", "x", AudioSpeechQuery::AudioSpeechVoice::nova))));
  failures.emplace_back(
      "transcriptions",
      failureOf(audioTranscriptions(
          m_client, AudioTranscriptionQuery(bytes, AudioTranscriptionQuery::FileType::wav, "m"))));
  failures.emplace_back(
      "translations",
      failureOf(audioTranslations(
          m_client, AudioTranslationQuery(bytes, AudioTranscriptionQuery::FileType::wav, "m"))));
  failures.emplace_back("image edits",
                        failureOf(imageEdits(m_client, ImageEditsQuery(bytes, "p"))));
  failures.emplace_back("image variations",
                        failureOf(imageVariations(m_client, ImageVariationsQuery(bytes))));
  for (const auto& [name, error] : failures) {
    SCOPED_TRACE(name);
    const auto envelope = errorAs<APIErrorResponse>(error);
    ASSERT_TRUE(envelope) << describe(error);
    EXPECT_STREQ(envelope->what(), kServiceMessage);
    EXPECT_EQ(envelope->error.code, "invalid_api_key");
  }
  EXPECT_EQ(m_server.requestCount(), failures.size());
}

TEST_F(OtherEndpoints, AnAnswerThatIsNotTheRecordFailsWithItsDecodingError) {
  m_server.route("POST", "/v1/edits",
                 ScriptedResponse::json(200, R"({"object":"edit","created":1,"choices":[]})"));
  const auto error = errorAs<platform::JsonDecodingError>(
      failureOf(edits(m_client, EditsQuery{.model = "m", .instruction = "i"})));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->codingPath(), "usage");
}

TEST_F(OtherEndpoints, TheOrganizationTravelsWithEveryKindOfRequest) {
  auto configuration = configurationFor(m_server);
  configuration.organizationIdentifier = "org-7";
  AIClient client(configuration);
  m_server.route("GET", "/v1/models",
                 ScriptedResponse::json(200, R"({"object":"list","data":[]})"));
  m_server.route("POST", "/v1/images/variations",
                 ScriptedResponse::json(200, R"({"created":1,"data":[]})"));
  EXPECT_TRUE(answerOf(models(client)).data.empty());
  EXPECT_TRUE(answerOf(imageVariations(client, ImageVariationsQuery(toBytes("p")))).data.empty());
  EXPECT_EQ(clientHeaders(request(0)), (std::vector<std::string>{"Authorization: Bearer sk-test",
                                                                 "Content-Type: application/json",
                                                                 "OpenAI-Organization: org-7"}));
  const auto upload = request(1);
  expectMultipartPost(upload, "/v1/images/variations");
  EXPECT_EQ(upload.header("OpenAI-Organization"), "org-7");
}

}  // namespace
}  // namespace tessra::aiclient
