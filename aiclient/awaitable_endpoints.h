// The awaitable forms of the endpoint operations: one answer as a `std::future`, a stream as a
// `platform::AsyncStream` of records.
//
//   std::future<ChatResult> answer = chats(client, query);   // the request is sent now
//   ChatResult result = answer.get();                          // or rethrows the very error
//
//   platform::AsyncStream<ChatStreamResult> chunks = chatsStream(client, query);
//   while (auto chunk = chunks.next()) { ... }                 // rethrows the ending error
//
// Each form calls its operation once, at once. A future is resumed once with the answer or the
// error the client reported, unchanged. A stream yields every record in order; the first event
// that is no record (the service's error envelope, a chunk that does not decode) ends it with
// that error, as does a failed transfer; a clean end of the answer ends it without one.
//
// Cancel. A consumer that stops (cancels or drops the stream) cancels its transfer: the
// connection is closed and the chunks that would follow are never read. A stream ended by an
// error cancels its transfer too, since nobody will read on.
//
// Threads: the records are handed over from the client's queues; the future and the stream are
// the thread-safe meeting points. A pending call that the client drops without answering logs
// its label and fails with `PendingCallDroppedError`, so nobody waits forever.
#pragma once

#include <atomic>
#include <concepts>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "aiclient/ai_client_protocol.h"
#include "platform/foundation/async_stream.h"
#include "platform/foundation/error.h"
#include "platform/foundation/logger.h"

namespace tessra::aiclient {

// The client dropped a completion without calling it.
class PendingCallDroppedError : public Error {
 public:
  explicit PendingCallDroppedError(const std::string& label)
      : Error("The request ended without an answer.", label) {}
};

namespace detail {

// The one resumption of an awaitable call; see the top of this file.
template <class T>
class PendingCall {
 public:
  explicit PendingCall(const char* label) : m_label(label) {}
  PendingCall(const PendingCall&) = delete;
  PendingCall& operator=(const PendingCall&) = delete;
  ~PendingCall() {
    if (m_resumed) return;
    platform::logError("{} was dropped without being resumed", m_label);
    m_promise.set_exception(std::make_exception_ptr(PendingCallDroppedError(m_label)));
  }

  std::future<T> future() { return m_promise.get_future(); }

  void resume(Result<T> result) {
    if (m_resumed.exchange(true)) {
      platform::logError("{} was resumed twice; the second result is dropped", m_label);
      return;
    }
    if (result) {
      m_promise.set_value(std::move(*result));
    } else {
      m_promise.set_exception(result.error());
    }
  }

 private:
  const char* m_label;
  std::atomic<bool> m_resumed{false};
  std::promise<T> m_promise;
};

template <class T, class Start>
std::future<T> awaitOne(const char* label, Start&& start) {
  auto call = std::make_shared<PendingCall<T>>(label);
  std::future<T> future = call->future();
  start(Completion<T>([call](Result<T> result) { call->resume(std::move(result)); }));
  return future;
}

// The stream's task, set once the operation has returned it; read from the client's queue.
class StreamTaskHolder {
 public:
  void set(StreamingTask task) {
    std::lock_guard lock(m_mutex);
    m_task = std::move(task);
  }
  void cancel() {
    StreamingTask task;
    {
      std::lock_guard lock(m_mutex);
      task = m_task;
    }
    task.cancel();
  }

 private:
  std::mutex m_mutex;
  StreamingTask m_task;
};

template <class Chunk, class Start>
platform::AsyncStream<Chunk> awaitStream(Start&& start) {
  auto [stream, continuation] = platform::AsyncStream<Chunk>::makeStream();
  auto task = std::make_shared<StreamTaskHolder>();
  task->set(start(
      StreamResultHandler<Chunk>([continuation, task](Result<Chunk> result) {
        if (result) {
          continuation.yield(std::move(*result));
          return;
        }
        // Stopped before the consumer hears of the end, so nothing of the stream
        // is left running or listed once it has.
        task->cancel();
        continuation.finish(result.error());
      }),
      StreamCompletion([continuation](ErrorPtr error) { continuation.finish(std::move(error)); })));
  continuation.setOnTermination([task](platform::StreamTermination) { task->cancel(); });
  return std::move(stream);
}

}  // namespace detail

// 0
template <AIClientProtocol Client, std::same_as<CompletionsQuery> Query>
auto completions(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<CompletionsResult, Query>>(
      "completions(query:)", [&](auto done) { client.completions(query, std::move(done)); });
}

// 1
template <AIClientProtocol Client, std::same_as<CompletionsQuery> Query>
auto completionsStream(Client& client, const Query& query) {
  return detail::awaitStream<DeferredType<CompletionsResult, Query>>([&](auto onResult, auto done) {
    return client.completionsStream(query, std::move(onResult), std::move(done));
  });
}

// 2
template <AIClientProtocol Client>
std::future<ImagesResult> images(Client& client, const ImagesQuery& query) {
  return detail::awaitOne<ImagesResult>("images(query:)",
                                        [&](auto done) { client.images(query, std::move(done)); });
}

// 3
template <AIClientProtocol Client, std::same_as<ImageEditsQuery> Query>
std::future<ImagesResult> imageEdits(Client& client, const Query& query) {
  return detail::awaitOne<ImagesResult>(
      "imageEdits(query:)", [&](auto done) { client.imageEdits(query, std::move(done)); });
}

// 4
template <AIClientProtocol Client, std::same_as<ImageVariationsQuery> Query>
std::future<ImagesResult> imageVariations(Client& client, const Query& query) {
  return detail::awaitOne<ImagesResult>("imageVariations(query:)", [&](auto done) {
    client.imageVariations(query, std::move(done));
  });
}

// 5
template <AIClientProtocol Client, std::same_as<EmbeddingsQuery> Query>
auto embeddings(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<EmbeddingsResult, Query>>(
      "embeddings(query:)", [&](auto done) { client.embeddings(query, std::move(done)); });
}

// 6
template <AIClientProtocol Client>
std::future<ChatResult> chats(Client& client, const ChatQuery& query) {
  return detail::awaitOne<ChatResult>("chats(query:)",
                                      [&](auto done) { client.chats(query, std::move(done)); });
}

// 7
template <AIClientProtocol Client>
platform::AsyncStream<ChatStreamResult> chatsStream(Client& client, const ChatQuery& query) {
  return detail::awaitStream<ChatStreamResult>([&](auto onResult, auto done) {
    return client.chatsStream(query, std::move(onResult), std::move(done));
  });
}

// 8
template <AIClientProtocol Client, std::same_as<EditsQuery> Query>
auto edits(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<EditsResult, Query>>(
      "edits(query:)", [&](auto done) { client.edits(query, std::move(done)); });
}

// 9
template <AIClientProtocol Client, std::same_as<ModelQuery> Query>
auto model(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<ModelResult, Query>>(
      "model(query:)", [&](auto done) { client.model(query, std::move(done)); });
}

// 10
template <AIClientProtocol Client>
auto models(Client& client) {
  return detail::awaitOne<DeferredType<ModelsResult, Client>>(
      "models()", [&](auto done) { client.models(std::move(done)); });
}

// 11
template <AIClientProtocol Client, std::same_as<ModerationsQuery> Query>
auto moderations(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<ModerationsResult, Query>>(
      "moderations(query:)", [&](auto done) { client.moderations(query, std::move(done)); });
}

// 12
template <AIClientProtocol Client, std::same_as<AudioSpeechQuery> Query>
auto audioCreateSpeech(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<AudioSpeechResult, Query>>(
      "audioCreateSpeech(query:)",
      [&](auto done) { client.audioCreateSpeech(query, std::move(done)); });
}

// 13
template <AIClientProtocol Client, std::same_as<AudioTranscriptionQuery> Query>
auto audioTranscriptions(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<AudioTranscriptionResult, Query>>(
      "audioTranscriptions(query:)",
      [&](auto done) { client.audioTranscriptions(query, std::move(done)); });
}

// 14
template <AIClientProtocol Client, std::same_as<AudioTranslationQuery> Query>
auto audioTranslations(Client& client, const Query& query) {
  return detail::awaitOne<DeferredType<AudioTranslationResult, Query>>(
      "audioTranslations(query:)",
      [&](auto done) { client.audioTranslations(query, std::move(done)); });
}

}  // namespace tessra::aiclient
