#include "tokenizer/vocabulary_loader.h"

#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <future>
#include <system_error>
#include <vector>

#include "platform/foundation/atomic_file.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/locations.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/regular_file.h"
#include "platform/foundation/sha256.h"
#include "platform/foundation/url_session.h"
#include "platform/foundation/utf8.h"
#include "tokenizer/builtin_vocabulary.h"

namespace tessra::tokenizer {

namespace fs = std::filesystem;

namespace {

// The non-empty lines of a text split at line feeds, each split at spaces into its non-empty
// fields.
template <class OnLine>
void forEachLine(std::string_view text, OnLine&& onLine) {
  std::vector<std::string_view> fields;
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    std::size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (line.empty()) continue;
    fields.clear();
    std::size_t fieldStart = 0;
    while (fieldStart < line.size()) {
      std::size_t fieldEnd = line.find(' ', fieldStart);
      if (fieldEnd == std::string_view::npos) fieldEnd = line.size();
      if (fieldEnd > fieldStart) fields.push_back(line.substr(fieldStart, fieldEnd - fieldStart));
      fieldStart = fieldEnd + 1;
    }
    onLine(line, fields);
  }
}

// A decimal integer: an optional sign, digits, within 64 bits, nothing else.
std::optional<Rank> parseRank(std::string_view field) {
  if (!field.empty() && field.front() == '+') {
    field.remove_prefix(1);
    if (field.empty() || field.front() == '-') return std::nullopt;
  }
  Rank value = 0;
  const char* end = field.data() + field.size();
  auto [stop, error] = std::from_chars(field.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// The character of each byte in the printable-character form, as a code point.
const std::array<char32_t, 256>& dataGymCharacters() {
  static const std::array<char32_t, 256> characters = [] {
    std::array<char32_t, 256> result{};
    char32_t nextExtra = 0x100;
    for (int byte = 0; byte < 256; ++byte) {
      const bool printable =
          (byte >= 0x21 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xAC) || byte >= 0xAE;
      result[byte] = printable ? static_cast<char32_t>(byte) : nextExtra++;
    }
    return result;
  }();
  return characters;
}

// The byte a character of the printable-character form stands for, or none.
std::optional<std::uint8_t> dataGymByte(char32_t character) {
  static const std::unordered_map<char32_t, std::uint8_t> bytes = [] {
    std::unordered_map<char32_t, std::uint8_t> result;
    const auto& characters = dataGymCharacters();
    for (int byte = 0; byte < 256; ++byte)
      result.emplace(characters[byte], static_cast<std::uint8_t>(byte));
    return result;
  }();
  auto it = bytes.find(character);
  if (it == bytes.end()) return std::nullopt;
  return it->second;
}

// Calls `onCharacter` with every code point of a valid UTF-8 text.
template <class OnCharacter>
void forEachCodePoint(std::string_view text, OnCharacter&& onCharacter) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = bytes[i];
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
      value = (value << 6) | (bytes[i + k] & 0x3F);
    onCharacter(value);
    i += length;
  }
}

// True when every character of the field belongs to the printable-character form.
bool isDataGymText(std::string_view text) {
  bool valid = true;
  forEachCodePoint(text, [&](char32_t c) { valid = valid && dataGymByte(c).has_value(); });
  return valid;
}

std::optional<std::string> readWholeFile(const fs::path& path) {
  try {
    return platform::readRegularFile(path);
  } catch (const std::exception& failure) {
    platform::logError("Cannot read {}: {}", path.string(), failure.what());
    return std::nullopt;
  }
}

ParsedVocabulary parse(VocabFormat format, std::string_view bytes) {
  return format == VocabFormat::mergesFile ? Load::parseMergesFile(bytes)
                                           : Load::parseRankFile(bytes);
}

Ranks fallbackRanks(VocabFormat format) {
  if (format == VocabFormat::rankFile) return Ranks();
  return Ranks(Load::parseMergesFile({}).ranks);
}

}  // namespace

bool ParsedVocabulary::isComplete(VocabFormat format) const {
  if (!validUtf8 || malformedLines > 0) return false;
  if (format == VocabFormat::rankFile) return endsWithLineFeed && !ranks.empty();
  return mergeCount > 0;
}

namespace Load {

std::string cacheFileName(std::string_view url) { return platform::sha256Hex(url); }

ParsedVocabulary parseRankFile(std::string_view bytes) {
  ParsedVocabulary parsed;
  if (!platform::isValidUtf8(bytes)) {
    parsed.validUtf8 = false;
    return parsed;
  }
  parsed.endsWithLineFeed = !bytes.empty() && bytes.back() == '\n';
  parsed.ranks.reserve(bytes.size() / 12);
  forEachLine(bytes, [&](std::string_view, const std::vector<std::string_view>& fields) {
    if (fields.empty()) {
      ++parsed.malformedLines;
      return;
    }
    std::optional<Bytes> token = platform::base64Decode(fields.front());
    if (!token || token->empty()) {
      ++parsed.malformedLines;
      return;
    }
    std::string key(token->begin(), token->end());
    // A later line for the same token wins, even when its rank does not read.
    if (std::optional<Rank> rank = parseRank(fields.back())) {
      parsed.ranks.insert_or_assign(std::move(key), *rank);
    } else {
      parsed.ranks.erase(key);
      ++parsed.malformedLines;
    }
  });
  return parsed;
}

ParsedVocabulary parseMergesFile(std::string_view bytes) {
  ParsedVocabulary parsed;
  const auto& order = dataGymByteOrder();
  for (int i = 0; i < 256; ++i) parsed.ranks[std::string(1, static_cast<char>(order[i]))] = i;
  if (!platform::isValidUtf8(bytes)) {
    parsed.validUtf8 = false;
    return parsed;
  }
  Rank next = static_cast<Rank>(parsed.ranks.size());
  forEachLine(bytes, [&](std::string_view line, const std::vector<std::string_view>& fields) {
    if (line.starts_with("#version")) return;
    if (fields.empty()) {
      ++parsed.malformedLines;
      return;
    }
    if (fields.size() != 2 || !isDataGymText(fields.front()) || !isDataGymText(fields.back()))
      ++parsed.malformedLines;
    parsed.ranks.insert_or_assign(decodeDataGym(fields.front()) + decodeDataGym(fields.back()),
                                  next++);
    ++parsed.mergeCount;
  });
  return parsed;
}

const std::array<std::uint8_t, 256>& dataGymByteOrder() {
  static const std::array<std::uint8_t, 256> order = [] {
    std::array<std::uint8_t, 256> result{};
    const auto& characters = dataGymCharacters();
    std::size_t position = 0;
    for (int byte = 0; byte < 256; ++byte) {
      if (characters[byte] == static_cast<char32_t>(byte))
        result[position++] = static_cast<std::uint8_t>(byte);
    }
    for (int byte = 0; byte < 256; ++byte) {
      if (characters[byte] != static_cast<char32_t>(byte))
        result[position++] = static_cast<std::uint8_t>(byte);
    }
    return result;
  }();
  return order;
}

std::string decodeDataGym(std::string_view text) {
  std::string bytes;
  forEachCodePoint(text, [&](char32_t c) {
    if (auto byte = dataGymByte(c)) bytes += static_cast<char>(*byte);
  });
  return bytes;
}

}  // namespace Load

VocabularyLoader::Configuration VocabularyLoader::configurationFromEnvironment() {
  Configuration configuration;
  if (const char* base = std::getenv("TESSRA_VOCAB_BASE_URL"); base && *base)
    configuration.baseUrl = base;
  configuration.cacheDirectory = platform::cacheDirectory();
  return configuration;
}

VocabularyLoader::VocabularyLoader(Configuration configuration)
    : m_configuration(std::move(configuration)) {
  if (m_configuration.baseUrl) m_session = std::make_unique<platform::UrlSession>();
  if (m_configuration.cacheDirectory)
    platform::removeStaleTemporaryFiles(*m_configuration.cacheDirectory);
}

VocabularyLoader::~VocabularyLoader() = default;

std::optional<std::string> VocabularyLoader::urlOf(const Vocab& vocab) const {
  if (!m_configuration.baseUrl) return std::nullopt;
  return vocab.url(*m_configuration.baseUrl);
}

std::shared_ptr<const Ranks> VocabularyLoader::loadRanks(const Vocab& vocab) {
  const VocabFormat format = vocab.format();
  const std::optional<std::string> url = urlOf(vocab);
  const std::optional<fs::path> cacheFile = url ? cacheFileOf(*url) : std::nullopt;
  // A copy the user's host gave earlier wins, so a host that serves another version of the
  // vocabulary keeps its counts; the built-in one spares the download.
  if (cacheFile) {
    if (auto cached = readCache(*cacheFile, format))
      return std::make_shared<const Ranks>(cached->ranks);
  }
  if (auto builtin = builtinRanks(vocab.name)) return builtin;
  if (!url) {
    platform::logInfo("No vocabulary host is configured; the {} vocabulary is not loaded",
                      vocab.name);
    return std::make_shared<const Ranks>(fallbackRanks(format));
  }
  std::optional<ParsedVocabulary> parsed = fetch(*url, cacheFile, format);
  if (!parsed) return std::make_shared<const Ranks>(fallbackRanks(format));
  return std::make_shared<const Ranks>(parsed->ranks);
}

std::optional<fs::path> VocabularyLoader::cacheFileOf(const std::string& url) const {
  if (!m_configuration.cacheDirectory) return std::nullopt;
  return *m_configuration.cacheDirectory / Load::cacheFileName(url);
}

std::optional<ParsedVocabulary> VocabularyLoader::fetch(const std::string& url,
                                                        const std::optional<fs::path>& cacheFile,
                                                        VocabFormat format) {
  std::optional<std::string> body = download(url);
  if (!body) return std::nullopt;
  ParsedVocabulary parsed = parse(format, *body);
  if (!parsed.isComplete(format)) {
    platform::logError("The vocabulary at {} is not complete ({} malformed lines); not using it",
                       url, parsed.malformedLines);
    return std::nullopt;
  }
  if (!cacheFile) return parsed;
  try {
    platform::writeFileAtomically(*cacheFile, *body, {.createFolders = true});
  } catch (const std::exception& error) {
    platform::logError("Error while caching: {}", error.what());
  }
  return parsed;
}

std::optional<ParsedVocabulary> VocabularyLoader::readCache(const fs::path& path,
                                                            VocabFormat format) {
  std::error_code error;
  if (!fs::exists(path, error)) return std::nullopt;
  std::optional<std::string> bytes = readWholeFile(path);
  if (bytes) {
    ParsedVocabulary parsed = parse(format, *bytes);
    if (parsed.isComplete(format)) return parsed;
  }
  platform::logError("The cached vocabulary {} is {}; removing it and downloading it again",
                     path.string(), bytes ? "not a complete vocabulary" : "unreadable");
  if (!fs::remove(path, error) && error)
    platform::logError("Cannot remove {}: {}", path.string(), error.message());
  return std::nullopt;
}

std::optional<std::string> VocabularyLoader::download(const std::string& url) {
  platform::UrlRequest request;
  request.url = url;
  request.followRedirects = true;
  // The largest vocabulary takes a few megabytes.
  request.maximumBodySize = std::size_t{64} << 20;
  // The completion may still be inside `set_value` when `get` returns here, so the promise
  // belongs to the completion rather than to this frame.
  auto answer = std::make_shared<std::promise<Result<platform::UrlData>>>();
  std::future<Result<platform::UrlData>> answered = answer->get_future();
  platform::UrlTask task = m_session->dataTask(request, [answer](Result<platform::UrlData> result) {
    answer->set_value(std::move(result));
  });
  task.resume();
  Result<platform::UrlData> result = answered.get();
  if (!result) {
    platform::logError("Cannot download the vocabulary at {}: {}", url,
                       debugDescribe(result.error()));
    return std::nullopt;
  }
  if (result->response.statusCode != 200) {
    platform::logError("Cannot download the vocabulary at {}: HTTP {}", url,
                       result->response.statusCode);
    return std::nullopt;
  }
  return toString(result->body);
}

}  // namespace tessra::tokenizer
