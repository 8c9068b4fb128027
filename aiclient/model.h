// The model identifiers the service knows, as named constants.
//
// They are conveniences: a request's model is a plain string and takes any identifier, listed
// here or not. Each constant is named after its identifier with "-" and "." turned into "_"
// (`Model::gpt_3_5_turbo` holds "gpt-3.5-turbo").
#pragma once

#include <array>

namespace tessra::aiclient {

struct Model {
  Model() = delete;

  // Chat, GPT-4 generation.
  static constexpr const char* gpt_4o = "gpt-4o";
  static constexpr const char* gpt_4_turbo = "gpt-4-turbo";
  static constexpr const char* gpt_4_turbo_preview = "gpt-4-turbo-preview";
  static constexpr const char* gpt_4_vision_preview = "gpt-4-vision-preview";
  static constexpr const char* gpt_4_0125_preview = "gpt-4-0125-preview";
  static constexpr const char* gpt_4_1106_preview = "gpt-4-1106-preview";
  static constexpr const char* gpt_4 = "gpt-4";
  static constexpr const char* gpt_4_0613 = "gpt-4-0613";
  static constexpr const char* gpt_4_0314 = "gpt-4-0314";
  static constexpr const char* gpt_4_32k = "gpt-4-32k";
  static constexpr const char* gpt_4_32k_0613 = "gpt-4-32k-0613";
  static constexpr const char* gpt_4_32k_0314 = "gpt-4-32k-0314";

  // Chat, GPT-3.5 generation.
  static constexpr const char* gpt_3_5_turbo = "gpt-3.5-turbo";
  static constexpr const char* gpt_3_5_turbo_0125 = "gpt-3.5-turbo-0125";
  static constexpr const char* gpt_3_5_turbo_1106 = "gpt-3.5-turbo-1106";
  static constexpr const char* gpt_3_5_turbo_0613 = "gpt-3.5-turbo-0613";
  static constexpr const char* gpt_3_5_turbo_0301 = "gpt-3.5-turbo-0301";
  static constexpr const char* gpt_3_5_turbo_16k = "gpt-3.5-turbo-16k";
  static constexpr const char* gpt_3_5_turbo_16k_0613 = "gpt-3.5-turbo-16k-0613";

  // Text completion.
  static constexpr const char* text_davinci_003 = "text-davinci-003";
  static constexpr const char* text_davinci_002 = "text-davinci-002";
  static constexpr const char* text_curie_001 = "text-curie-001";
  static constexpr const char* text_babbage_001 = "text-babbage-001";
  static constexpr const char* text_ada_001 = "text-ada-001";
  static constexpr const char* text_davinci_001 = "text-davinci-001";

  // Edits.
  static constexpr const char* code_davinci_edit_001 = "code-davinci-edit-001";

  // Speech.
  static constexpr const char* tts_1 = "tts-1";
  static constexpr const char* tts_1_hd = "tts-1-hd";

  // Transcription.
  static constexpr const char* whisper_1 = "whisper-1";

  // Image generation.
  static constexpr const char* dall_e_2 = "dall-e-2";
  static constexpr const char* dall_e_3 = "dall-e-3";

  // Base models.
  static constexpr const char* davinci = "davinci";
  static constexpr const char* curie = "curie";
  static constexpr const char* babbage = "babbage";
  static constexpr const char* ada = "ada";

  // Embeddings and search.
  static constexpr const char* text_embedding_ada_002 = "text-embedding-ada-002";
  static constexpr const char* text_search_ada_doc_001 = "text-search-ada-doc-001";
  static constexpr const char* text_search_babbage_doc_001 = "text-search-babbage-doc-001";
  static constexpr const char* text_search_babbage_query_001 = "text-search-babbage-query-001";
  static constexpr const char* text_embedding_3_small = "text-embedding-3-small";
  static constexpr const char* text_embedding_3_large = "text-embedding-3-large";

  // Moderation.
  static constexpr const char* text_moderation_stable = "text-moderation-stable";
  static constexpr const char* text_moderation_latest = "text-moderation-latest";
  static constexpr const char* text_moderation_007 = "text-moderation-007";

  // Every identifier above, in the same order.
  static constexpr std::array<const char*, 44> all{
      gpt_4o,
      gpt_4_turbo,
      gpt_4_turbo_preview,
      gpt_4_vision_preview,
      gpt_4_0125_preview,
      gpt_4_1106_preview,
      gpt_4,
      gpt_4_0613,
      gpt_4_0314,
      gpt_4_32k,
      gpt_4_32k_0613,
      gpt_4_32k_0314,
      gpt_3_5_turbo,
      gpt_3_5_turbo_0125,
      gpt_3_5_turbo_1106,
      gpt_3_5_turbo_0613,
      gpt_3_5_turbo_0301,
      gpt_3_5_turbo_16k,
      gpt_3_5_turbo_16k_0613,
      text_davinci_003,
      text_davinci_002,
      text_curie_001,
      text_babbage_001,
      text_ada_001,
      text_davinci_001,
      code_davinci_edit_001,
      tts_1,
      tts_1_hd,
      whisper_1,
      dall_e_2,
      dall_e_3,
      davinci,
      curie,
      babbage,
      ada,
      text_embedding_ada_002,
      text_search_ada_doc_001,
      text_search_babbage_doc_001,
      text_search_babbage_query_001,
      text_embedding_3_small,
      text_embedding_3_large,
      text_moderation_stable,
      text_moderation_latest,
      text_moderation_007,
  };
};

}  // namespace tessra::aiclient
