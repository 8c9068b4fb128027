// Text files in a chosen encoding, and line streams over them.
//
//   TextFile log(Path("app.log"));
//   log.appendLine("started");                       // one line, delimiter "\n"
//   for (const auto& line : log.streamReader()) ...  // one line at a time, any file size
//   auto errors = log.grep("error");                 // the lines that contain "error"
//
// A reader reads through a growing buffer in chunks and splits on the encoded delimiter, so a
// delimiter that straddles two chunks is still found. A file ending with the delimiter yields no
// empty last line; a file without one yields its tail. A stream is used from one thread at a time
// and closes its file when destroyed.
#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/file.h"
#include "files/file_handle.h"
#include "files/string_encoding.h"

namespace tessra::files {

class TextFileStream {
 public:
  virtual ~TextFileStream() = default;
  TextFileStream(const TextFileStream&) = delete;
  TextFileStream& operator=(const TextFileStream&) = delete;
  TextFileStream(TextFileStream&&) = default;
  TextFileStream& operator=(TextFileStream&&) = default;

  StringEncoding encoding() const { return m_encoding; }
  const Bytes& delimData() const { return m_delimData; }

  // The handle's offset; 0 when closed.
  std::uint64_t offset() const;
  // Does nothing when closed.
  void seek(std::uint64_t offset);
  // Further calls do nothing.
  void close() { m_fileHandle.reset(); }
  bool isClosed() const { return !m_fileHandle || !m_fileHandle->isOpen(); }

 protected:
  TextFileStream(FileHandle handle, Bytes delimData, StringEncoding encoding)
      : m_encoding(encoding), m_delimData(std::move(delimData)), m_fileHandle(std::move(handle)) {}

  // The delimiter in `encoding`; throws ReasonError::encoding when it cannot be written in it.
  static Bytes encodeDelimiter(std::string_view delimiter, StringEncoding encoding);

  StringEncoding m_encoding;
  Bytes m_delimData;
  std::optional<FileHandle> m_fileHandle;
};

class TextFileStreamReader : public TextFileStream {
 public:
  // Throws FileError::readFromFileFail when the file cannot be opened, and ReasonError::encoding
  // (unwrapped) when the delimiter cannot be encoded.
  TextFileStreamReader(const Path& path, std::string_view delimiter = "\n",
                       StringEncoding encoding = StringEncoding::utf8,
                       std::size_t chunkSize = 4096);

  std::size_t chunkSize() const { return m_chunkSize; }
  bool atEOF() const { return m_atEOF; }
  void setAtEOF(bool atEOF) { m_atEOF = atEOF; }

  // The next line, or nothing at the end, when closed, or when the line does not decode.
  std::optional<std::string> nextLine();
  // Back to the first line.
  void rewind();

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::string;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string*;
    using reference = const std::string&;

    Iterator() = default;
    explicit Iterator(TextFileStreamReader* reader) : m_reader(reader) { ++*this; }
    const std::string& operator*() const { return *m_line; }
    Iterator& operator++() {
      m_line = m_reader ? m_reader->nextLine() : std::nullopt;
      return *this;
    }
    void operator++(int) { ++*this; }
    bool operator==(const Iterator& other) const {
      return !m_line.has_value() && !other.m_line.has_value();
    }

   private:
    TextFileStreamReader* m_reader = nullptr;
    std::optional<std::string> m_line;
  };

  Iterator begin() { return Iterator(this); }
  Iterator end() { return Iterator(); }
  // Every remaining line.
  std::vector<std::string> lines();

 private:
  std::size_t m_chunkSize;
  bool m_atEOF = false;
  Bytes m_buffer;
};

class TextFileStreamWriter : public TextFileStream {
 public:
  // Creates the file first when asked and nothing stands at the path (FileError::createFileFail).
  // Opening fails with FileError::writeToFileFail; a delimiter that cannot be encoded with
  // ReasonError::encoding. Without `append` writing starts at offset 0 and overwrites in place,
  // leaving any longer old tail.
  TextFileStreamWriter(const Path& path, std::string_view delimiter = "\n",
                       StringEncoding encoding = StringEncoding::utf8, bool append = false,
                       bool createIfMissing = true);

  bool append() const { return m_append; }

  // False when closed or when the line cannot be written in the encoding (nothing is written).
  bool write(std::string_view line, bool delim = true);
  bool writeDelimiter();
  // Flushes the file to the disk; nothing when closed.
  void synchronize();

 private:
  bool m_append;
};

// Compare options of `TextFile::grep`.
enum class CompareOptions { none = 0, caseInsensitive = 1 };

class TextFile : public File<std::string> {
 public:
  explicit TextFile(Path path, StringEncoding encoding = StringEncoding::utf8)
      : File<std::string>(std::move(path)), m_encoding(encoding) {}

  StringEncoding encoding() const { return m_encoding; }
  void setEncoding(StringEncoding encoding) { m_encoding = encoding; }

  using File<std::string>::write;
  // Writes in the file's encoding. Text the encoding cannot hold fails with writeToFileFail and
  // ReasonError::encoding; nothing is written then. Reading is always UTF-8.
  void write(const std::string& text, bool atomically) override;

  TextFileStreamReader streamReader(std::string_view delimiter = "\n",
                                    std::size_t chunkSize = 4096) const;
  TextFileStreamWriter streamWriter(std::string_view delimiter = "\n", bool append = false) const;

  // The lines whose containing `motif` equals `include`. Empty when the file cannot be read.
  std::vector<std::string> grep(std::string_view motif, bool include = true,
                                CompareOptions options = CompareOptions::none) const;

  // Appends `line` and a "\n", creating the file when missing. Throws writeToFileFail with
  // ReasonError::closed or ReasonError::encoding when the line cannot be written.
  void appendLine(std::string_view line) const;

  std::vector<std::string> linesContaining(std::string_view text) const;
  std::vector<std::string> linesNotContaining(std::string_view text) const;
  // The lines in which the regular expression (ICU syntax) finds a match anywhere. A pattern that
  // does not compile gives an empty list and a log line; a line too long for the engine's bounded
  // backtracking counts as not matching.
  std::vector<std::string> linesMatching(std::string_view pattern) const;

  friend bool operator==(const TextFile& a, const TextFile& b) {
    return a.path() == b.path() && a.m_encoding == b.m_encoding;
  }

 private:
  StringEncoding m_encoding;
};

}  // namespace tessra::files
