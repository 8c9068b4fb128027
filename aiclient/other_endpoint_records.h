// The records of the endpoints beyond chat and images (audio, completions, edits, embeddings,
// image edits and variations, models, moderations). They are defined with their own coding
// rules in their own headers; the client needs only their names here, and compiles each of these
// operations where its records are complete.
//
// What the client relies on: a JSON query encodes itself (`to_json`); `CompletionsQuery` has a
// `stream` flag; `ModelQuery` has its `model` text; the multipart queries (image edits and
// variations, transcriptions, translations) derive from `MultipartFormDataBodyEncodable`; every
// result decodes itself (`from_json`) except `AudioSpeechResult`, whose `audio` bytes are the
// body of the answer as it came.
#pragma once

namespace tessra::aiclient {

struct CompletionsQuery;
struct CompletionsResult;
struct ImageEditsQuery;
struct ImageVariationsQuery;
struct EmbeddingsQuery;
struct EmbeddingsResult;
struct EditsQuery;
struct EditsResult;
struct ModelQuery;
struct ModelResult;
struct ModelsResult;
struct ModerationsQuery;
struct ModerationsResult;
struct AudioSpeechQuery;
struct AudioSpeechResult;
struct AudioTranscriptionQuery;
struct AudioTranscriptionResult;
struct AudioTranslationQuery;
struct AudioTranslationResult;

namespace detail {
// `T`, named through a template parameter so that a template using it is checked only where
// it is instantiated, when T is complete.
template <class T, class Dependent>
struct Deferred {
  using type = T;
};
}  // namespace detail

template <class T, class Dependent>
using DeferredType = typename detail::Deferred<T, Dependent>::type;

}  // namespace tessra::aiclient
