// The fifteen endpoint operations every client of the service offers, in their fixed order, as
// a concept: the awaitable forms (awaitable_endpoints.h) and the publisher forms
// (publisher_endpoints.h) are written once over it, so any client with these operations has
// them.
//
//   0 completions          5 embeddings      10 models
//   1 completionsStream    6 chats           11 moderations
//   2 images               7 chatsStream     12 audioCreateSpeech
//   3 imageEdits           8 edits           13 audioTranscriptions
//   4 imageVariations      9 model           14 audioTranslations
//
// A plain operation takes its query (`models` none) and a completion called once with the
// answer or the error. A stream operation takes its query, a handler called once per event
// (a record or the error of an event that is none) and a completion called once at the end with
// the error or null, and returns a `StreamingTask` that can cancel it.
#pragma once

#include <concepts>

#include "aiclient/ai_client.h"

namespace tessra::aiclient {

template <class Client>
concept AIClientProtocol = requires(
    Client& client, const CompletionsQuery& completionsQuery,
    Completion<CompletionsResult> completionsDone,
    StreamResultHandler<CompletionsResult> onCompletion, const ImagesQuery& imagesQuery,
    const ImageEditsQuery& imageEditsQuery, const ImageVariationsQuery& imageVariationsQuery,
    Completion<ImagesResult> imagesDone, const EmbeddingsQuery& embeddingsQuery,
    Completion<EmbeddingsResult> embeddingsDone, const ChatQuery& chatQuery,
    Completion<ChatResult> chatDone, StreamResultHandler<ChatStreamResult> onChatChunk,
    const EditsQuery& editsQuery, Completion<EditsResult> editsDone, const ModelQuery& modelQuery,
    Completion<ModelResult> modelDone, Completion<ModelsResult> modelsDone,
    const ModerationsQuery& moderationsQuery, Completion<ModerationsResult> moderationsDone,
    const AudioSpeechQuery& speechQuery, Completion<AudioSpeechResult> speechDone,
    const AudioTranscriptionQuery& transcriptionQuery,
    Completion<AudioTranscriptionResult> transcriptionDone,
    const AudioTranslationQuery& translationQuery,
    Completion<AudioTranslationResult> translationDone, StreamCompletion streamDone) {
  client.completions(completionsQuery, completionsDone);
  {
    client.completionsStream(completionsQuery, onCompletion, streamDone)
    } -> std::same_as<StreamingTask>;
  client.images(imagesQuery, imagesDone);
  client.imageEdits(imageEditsQuery, imagesDone);
  client.imageVariations(imageVariationsQuery, imagesDone);
  client.embeddings(embeddingsQuery, embeddingsDone);
  client.chats(chatQuery, chatDone);
  { client.chatsStream(chatQuery, onChatChunk, streamDone) } -> std::same_as<StreamingTask>;
  client.edits(editsQuery, editsDone);
  client.model(modelQuery, modelDone);
  client.models(modelsDone);
  client.moderations(moderationsQuery, moderationsDone);
  client.audioCreateSpeech(speechQuery, speechDone);
  client.audioTranscriptions(transcriptionQuery, transcriptionDone);
  client.audioTranslations(translationQuery, translationDone);
};

}  // namespace tessra::aiclient
