#include "files/text_file.h"

#include <gtest/gtest.h>

#include "testing/log_capture.h"
#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

class TextFiles : public ::testing::Test {
 protected:
  Path at(const std::string& name) const { return Path(m_dir.path().string()) + name; }
  testing::TempDir m_dir;
};

TEST_F(TextFiles, LinesSplitOnTheDelimiterAtAnyChunkSize) {
  const struct {
    std::string content;
    std::string delimiter;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\n", "\n", {"a", "b"}},
      {"a\nb", "\n", {"a", "b"}},
      {"a\n\nb", "\n", {"a", "", "b"}},
      {"", "\n", {}},
      {"\n", "\n", {""}},
      {"one\r\ntwo\r\nthree", "\r\n", {"one", "two", "three"}},
      {"x--y----z", "--", {"x", "y", "", "z"}},
      {"caf\xC3\xA9\n\xE2\x98\xBA\n", "\n", {"caf\xC3\xA9", "\xE2\x98\xBA"}},
  };
  for (const auto& c : cases) {
    m_dir.write("lines.txt", c.content);
    for (const std::size_t chunk : {1, 2, 3, 4096}) {
      TextFileStreamReader reader(at("lines.txt"), c.delimiter, StringEncoding::utf8, chunk);
      EXPECT_EQ(reader.lines(), c.lines) << c.content << " chunk " << chunk;
      EXPECT_TRUE(reader.atEOF());
      EXPECT_EQ(reader.nextLine(), std::nullopt);
    }
  }
}

TEST_F(TextFiles, RewindAndCloseOfAReader) {
  m_dir.write("lines.txt", "first\nsecond\n");
  TextFile file(at("lines.txt"));
  auto reader = file.streamReader("\n", 4);
  std::vector<std::string> seen;
  for (const auto& line : reader) seen.push_back(line);
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
  reader.rewind();
  EXPECT_FALSE(reader.atEOF());
  EXPECT_EQ(reader.nextLine(), "first");
  EXPECT_EQ(reader.offset(), 8u);
  reader.close();
  reader.close();
  EXPECT_TRUE(reader.isClosed());
  EXPECT_EQ(reader.nextLine(), std::nullopt);
  EXPECT_EQ(reader.offset(), 0u);
}

TEST_F(TextFiles, ReaderConstructionFailures) {
  EXPECT_THROW(TextFileStreamReader(at("missing.txt")), FileError);
  m_dir.write("x.txt", "x");
  try {
    TextFileStreamReader reader(at("x.txt"), "\xE2\x98\xBA", StringEncoding::ascii);
    ADD_FAILURE();
  } catch (const ReasonError& e) {
    EXPECT_EQ(e.kind(), ReasonError::Kind::encoding);
    EXPECT_EQ(e.text(), "\xE2\x98\xBA");
  }
}

TEST_F(TextFiles, WritersOverwriteInPlaceOrAppend) {
  m_dir.write("log.txt", "a long old line\n");
  {
    TextFile file(at("log.txt"));
    auto writer = file.streamWriter("\n", false);
    EXPECT_TRUE(writer.write("new"));
  }
  EXPECT_EQ(m_dir.read("log.txt"), "new\nng old line\n");
  {
    TextFileStreamWriter writer(at("log.txt"), "\n", StringEncoding::utf8, true);
    EXPECT_TRUE(writer.write("tail", false));
    EXPECT_TRUE(writer.writeDelimiter());
    writer.synchronize();
    writer.close();
    EXPECT_FALSE(writer.write("after close"));
    EXPECT_FALSE(writer.writeDelimiter());
  }
  EXPECT_EQ(m_dir.read("log.txt"), "new\nng old line\ntail\n");
  TextFileStreamWriter created(at("fresh.txt"));
  EXPECT_TRUE(created.write("x"));
  EXPECT_EQ(m_dir.read("fresh.txt"), "x\n");
  EXPECT_THROW(TextFileStreamWriter(at("missing.txt"), "\n", StringEncoding::utf8, false, false),
               FileError);
}

TEST_F(TextFiles, EncodingsOnDisk) {
  TextFile latin(at("latin1.txt"), StringEncoding::isoLatin1);
  latin.write("caf\xC3\xA9");
  EXPECT_EQ(m_dir.read("latin1.txt"), "caf\xE9");
  try {
    latin.write("\xE2\x98\xBA");
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.kind(), FileError::Kind::writeToFileFail);
  }
  EXPECT_EQ(m_dir.read("latin1.txt"), "caf\xE9");

  TextFile wide(at("utf16.txt"), StringEncoding::utf16LittleEndian);
  wide.appendLine("a\xF0\x9F\x98\x80");
  wide.appendLine("b");
  EXPECT_EQ(m_dir.read("utf16.txt"), std::string("a\0\x3D\xD8\x00\xDE\n\0b\0\n\0", 12));
  EXPECT_EQ(wide.streamReader().lines(), (std::vector<std::string>{"a\xF0\x9F\x98\x80", "b"}));

  TextFile ascii(at("ascii.txt"), StringEncoding::ascii);
  auto writer = ascii.streamWriter();
  EXPECT_FALSE(writer.write("caf\xC3\xA9"));
  EXPECT_TRUE(writer.write("plain"));
  writer.close();
  EXPECT_EQ(m_dir.read("ascii.txt"), "plain\n");
  try {
    ascii.appendLine("\xC3\xA9");
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(describe(e.error()), "encoding(ASCII, \"\xC3\xA9\")");
  }
  EXPECT_EQ(m_dir.read("ascii.txt"), "plain\n");
}

TEST_F(TextFiles, InvalidUtf8IsWrittenAsReplacementCharacters) {
  TextFile file(at("notes.txt"));
  file.write("bad \xFF byte\n");
  EXPECT_EQ(m_dir.read("notes.txt"), "bad \xEF\xBF\xBD byte\n");
  file.appendLine("cut \xE2\x98");
  EXPECT_EQ(file.streamReader().lines(),
            (std::vector<std::string>{"bad \xEF\xBF\xBD byte", "cut \xEF\xBF\xBD"}));
  TextFile wide(at("wide.txt"), StringEncoding::utf16BigEndian);
  wide.write("\xFF");
  EXPECT_EQ(m_dir.read("wide.txt"), "\xFF\xFD");
  // An encoding without U+FFFD still refuses such a text, and keeps the old content.
  TextFile ascii(at("notes.txt"), StringEncoding::ascii);
  EXPECT_THROW(ascii.write("bad \xFF"), FileError);
  EXPECT_EQ(m_dir.read("notes.txt"), "bad \xEF\xBF\xBD byte\ncut \xEF\xBF\xBD\n");
}

TEST_F(TextFiles, GrepAndLineFilters) {
  m_dir.write("app.log", "INFO start\nERROR disk full\ninfo again\nerror: net\n");
  TextFile log(at("app.log"));
  EXPECT_EQ(log.grep("ERROR"), (std::vector<std::string>{"ERROR disk full"}));
  EXPECT_EQ(log.grep("error", true, CompareOptions::caseInsensitive),
            (std::vector<std::string>{"ERROR disk full", "error: net"}));
  EXPECT_EQ(log.linesNotContaining("ERROR").size(), 3u);
  EXPECT_EQ(log.linesContaining("again"), (std::vector<std::string>{"info again"}));
  EXPECT_EQ(log.linesMatching("^[a-z]+:"), (std::vector<std::string>{"error: net"}));
  EXPECT_EQ(log.linesMatching("^\\p{Lu}{4} "), (std::vector<std::string>{"INFO start"}));
  EXPECT_TRUE(TextFile(at("missing.log")).grep("x").empty());
  EXPECT_EQ(TextFile(at("a")), TextFile(at("./a")));
  EXPECT_FALSE(TextFile(at("a")) == TextFile(at("a"), StringEncoding::ascii));
}

TEST_F(TextFiles, APatternThatIsNoRegularExpressionMatchesNothingAndIsLogged) {
  m_dir.write("app.log", "a(b\n[x\n");
  TextFile log(at("app.log"));
  for (const char* pattern : {"a(b", "[x", "*", "\\"}) {
    SCOPED_TRACE(pattern);
    testing::LogCapture capture;
    EXPECT_TRUE(log.linesMatching(pattern).empty());
    EXPECT_TRUE(capture.contains("is not a regular expression")) << capture.all();
  }
}

TEST_F(TextFiles, AVeryLongLineIsMatchedWithoutExhaustingTheStack) {
  m_dir.write("long.log", std::string(100000, 'a') + "b\nshort\n");
  TextFile log(at("long.log"));
  EXPECT_EQ(log.linesMatching("^(a|c)*b$").size(), 1u);
}

}  // namespace
}  // namespace tessra::files
