// The publisher forms of the endpoint operations (publisher.h), named after the operation with
// "Publisher" added: `chatsPublisher(client, query)`, `chatsStreamPublisher(client, query)`.
//
// Each calls its operation once, at once, before it returns. A one-answer form publishes the
// answer and finishes, or fails with the client's error unchanged; every subscriber gets that
// same result. A stream form publishes every event as a `Result`: a record, or the error of an
// event that is none, after which later records still come; the client's completion finishes it
// or fails it. What a stream sends before the first subscriber arrives is kept for that
// subscriber. Once nobody can receive its values any more (every subscription cancelled and
// every handle to the publisher dropped) the stream's transfer is cancelled.
#pragma once

#include <concepts>
#include <utility>

#include "aiclient/ai_client_protocol.h"
#include "aiclient/publisher.h"

namespace tessra::aiclient {

namespace detail {

template <class T, class Start>
AnyPublisher<T> publishOne(Start&& start) {
  return makeFuture<T>(
      [&](std::function<void(Result<T>)> promise) { start(Completion<T>(std::move(promise))); });
}

template <class Chunk, class Start>
AnyPublisher<Result<Chunk>> publishStream(Start&& start) {
  PassthroughSubject<Result<Chunk>> subject;
  StreamingTask task = start(
      StreamResultHandler<Chunk>(
          [subject](Result<Chunk> result) { subject.send(std::move(result)); }),
      StreamCompletion([subject](ErrorPtr error) { subject.sendCompletion(std::move(error)); }));
  subject.setOnAbandon([task] { task.cancel(); });
  return subject.eraseToAnyPublisher();
}

}  // namespace detail

// 0
template <AIClientProtocol Client, std::same_as<CompletionsQuery> Query>
auto completionsPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<CompletionsResult, Query>>(
      [&](auto done) { client.completions(query, std::move(done)); });
}

// 1
template <AIClientProtocol Client, std::same_as<CompletionsQuery> Query>
auto completionsStreamPublisher(Client& client, const Query& query) {
  return detail::publishStream<DeferredType<CompletionsResult, Query>>(
      [&](auto onResult, auto done) {
        return client.completionsStream(query, std::move(onResult), std::move(done));
      });
}

// 2
template <AIClientProtocol Client>
AnyPublisher<ImagesResult> imagesPublisher(Client& client, const ImagesQuery& query) {
  return detail::publishOne<ImagesResult>(
      [&](auto done) { client.images(query, std::move(done)); });
}

// 3
template <AIClientProtocol Client, std::same_as<ImageEditsQuery> Query>
AnyPublisher<ImagesResult> imageEditsPublisher(Client& client, const Query& query) {
  return detail::publishOne<ImagesResult>(
      [&](auto done) { client.imageEdits(query, std::move(done)); });
}

// 4
template <AIClientProtocol Client, std::same_as<ImageVariationsQuery> Query>
AnyPublisher<ImagesResult> imageVariationsPublisher(Client& client, const Query& query) {
  return detail::publishOne<ImagesResult>(
      [&](auto done) { client.imageVariations(query, std::move(done)); });
}

// 5
template <AIClientProtocol Client, std::same_as<EmbeddingsQuery> Query>
auto embeddingsPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<EmbeddingsResult, Query>>(
      [&](auto done) { client.embeddings(query, std::move(done)); });
}

// 6
template <AIClientProtocol Client>
AnyPublisher<ChatResult> chatsPublisher(Client& client, const ChatQuery& query) {
  return detail::publishOne<ChatResult>([&](auto done) { client.chats(query, std::move(done)); });
}

// 7
template <AIClientProtocol Client>
AnyPublisher<Result<ChatStreamResult>> chatsStreamPublisher(Client& client,
                                                            const ChatQuery& query) {
  return detail::publishStream<ChatStreamResult>([&](auto onResult, auto done) {
    return client.chatsStream(query, std::move(onResult), std::move(done));
  });
}

// 8
template <AIClientProtocol Client, std::same_as<EditsQuery> Query>
auto editsPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<EditsResult, Query>>(
      [&](auto done) { client.edits(query, std::move(done)); });
}

// 9
template <AIClientProtocol Client, std::same_as<ModelQuery> Query>
auto modelPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<ModelResult, Query>>(
      [&](auto done) { client.model(query, std::move(done)); });
}

// 10
template <AIClientProtocol Client>
auto modelsPublisher(Client& client) {
  return detail::publishOne<DeferredType<ModelsResult, Client>>(
      [&](auto done) { client.models(std::move(done)); });
}

// 11
template <AIClientProtocol Client, std::same_as<ModerationsQuery> Query>
auto moderationsPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<ModerationsResult, Query>>(
      [&](auto done) { client.moderations(query, std::move(done)); });
}

// 12
template <AIClientProtocol Client, std::same_as<AudioSpeechQuery> Query>
auto audioCreateSpeechPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<AudioSpeechResult, Query>>(
      [&](auto done) { client.audioCreateSpeech(query, std::move(done)); });
}

// 13
template <AIClientProtocol Client, std::same_as<AudioTranscriptionQuery> Query>
auto audioTranscriptionsPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<AudioTranscriptionResult, Query>>(
      [&](auto done) { client.audioTranscriptions(query, std::move(done)); });
}

// 14
template <AIClientProtocol Client, std::same_as<AudioTranslationQuery> Query>
auto audioTranslationsPublisher(Client& client, const Query& query) {
  return detail::publishOne<DeferredType<AudioTranslationResult, Query>>(
      [&](auto done) { client.audioTranslations(query, std::move(done)); });
}

}  // namespace tessra::aiclient
