#include "files/json_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

struct Note {
  std::string text;
  platform::Date createdAt;
  double score = 0;
  std::optional<int> count;

  bool operator==(const Note&) const = default;
};

void to_json(nlohmann::json& j, const Note& n) {
  j = {{"text", n.text}, {"createdAt", n.createdAt}, {"score", n.score}};
  platform::putOptional(j, "count", n.count);
}

void from_json(const nlohmann::json& j, Note& n) {
  n.text = platform::requiredField<std::string>(j, "text");
  n.createdAt = platform::requiredField<platform::Date>(j, "createdAt");
  n.score = platform::requiredField<double>(j, "score");
  n.count = platform::optionalField<int>(j, "count");
}

class JsonFiles : public ::testing::Test {
 protected:
  Path at(const std::string& name) const { return Path(m_dir.path().string()) + name; }
  testing::TempDir m_dir;
};

TEST_F(JsonFiles, DatesAtTheEpochAnchorsAndSlashesOnDisk) {
  const struct {
    platform::Date date;
    const char* onDisk;
  } cases[] = {
      {platform::Date::fromReferenceDate(0), "0"},
      {platform::Date::fromUnixTime(0), "-978307200"},
      {platform::Date::fromReferenceDate(1.5), "1.5"},
  };
  for (const auto& c : cases) {
    JsonFile<Note> file(at("note.json"));
    const Note note{"a/b", c.date, 2, std::nullopt};
    file.write(note);
    EXPECT_EQ(m_dir.read("note.json"),
              std::string("{\"createdAt\":") + c.onDisk + ",\"score\":2,\"text\":\"a\\/b\"}");
    EXPECT_EQ(file.read(), note);
  }
}

TEST_F(JsonFiles, DocumentsOfTheWrongShapeFailToReadWithTheirCause) {
  const struct {
    const char* content;
    platform::JsonDecodingError::Kind kind;
    const char* codingPath;
  } cases[] = {
      {"[1,2]", platform::JsonDecodingError::Kind::typeMismatch, ""},
      {"{\"text\":\"x\",\"score\":1}", platform::JsonDecodingError::Kind::keyNotFound, "createdAt"},
      {"{\"text\":\"x\",\"score\":1,\"createdAt\":0,\"count\":3.5}",
       platform::JsonDecodingError::Kind::typeMismatch, "count"},
      {"{\"text\":", platform::JsonDecodingError::Kind::dataCorrupted, ""},
      {"", platform::JsonDecodingError::Kind::dataCorrupted, ""},
      {"{\"text\":\"\xFF\",\"score\":1,\"createdAt\":0}",
       platform::JsonDecodingError::Kind::dataCorrupted, ""},
  };
  for (const auto& c : cases) {
    m_dir.write("bad.json", c.content);
    try {
      JsonFile<Note>(at("bad.json")).read();
      ADD_FAILURE() << c.content;
    } catch (const FileError& e) {
      EXPECT_EQ(e.kind(), FileError::Kind::readFromFileFail);
      try {
        std::rethrow_exception(e.error());
      } catch (const platform::JsonDecodingError& cause) {
        EXPECT_EQ(cause.kind(), c.kind) << c.content;
        EXPECT_EQ(cause.codingPath(), c.codingPath) << c.content;
      }
    }
    EXPECT_EQ(m_dir.read("bad.json"), c.content);
  }
  EXPECT_THROW(JsonFile<Note>(at("missing.json")).read(), FileError);
}

TEST_F(JsonFiles, EncodingFailureLeavesTheOldFileUntouched) {
  JsonFile<Note> file(at("note.json"));
  const Note good{"kept", platform::Date::fromReferenceDate(5), 1, 3};
  file.write(good);
  const std::string before = m_dir.read("note.json");
  for (const double bad : {std::numeric_limits<double>::infinity(), std::nan("")}) {
    try {
      file.write(Note{"lost", platform::Date(), bad, std::nullopt});
      ADD_FAILURE();
    } catch (const FileError& e) {
      EXPECT_EQ(e.kind(), FileError::Kind::writeToFileFail);
      EXPECT_THROW(std::rethrow_exception(e.error()), platform::JsonEncodingError);
    }
    EXPECT_EQ(m_dir.read("note.json"), before);
  }
  EXPECT_EQ(file.read(), good);
}

TEST_F(JsonFiles, InvalidTextIsStoredAsReplacementCharacters) {
  JsonFile<Note> file(at("note.json"));
  file.write(Note{"bad \xFF byte", platform::Date(), 0, std::nullopt});
  EXPECT_EQ(file.read().text, "bad \xEF\xBF\xBD byte");
}

TEST_F(JsonFiles, SharedCodersWriteAndReadPaths) {
  m_dir.write("blocker", "file");
  EXPECT_THROW(sharedJsonEncoder().encode(Note{}, at("blocker/x.json")), FileError);
  sharedJsonEncoder().encode(Note{"x", platform::Date(), 1, 2}, at("x.json"));
  EXPECT_EQ(sharedJsonDecoder().decode<Note>(at("x.json")).count, 2);
  EXPECT_EQ(&sharedJsonEncoder(), &sharedJsonEncoder());
}

}  // namespace
}  // namespace tessra::files
