#include "tokenizer/vocabulary_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/http_server.h"
#include "testing/temp_dir.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra::tokenizer {
namespace {

namespace fs = std::filesystem;
using testing::HttpServer;
using testing::ScriptedResponse;
using testing::TempDir;
using Entries = std::unordered_map<std::string, Rank>;

const Vocab& cl100kVocab() { return *Vocab::named("cl100k_base"); }
// A rank-file vocabulary that is not built in, so the host is asked for it.
const Vocab& hostedVocab() { return *Vocab::named("p50k_base"); }

std::size_t filesIn(const fs::path& folder) {
  if (!fs::exists(folder)) return 0;
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(Load, CacheFileNameIsTheSha256OfTheUrlText) {
  EXPECT_EQ(Load::cacheFileName("https://vocab.example/encodings/cl100k_base.ranks"),
            "9f649920fc375f1f04605ece69975001d160e4b06dc8d8aeec60c48b35d9acf9");
  EXPECT_EQ(Load::cacheFileName("https://vocab.example.org/encodings/cl100k_base.ranks"),
            "44a9423f388475ff4d3cb994c818757b200547eca89b161999a0a1cba6f9fd6d");
  EXPECT_EQ(Load::cacheFileName(""),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  // The built-in vocabulary is the genuine one.
  EXPECT_EQ(Load::cacheFileName(test::cl100kBytes()), test::kCl100kSha256);
}

TEST(Load, ParsesRankFilesLineByLine) {
  struct Case {
    const char* name;
    std::string file;
    Entries expected;
    std::size_t malformed;
    bool complete;
  };
  const Case cases[] = {
      {"one token", "QQ== 5\n", {{"A", 5}}, 0, true},
      {"later rank replaces", "QQ== 5\nQQ== 1 7\n", {{"A", 7}}, 0, true},
      {"unreadable rank removes", "QQ== 5\nQQ== x\n", {}, 1, false},
      {"token not Base64", "QQ== 5\n!!!! 3\n", {{"A", 5}}, 1, false},
      {"runs of spaces and signs", "  QQ==   +9 \nQg== -3\n", {{"A", 9}, {"B", -3}}, 0, true},
      {"empty lines dropped", "\n\nQQ== 1\n\n", {{"A", 1}}, 0, true},
      {"rank beyond 64 bits", "QQ== 9223372036854775808\n", {}, 1, false},
      {"sign twice", "QQ== +-5\n", {}, 1, false},
      {"one field", "QQ==\n", {}, 1, false},
      {"blank line", "QQ== 1\n   \n", {{"A", 1}}, 1, false},
      {"cut short", "QQ== 1\nQg== 2", {{"A", 1}, {"B", 2}}, 0, false},
      {"not UTF-8", "QQ== 1\n\xff\n", {}, 0, false},
      {"empty", "", {}, 0, false},
      {"HTML page", "<html><body>Not here</body></html>\n", {}, 1, false},
  };
  for (const Case& c : cases) {
    const ParsedVocabulary parsed = Load::parseRankFile(c.file);
    EXPECT_EQ(parsed.ranks, c.expected) << c.name;
    EXPECT_EQ(parsed.malformedLines, c.malformed) << c.name;
    EXPECT_EQ(parsed.isComplete(VocabFormat::rankFile), c.complete) << c.name;
  }
}

TEST(Load, ParsesMergesFilesThroughThePrintableCharacterForm) {
  const ParsedVocabulary none = Load::parseMergesFile("");
  ASSERT_EQ(none.ranks.size(), 256u);
  EXPECT_FALSE(none.isComplete(VocabFormat::mergesFile));
  const std::pair<int, Rank> oneByteRanks[] = {{0x21, 0}, {0xFF, 187}, {0x00, 188}, {0xAD, 255}};
  for (auto [byte, rank] : oneByteRanks)
    EXPECT_EQ(none.ranks.at(std::string(1, static_cast<char>(byte))), rank) << byte;

  const ParsedVocabulary parsed =
      Load::parseMergesFile("#version: 0.2\nĠ t\nh e\n#version again\nĠt he\n");
  EXPECT_TRUE(parsed.isComplete(VocabFormat::mergesFile));
  EXPECT_EQ(parsed.ranks.size(), 259u);
  EXPECT_EQ(parsed.ranks.at(" t"), 256);
  EXPECT_EQ(parsed.ranks.at("he"), 257);
  EXPECT_EQ(parsed.ranks.at(" the"), 258);

  const ParsedVocabulary threeFields = Load::parseMergesFile("a b c\n");
  EXPECT_EQ(threeFields.ranks.at("ac"), 256);
  EXPECT_FALSE(threeFields.isComplete(VocabFormat::mergesFile));

  EXPECT_EQ(Load::decodeDataGym("ĠĊĉ"), " \n\t");
  EXPECT_EQ(Load::decodeDataGym("a€b"), "ab");  // € is not in the form
}

class VocabularyDownload : public ::testing::Test {
 protected:
  VocabularyLoader::Configuration configuration() const {
    return {.baseUrl = m_server.baseUrl(), .cacheDirectory = m_cache.path() / "TessraAI"};
  }
  fs::path cacheFileOf(const Vocab& vocab) const {
    return m_cache.path() / "TessraAI" / Load::cacheFileName(vocab.url(m_server.baseUrl()));
  }

  TempDir m_cache;
  HttpServer m_server;
};

TEST_F(VocabularyDownload, FirstUseDownloadsAndCachesSecondUseReadsTheCache) {
  m_server.route("GET", hostedVocab().path,
                 ScriptedResponse::text(200, std::string(test::cl100kBytes())));
  {
    VocabularyLoader loader(configuration());
    const Ranks& ranks = *loader.loadRanks(hostedVocab());
    EXPECT_EQ(ranks.size(), 100256u);
    EXPECT_EQ(ranks, *test::cl100kRanks());
  }
  ASSERT_EQ(m_server.requestCount(), 1u);
  EXPECT_EQ(m_server.requests()[0].path, "/encodings/p50k_base.ranks");
  EXPECT_EQ(m_cache.read("TessraAI/" + cacheFileOf(hostedVocab()).filename().string()),
            test::cl100kBytes());
  EXPECT_EQ(filesIn(m_cache.path() / "TessraAI"), 1u);  // no temporary file left behind

  m_server.stop();
  VocabularyLoader again(configuration());
  EXPECT_EQ(*again.loadRanks(hostedVocab()), *test::cl100kRanks());
}

TEST_F(VocabularyDownload, AnswersThatAreNotACompleteVocabularyAreNeitherCachedNorUsed) {
  const std::string body(test::cl100kBytes());
  const std::pair<const char*, ScriptedResponse> answers[] = {
      {"404", ScriptedResponse::text(404, "Not Found")},
      {"500 with a vocabulary", ScriptedResponse::text(500, body)},
      {"HTML page", ScriptedResponse::text(
                        200, "<!DOCTYPE html>\n<html><body>Moved</body></html>\n", "text/html")},
      {"cut inside a line", ScriptedResponse::text(200, body.substr(0, body.size() / 2 + 3))},
      {"connection dropped", ScriptedResponse::drop(body.substr(0, 100'000), "text/plain")},
  };
  for (const auto& [name, answer] : answers) {
    TempDir cache;
    HttpServer server;
    server.route("GET", hostedVocab().path, answer);
    VocabularyLoader loader({.baseUrl = server.baseUrl(), .cacheDirectory = cache.path()});
    EXPECT_TRUE(loader.loadRanks(hostedVocab())->empty()) << name;
    EXPECT_EQ(server.requestCount(), 1u) << name;
    EXPECT_EQ(filesIn(cache.path()), 0u) << name;
  }
}

TEST_F(VocabularyDownload, InvalidOrUnreadableCacheIsRemovedAndFetchedAgain) {
  const std::string small = "QQ== 1\nQg== 2\n";
  m_server.route("GET", hostedVocab().path, ScriptedResponse::text(200, small));
  const fs::path cacheFile = cacheFileOf(hostedVocab());
  fs::create_directories(cacheFile.parent_path());

  const std::pair<const char*, std::function<void()>> damages[] = {
      {"garbage", [&] { m_cache.write(fs::relative(cacheFile, m_cache.path()), "garbage\n"); }},
      {"cut short", [&] { m_cache.write(fs::relative(cacheFile, m_cache.path()), "QQ== 1\nQg"); }},
      {"a folder", [&] { fs::create_directory(cacheFile); }},
  };
  std::size_t expectedRequests = 0;
  for (const auto& [name, damage] : damages) {
    damage();
    VocabularyLoader loader(configuration());
    EXPECT_EQ(*loader.loadRanks(hostedVocab()), Ranks(Entries{{"A", 1}, {"B", 2}})) << name;
    EXPECT_EQ(m_server.requestCount(), ++expectedRequests) << name;
    EXPECT_EQ(m_cache.read(fs::relative(cacheFile, m_cache.path())), small) << name;
    fs::remove(cacheFile);
  }
}

TEST_F(VocabularyDownload, MergesFileLoadsWithItsOneByteTokens) {
  const Vocab& gpt2 = *Vocab::named("gpt2");
  m_server.route("GET", "/gpt-2/encodings/main/vocab.bpe",
                 ScriptedResponse::text(200, "#version: 0.2\nĠ t\nĠt he\n"));
  VocabularyLoader loader(configuration());
  const Ranks& ranks = *loader.loadRanks(gpt2);
  EXPECT_EQ(ranks.size(), 258u);
  EXPECT_EQ(ranks.find(" the"), 257);
  EXPECT_TRUE(fs::exists(cacheFileOf(gpt2)));

  // Without a host there is nothing to load: no ranks, or the one-byte tokens of a merges file.
  VocabularyLoader offline({.baseUrl = std::nullopt, .cacheDirectory = m_cache.path()});
  EXPECT_TRUE(offline.loadRanks(hostedVocab())->empty());
  EXPECT_EQ(offline.loadRanks(gpt2)->size(), 256u);
  EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST_F(VocabularyDownload, FailedCacheWriteIsReportedAndTheVocabularyStillUsed) {
  m_server.route("GET", hostedVocab().path, ScriptedResponse::text(200, "QQ== 1\n"));
  m_cache.write("blocker", "a file where the cache folder should be");
  VocabularyLoader loader({.baseUrl = m_server.baseUrl(), .cacheDirectory = m_cache / "blocker"});
  ::testing::internal::CaptureStdout();
  const Ranks& ranks = *loader.loadRanks(hostedVocab());
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(ranks.find("A"), 1);
  EXPECT_TRUE(printed.starts_with("Error while caching: ")) << printed;
}

TEST_F(VocabularyDownload, TheChatModelsVocabularyIsBuiltInAndACachedCopyComesFirst) {
  VocabularyLoader offline({.baseUrl = std::nullopt, .cacheDirectory = std::nullopt});
  const auto builtin = offline.loadRanks(cl100kVocab());
  EXPECT_EQ(builtin->size(), 100256u);
  // Parsed once per process: every loader shares the same ranks.
  EXPECT_EQ(builtin.get(), VocabularyLoader(configuration()).loadRanks(cl100kVocab()).get());
  EXPECT_EQ(m_server.requestCount(), 0u);

  // A copy the host gave earlier wins over the built-in one.
  const fs::path cacheFile = cacheFileOf(cl100kVocab());
  m_cache.write(fs::relative(cacheFile, m_cache.path()), "QQ== 1\n");
  EXPECT_EQ(*VocabularyLoader(configuration()).loadRanks(cl100kVocab()), Ranks(Entries{{"A", 1}}));
  EXPECT_EQ(m_server.requestCount(), 0u);
}

TEST(VocabularyConfiguration, ComesFromTheEnvironment) {
  test::ScopedEnvironment environment;
  environment.set("TESSRA_VOCAB_BASE_URL", "http://127.0.0.1:9");
  environment.set("XDG_CACHE_HOME", "/tmp/cache-here");
  environment.set("TESSRA_CACHE_DIR", nullptr);
  auto configuration = VocabularyLoader::configurationFromEnvironment();
  EXPECT_EQ(configuration.baseUrl, "http://127.0.0.1:9");
  EXPECT_EQ(configuration.cacheDirectory, fs::path("/tmp/cache-here/TessraAI"));

  environment.set("TESSRA_VOCAB_BASE_URL", nullptr);
  environment.set("XDG_CACHE_HOME", nullptr);
  environment.set("HOME", "/home/someone");
  configuration = VocabularyLoader::configurationFromEnvironment();
  EXPECT_EQ(configuration.baseUrl, std::nullopt);
  EXPECT_EQ(configuration.cacheDirectory, fs::path("/home/someone/.cache/TessraAI"));
}

}  // namespace
}  // namespace tessra::tokenizer
