#include "files/text_file.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <system_error>

#include "files/data_io.h"
#include "files/file_error.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/utf8.h"

namespace tessra::files {

namespace {

bool containsText(std::string_view line, std::string_view motif, CompareOptions options) {
  if (options == CompareOptions::none) return line.find(motif) != std::string_view::npos;
  const auto equalFolded = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  return std::search(line.begin(), line.end(), motif.begin(), motif.end(), equalFolded) !=
         line.end();
}

template <class Keep>
std::vector<std::string> filterLines(const Path& path, StringEncoding encoding, Keep keep) {
  std::vector<std::string> kept;
  try {
    TextFileStreamReader reader(path, "\n", encoding, 4096);
    while (auto line = reader.nextLine()) {
      if (keep(*line)) kept.push_back(std::move(*line));
    }
  } catch (const FileError&) {
    return {};
  } catch (const ReasonError&) {
    return {};
  }
  return kept;
}

}  // namespace

std::uint64_t TextFileStream::offset() const {
  if (isClosed()) return 0;
  try {
    return m_fileHandle->offset();
  } catch (const std::system_error&) {
    return 0;
  }
}

void TextFileStream::seek(std::uint64_t offset) {
  if (isClosed()) return;
  try {
    m_fileHandle->seek(offset);
  } catch (const std::system_error&) {
    // A handle that cannot seek stays where it is; the next read shows where that is.
  }
}

Bytes TextFileStream::encodeDelimiter(std::string_view delimiter, StringEncoding encoding) {
  auto bytes = encodeString(delimiter, encoding);
  if (!bytes || bytes->empty()) throw ReasonError::encoding(encoding, std::string(delimiter));
  return std::move(*bytes);
}

TextFileStreamReader::TextFileStreamReader(const Path& path, std::string_view delimiter,
                                           StringEncoding encoding, std::size_t chunkSize)
    : TextFileStream(path.fileHandle(FileHandle::Mode::read), encodeDelimiter(delimiter, encoding),
                     encoding),
      m_chunkSize(std::max<std::size_t>(chunkSize, 1)) {
  m_buffer.reserve(m_chunkSize);
}

std::optional<std::string> TextFileStreamReader::nextLine() {
  if (isClosed()) return std::nullopt;
  auto found =
      std::search(m_buffer.begin(), m_buffer.end(), m_delimData.begin(), m_delimData.end());
  while (found == m_buffer.end()) {
    Bytes chunk;
    try {
      chunk = m_fileHandle->read(m_chunkSize);
    } catch (const std::system_error&) {
      chunk.clear();
    }
    if (chunk.empty()) {
      m_atEOF = true;
      if (m_buffer.empty()) return std::nullopt;
      auto tail = decodeString(m_buffer, m_encoding);
      m_buffer.clear();
      return tail;
    }
    m_buffer.insert(m_buffer.end(), chunk.begin(), chunk.end());
    found = std::search(m_buffer.begin(), m_buffer.end(), m_delimData.begin(), m_delimData.end());
  }
  auto line = decodeString(
      std::span(m_buffer.data(), static_cast<std::size_t>(found - m_buffer.begin())), m_encoding);
  m_buffer.erase(m_buffer.begin(), found + static_cast<std::ptrdiff_t>(m_delimData.size()));
  return line;
}

void TextFileStreamReader::rewind() {
  seek(0);
  m_buffer.clear();
  m_atEOF = false;
}

std::vector<std::string> TextFileStreamReader::lines() {
  std::vector<std::string> all;
  while (auto line = nextLine()) all.push_back(std::move(*line));
  return all;
}

namespace {

FileHandle openForWriting(const Path& path, bool createIfMissing) {
  if (createIfMissing && !path.itemExists()) path.createFile();
  return path.fileHandle(FileHandle::Mode::write);
}

}  // namespace

TextFileStreamWriter::TextFileStreamWriter(const Path& path, std::string_view delimiter,
                                           StringEncoding encoding, bool append,
                                           bool createIfMissing)
    : TextFileStream(openForWriting(path, createIfMissing), encodeDelimiter(delimiter, encoding),
                     encoding),
      m_append(append) {
  if (!append) return;
  try {
    m_fileHandle->seekToEnd();
  } catch (const std::system_error&) {
    throw FileError::writeToFileFail(path, std::current_exception());
  }
}

bool TextFileStreamWriter::write(std::string_view line, bool delim) {
  if (isClosed()) return false;
  auto bytes = encodeString(line, m_encoding);
  if (!bytes) return false;
  if (delim) bytes->insert(bytes->end(), m_delimData.begin(), m_delimData.end());
  try {
    m_fileHandle->write(*bytes);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool TextFileStreamWriter::writeDelimiter() {
  if (isClosed()) return false;
  try {
    m_fileHandle->write(m_delimData);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void TextFileStreamWriter::synchronize() {
  if (isClosed()) return;
  try {
    m_fileHandle->synchronize();
  } catch (const std::system_error&) {
    // The data is written; only its flush to the disk could not be confirmed.
  }
}

void TextFile::write(const std::string& text, bool atomically) {
  auto bytes = encodeString(text, m_encoding);
  if (!bytes)
    throw FileError::writeToFileFail(
        path(), std::make_exception_ptr(ReasonError::encoding(m_encoding, text)));
  writeData(path(), *bytes, writingOptionsFor(atomically));
}

TextFileStreamReader TextFile::streamReader(std::string_view delimiter,
                                            std::size_t chunkSize) const {
  return TextFileStreamReader(path(), delimiter, m_encoding, chunkSize);
}

TextFileStreamWriter TextFile::streamWriter(std::string_view delimiter, bool append) const {
  return TextFileStreamWriter(path(), delimiter, m_encoding, append, true);
}

std::vector<std::string> TextFile::grep(std::string_view motif, bool include,
                                        CompareOptions options) const {
  return filterLines(path(), m_encoding, [&](const std::string& line) {
    return containsText(line, motif, options) == include;
  });
}

void TextFile::appendLine(std::string_view line) const {
  TextFileStreamWriter writer(path(), "\n", m_encoding, true, true);
  if (writer.write(line, true)) return;
  if (writer.isClosed())
    throw FileError::writeToFileFail(path(), std::make_exception_ptr(ReasonError::closed()));
  throw FileError::writeToFileFail(
      path(), std::make_exception_ptr(ReasonError::encoding(m_encoding, std::string(line))));
}

std::vector<std::string> TextFile::linesContaining(std::string_view text) const {
  return grep(text, true);
}

std::vector<std::string> TextFile::linesNotContaining(std::string_view text) const {
  return grep(text, false);
}

std::vector<std::string> TextFile::linesMatching(std::string_view pattern) const {
  // The expression engine keeps its backtracking on the heap with a bound, so no line, however
  // long, can overflow the stack the way a recursive matcher would.
  UErrorCode status = U_ZERO_ERROR;
  UParseError where{};
  const std::unique_ptr<icu::RegexPattern> expression(
      icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(icu::StringPiece(
                                     pattern.data(), static_cast<std::int32_t>(pattern.size()))),
                                 0, where, status));
  std::unique_ptr<icu::RegexMatcher> matcher;
  if (U_SUCCESS(status)) matcher.reset(expression->matcher(status));
  if (U_FAILURE(status)) {
    platform::logError("The pattern \"{}\" is not a regular expression ({} at offset {})",
                       platform::sanitizeUtf8(pattern), u_errorName(status), where.offset);
    return {};
  }
  std::optional<UErrorCode> matchFailure;
  auto lines = filterLines(path(), m_encoding, [&](const std::string& line) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(line);
    UErrorCode findStatus = U_ZERO_ERROR;
    matcher->reset(text);
    const bool found = matcher->find(0, findStatus);
    if (U_FAILURE(findStatus)) matchFailure = findStatus;
    return found && U_SUCCESS(findStatus);
  });
  // A line too long for the engine's bounded backtracking counts as not matching.
  if (matchFailure)
    platform::logError("The pattern \"{}\" could not be matched against every line ({})",
                       platform::sanitizeUtf8(pattern), u_errorName(*matchFailure));
  return lines;
}

}  // namespace tessra::files
