// The operations of the endpoints beyond chat and images: completions (plain and streamed),
// image edits and variations, embeddings, edits, one model and the list of models, moderations,
// speech, transcriptions and translations. `AIClient` inherits them, so a caller writes
// `client.embeddings(query, done)` as for chat; the numbers are the operations' places in the
// fixed order of ai_client_protocol.h.
//
// Each is a template over its records (other_endpoint_records.h), compiled only where those
// records are complete: the program, which sends none of them, never reads their headers. Each
// is written over the client's ways of performing a request (ai_client.h), so what a request
// carries and how its answer is read are decided there once for every endpoint.
#pragma once

#include <concepts>
#include <memory>
#include <utility>

#include "aiclient/operation_callbacks.h"
#include "aiclient/other_endpoint_records.h"

namespace tessra::aiclient {

// The base `Client` (the client itself) derives from; it reaches the client's private ways of
// performing a request as the client's friend.
template <class Client>
class OtherEndpoints {
 public:
  // 0: POST /v1/completions.
  template <std::same_as<CompletionsQuery> Query>
  void completions(const Query& query,
                   Completion<DeferredType<CompletionsResult, Query>> completion) {
    client().template performJSON<DeferredType<CompletionsResult, Query>>(
        "/v1/completions", "POST", query, std::move(completion));
  }

  // 1: POST /v1/completions with "stream": true on a copy of the query.
  template <std::same_as<CompletionsQuery> Query>
  StreamingTask completionsStream(
      const Query& query, StreamResultHandler<DeferredType<CompletionsResult, Query>> onResult,
      StreamCompletion completion = nullptr) {
    Query streamed = query;
    streamed.stream = true;
    return client().template performStreamingRequest<DeferredType<CompletionsResult, Query>>(
        client().buildJSONRequest("/v1/completions", "POST", streamed), std::move(onResult),
        std::move(completion));
  }

  // 3: POST /v1/images/edits, multipart.
  template <std::same_as<ImageEditsQuery> Query>
  void imageEdits(const Query& query, Completion<DeferredType<ImagesResult, Query>> completion) {
    client().template performMultipart<ImagesResult>("/v1/images/edits", query,
                                                     std::move(completion));
  }

  // 4: POST /v1/images/variations, multipart.
  template <std::same_as<ImageVariationsQuery> Query>
  void imageVariations(const Query& query,
                       Completion<DeferredType<ImagesResult, Query>> completion) {
    client().template performMultipart<ImagesResult>("/v1/images/variations", query,
                                                     std::move(completion));
  }

  // 5: POST /v1/embeddings.
  template <std::same_as<EmbeddingsQuery> Query>
  void embeddings(const Query& query,
                  Completion<DeferredType<EmbeddingsResult, Query>> completion) {
    client().template performJSON<DeferredType<EmbeddingsResult, Query>>(
        "/v1/embeddings", "POST", query, std::move(completion));
  }

  // 8: POST /v1/edits.
  template <std::same_as<EditsQuery> Query>
  void edits(const Query& query, Completion<DeferredType<EditsResult, Query>> completion) {
    client().template performJSON<DeferredType<EditsResult, Query>>("/v1/edits", "POST", query,
                                                                    std::move(completion));
  }

  // 9: GET /v1/models/<model>, the identifier percent-encoded as one path segment.
  template <std::same_as<ModelQuery> Query>
  void model(const Query& query, Completion<DeferredType<ModelResult, Query>> completion) {
    client().template performRequest<DeferredType<ModelResult, Query>>(
        client().buildModelRequest(query.model), std::move(completion));
  }

  // 10: GET /v1/models.
  template <class Tag = void>
  void models(Completion<DeferredType<ModelsResult, Tag>> completion) {
    client().template performGet<DeferredType<ModelsResult, Tag>>("/v1/models",
                                                                  std::move(completion));
  }

  // 11: POST /v1/moderations.
  template <std::same_as<ModerationsQuery> Query>
  void moderations(const Query& query,
                   Completion<DeferredType<ModerationsResult, Query>> completion) {
    client().template performJSON<DeferredType<ModerationsResult, Query>>(
        "/v1/moderations", "POST", query, std::move(completion));
  }

  // 12: POST /v1/audio/speech; the answer's bytes are the audio.
  template <std::same_as<AudioSpeechQuery> Query>
  void audioCreateSpeech(const Query& query,
                         Completion<DeferredType<AudioSpeechResult, Query>> completion) {
    client().template performSpeechRequest<DeferredType<AudioSpeechResult, Query>>(
        client().buildJSONRequest("/v1/audio/speech", "POST", query), std::move(completion));
  }

  // 13: POST /v1/audio/transcriptions, multipart.
  template <std::same_as<AudioTranscriptionQuery> Query>
  void audioTranscriptions(const Query& query,
                           Completion<DeferredType<AudioTranscriptionResult, Query>> completion) {
    client().template performMultipart<DeferredType<AudioTranscriptionResult, Query>>(
        "/v1/audio/transcriptions", query, std::move(completion));
  }

  // 14: POST /v1/audio/translations, multipart.
  template <std::same_as<AudioTranslationQuery> Query>
  void audioTranslations(const Query& query,
                         Completion<DeferredType<AudioTranslationResult, Query>> completion) {
    client().template performMultipart<DeferredType<AudioTranslationResult, Query>>(
        "/v1/audio/translations", query, std::move(completion));
  }

 protected:
  OtherEndpoints() = default;

 private:
  Client& client() { return static_cast<Client&>(*this); }
};

}  // namespace tessra::aiclient
