#include "tokenizer/tokenizer.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <thread>

#include "testing/http_server.h"
#include "testing/temp_dir.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra::tokenizer {
namespace {

using testing::HttpServer;
using testing::ScriptedResponse;
using testing::TempDir;
using Ids = std::vector<Rank>;

TEST(ModelLookup, ResolvesNamesRowsFirstThenPrefixes) {
  struct Case {
    const char* model;
    const char* encoding;  // null: no encoding
  };
  const Case cases[] = {
      {"gpt-4", "cl100k_base"},
      {"gpt-3.5-turbo", "cl100k_base"},
      {"gpt-4-0613", "cl100k_base"},
      {"gpt-3.5-turbo-16k", "cl100k_base"},
      {"text-embedding-ada-002", "cl100k_base"},
      {"text-davinci-003", "p50k_base"},
      {"text-davinci-edit-001", "p50k_edit"},
      {"code-search-ada-code-001", "r50k_base"},
      {"davinci", "r50k_base"},
      {"gpt2", "gpt2"},
      {"gpt-4o", nullptr},
      {"gpt3", nullptr},
      {"gpt-4-", "cl100k_base"},
      {"GPT-4", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const Vocab* vocab = Model::vocabFor(c.model);
    if (!c.encoding) {
      EXPECT_EQ(vocab, nullptr) << c.model;
      continue;
    }
    ASSERT_NE(vocab, nullptr) << c.model;
    EXPECT_EQ(vocab->name, c.encoding) << c.model;
  }
  EXPECT_EQ(Model::modelToEncoding().size(), 33u);
  EXPECT_EQ(Vocab::named("p50k_edit")->path, Vocab::named("p50k_base")->path);
  EXPECT_EQ(Vocab::named("gpt2")->format(), VocabFormat::mergesFile);
  EXPECT_EQ(Vocab::named("r50k_base")->format(), VocabFormat::rankFile);
}

TEST(TokenizerTest, ChatModelsCountExactlyWithNoHostNoCacheAndNoConfiguration) {
  Tokenizer tokenizer({.baseUrl = std::nullopt, .cacheDirectory = std::nullopt});
  auto gpt4 = tokenizer.getEncoding("gpt-4");
  auto gpt35 = tokenizer.getEncoding("gpt-3.5-turbo");
  auto again = tokenizer.getEncoding("gpt-4");
  ASSERT_TRUE(gpt4 && gpt35 && again);
  EXPECT_EQ(gpt4->name(), "gpt-4");
  EXPECT_EQ(gpt35->name(), "gpt-3.5-turbo");
  EXPECT_NE(gpt4, again);  // a new encoding per call, with equal content
  EXPECT_EQ(again->encode("hello world"), (Ids{15339, 1917}));
  EXPECT_EQ(gpt4->encode("hello world"), gpt35->encode("hello world"));
  EXPECT_EQ(gpt4->maxValueToken(), 100276);
  EXPECT_EQ(gpt4->specialTokens().at("<|endofprompt|>"), 100276);
  EXPECT_EQ(gpt4->regex().pattern(), kPatternB);
  EXPECT_EQ(gpt4->decode(gpt4->encode("Ünïcödé ✓")), "Ünïcödé ✓");

  EXPECT_EQ(tokenizer.getEncoding("gpt-4o"), nullptr);
  EXPECT_EQ(tokenizer.getEncoding("gpt3"), nullptr);
  EXPECT_EQ(tokenizer.getEncoding(""), nullptr);
}

class TokenizerWithHost : public ::testing::Test {
 protected:
  VocabularyLoader::Configuration configuration() const {
    return {.baseUrl = m_server.baseUrl(), .cacheDirectory = m_cache.path()};
  }

  TempDir m_cache;
  HttpServer m_server;
};

TEST_F(TokenizerWithHost, TheBuiltInVocabularyCountsAsTheHostsCopy) {
  // What the host served once and the cache kept, against the built-in copy.
  m_cache.write(Load::cacheFileName(m_server.baseUrl() + "/encodings/cl100k_base.ranks"),
                std::string(test::cl100kBytes()));
  std::string text;
  for (int i = 0; i < 200; ++i) {
    text += fmt::format(
        "Paragraph {}: The committee's report (2,417 pages) wasn't finished until 03:45 — "
        "naïve café owners in Zürich said «très bien», 東京の天気は晴れ, مرحبا بالعالم. "
        "    Indented code: for (int i = 0; i < n; ++i) {{ sum += a[i]; }}\n\n",
        i);
  }
  Tokenizer withHost(configuration());
  Tokenizer builtIn({.baseUrl = std::nullopt, .cacheDirectory = std::nullopt});
  const Ids fromHost = withHost.getEncoding("gpt-4")->encode(text);
  EXPECT_EQ(builtIn.getEncoding("gpt-4")->encode(text), fromHost);
  EXPECT_LT(fromHost.size(), text.size() / 2);  // far fewer than one token a byte
  EXPECT_EQ(m_server.requestCount(), 0u);
}

TEST_F(TokenizerWithHost, EncodingsSharingAFileLoadItOnce) {
  m_server.route("GET", "/encodings/p50k_base.ranks",
                 ScriptedResponse::text(200, "IQ== 0\nIg== 1\nSGk= 2\n"));
  Tokenizer tokenizer(configuration());
  auto base = tokenizer.getEncoding("text-davinci-003");
  auto edit = tokenizer.getEncoding("text-davinci-edit-001");
  ASSERT_TRUE(base && edit);
  EXPECT_EQ(base->encode("Hi!\""), (Ids{2, 0, 1}));
  EXPECT_EQ(edit->encode("Hi!\""), (Ids{2, 0, 1}));
  EXPECT_EQ(base->regex().pattern(), kPatternA);
  EXPECT_EQ(base->specialTokens().size(), 1u);
  EXPECT_EQ(edit->specialTokens().size(), 4u);
  EXPECT_EQ(edit->maxValueToken(), 50283);
  EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST_F(TokenizerWithHost, FailedLoadCountsEveryByteAndIsNotRetried) {
  m_server.route("GET", "/encodings/p50k_base.ranks", ScriptedResponse::text(404, "Not Found"));
  Tokenizer tokenizer(configuration());
  const std::string text = "hello wörld";
  for (int call = 0; call < 3; ++call) {
    auto encoding = tokenizer.getEncoding("text-davinci-003");
    ASSERT_TRUE(encoding);
    EXPECT_EQ(encoding->encode(text).size(), text.size());
  }
  EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST_F(TokenizerWithHost, ConcurrentFirstUsesShareOneDownload) {
  m_server.route("GET", "/encodings/p50k_base.ranks",
                 ScriptedResponse::text(200, std::string(test::cl100kBytes())));
  Tokenizer tokenizer(configuration());
  constexpr int kThreads = 8;
  std::vector<Ids> results(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      auto encoding = tokenizer.getEncoding(i % 2 ? "text-davinci-003" : "code-davinci-002");
      results[i] = encoding->encode("The same text, counted on every thread.");
    });
  }
  for (auto& thread : threads) thread.join();
  for (const Ids& ids : results) EXPECT_EQ(ids, results[0]);
  EXPECT_EQ(results[0],
            test::cl100kWithPatternA().encodeOrdinary("The same text, counted on every thread."));
  EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST_F(TokenizerWithHost, SharedCounterIsConfiguredFromTheEnvironment) {
  m_server.route("GET", "/encodings/p50k_base.ranks", ScriptedResponse::text(200, "IQ== 0\n"));
  test::ScopedEnvironment environment;
  environment.set("TESSRA_VOCAB_BASE_URL", m_server.baseUrl().c_str());
  environment.set("XDG_CACHE_HOME", m_cache.path().c_str());
  environment.set("TESSRA_CACHE_DIR", nullptr);
  auto encoding = Tokenizer::shared().getEncoding("gpt-4");
  ASSERT_TRUE(encoding);
  EXPECT_EQ(encoding->encode("hello world"), (Ids{15339, 1917}));
  ASSERT_TRUE(Tokenizer::shared().getEncoding("text-davinci-003"));
  EXPECT_TRUE(std::filesystem::exists(
      m_cache.path() / "TessraAI" /
      Load::cacheFileName(m_server.baseUrl() + "/encodings/p50k_base.ranks")));
}

}  // namespace
}  // namespace tessra::tokenizer
