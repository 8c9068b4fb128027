// Vocabularies: built into the library or downloaded from the vocabulary host on first use,
// cached, and parsed into ranks.
//
// A vocabulary comes from, in this order: a valid cached copy of the host's file, the built-in
// vocabulary (the chat models' encoding), the vocabulary host when one is configured.
//
// The cache is the user's cache folder, one file per vocabulary URL named by the SHA-256 of the
// URL text. Only a complete vocabulary is cached or used: a 200 answer whose every line parses,
// written atomically. A cache file that cannot be read or does not parse is removed and the
// vocabulary downloaded once more. A vocabulary that cannot be had loads as the fallback: no
// ranks for a rank file, the 256 one-byte tokens for a merges file.
//
// The two formats:
// - rank file: lines "<Base64 token> <rank>";
// - merges file: "#version" headers, then one merge per line, both halves written in the
//   printable-character form (every byte one character); the n-th merge has the rank 256 + n.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tokenizer/ranks.h"
#include "tokenizer/vocab.h"

namespace tessra::platform {
class UrlSession;
}

namespace tessra::tokenizer {

// What a vocabulary file gave: its ranks (parsed as leniently as the formats allow) and whether
// the file was whole and well-formed.
struct ParsedVocabulary {
  std::unordered_map<std::string, Rank> ranks;
  // Lines that did not parse: no fields, a token that is not Base64, a rank that is not an
  // integer, a merge that is not two halves in the printable-character form.
  std::size_t malformedLines = 0;
  bool validUtf8 = true;
  // A rank file ends with a line feed; one that does not was cut short.
  bool endsWithLineFeed = true;
  // The merges a merges file held (0 for a rank file).
  std::size_t mergeCount = 0;

  // True when the file may be cached and used.
  bool isComplete(VocabFormat format) const;
};

namespace Load {

// The 64 lowercase hexadecimal digits of the SHA-256 of the URL text.
std::string cacheFileName(std::string_view url);

ParsedVocabulary parseRankFile(std::string_view bytes);
// The 256 one-byte tokens followed by the merges of the file.
ParsedVocabulary parseMergesFile(std::string_view bytes);

// The bytes in the order of their one-byte ranks in a merges-file vocabulary: the 188 printable
// bytes ascending, then the 68 others ascending.
const std::array<std::uint8_t, 256>& dataGymByteOrder();
// The bytes of a text in the printable-character form; characters outside the form are skipped.
std::string decodeDataGym(std::string_view text);

}  // namespace Load

class VocabularyLoader {
 public:
  struct Configuration {
    // The vocabulary host, without a trailing slash; no downloads when absent.
    std::optional<std::string> baseUrl;
    // Where vocabularies are cached; nothing is cached when absent.
    std::optional<std::filesystem::path> cacheDirectory;
  };

  // TESSRA_VOCAB_BASE_URL and the user's cache folder (${XDG_CACHE_HOME:-~/.cache}/TessraAI).
  static Configuration configurationFromEnvironment();

  explicit VocabularyLoader(Configuration configuration);
  ~VocabularyLoader();
  VocabularyLoader(const VocabularyLoader&) = delete;
  VocabularyLoader& operator=(const VocabularyLoader&) = delete;

  const Configuration& configuration() const { return m_configuration; }
  // The URL of the vocabulary's file, or none without a vocabulary host.
  std::optional<std::string> urlOf(const Vocab& vocab) const;

  // The ranks of the vocabulary, from the cache, the library or the network; the fallback when
  // none gives a complete file. Never fails. Blocks while it downloads; must not be called on the
  // delegate queue of the loader's own URL session.
  std::shared_ptr<const Ranks> loadRanks(const Vocab& vocab);

 private:
  std::optional<std::filesystem::path> cacheFileOf(const std::string& url) const;
  // Downloads, checks and caches the file at the URL.
  std::optional<ParsedVocabulary> fetch(const std::string& url,
                                        const std::optional<std::filesystem::path>& cacheFile,
                                        VocabFormat format);
  std::optional<ParsedVocabulary> readCache(const std::filesystem::path& path, VocabFormat format);
  // The body of a 200 answer, or none (the failure is logged).
  std::optional<std::string> download(const std::string& url);

  Configuration m_configuration;
  // Made with the loader when there is a host; its tasks may run for several loads at once.
  std::unique_ptr<platform::UrlSession> m_session;
};

}  // namespace tessra::tokenizer
