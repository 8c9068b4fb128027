#include "files/file_error.h"

#include <gtest/gtest.h>

#include <system_error>

namespace tessra::files {
namespace {

TEST(FileErrorMessages, TheMessageIsWhatAndTheDescriptionWrapsIt) {
  const FileError error =
      FileError::moveFileFail(Path("a"), Path("b"), systemError(EACCES, "rename"));
  EXPECT_EQ(error.message(), "Could not move file at \"a\" to \"b\"");
  EXPECT_EQ(std::string(error.what()), error.message());
  EXPECT_EQ(error.description(), "FileError(" + error.message() + ")");
}

TEST(FileErrorMessages, DebugDescriptionAddsTheUnderlyingError) {
  const auto plain = FileError::createFileFail(Path("a"));
  EXPECT_EQ(plain.error(), nullptr);
  EXPECT_EQ(plain.debugDescription(), plain.description());

  const auto attributes = FileError::attributesChangeFail(Path("a"), systemError(EPERM, "chmod"));
  EXPECT_EQ(attributes.debugDescription(),
            "FileError(Could not change file attrubutes at \"a\") chmod: " +
                std::generic_category().message(EPERM));

  const auto reason = FileError::readFromFileFail(
      Path("b"), std::make_exception_ptr(ReasonError::conversion("String")));
  EXPECT_EQ(reason.debugDescription(),
            "FileError(Could not read from file at \"b\") conversion(String)");
  EXPECT_EQ(ReasonError::encoding(StringEncoding::ascii, "é").what(),
            std::string("encoding(ASCII, \"é\")"));
  EXPECT_EQ(ReasonError::closed().what(), std::string("closed"));
}

TEST(FileErrorMessages, PathsStayAsGiven) {
  EXPECT_EQ(FileError::fileDoesNotExist(Path("")).message(), "File does not exist at \"\"");
  EXPECT_EQ(FileError::fileDoesNotExist(Path("a/./b/")).message(),
            "File does not exist at \"a/./b/\"");
  const auto both = FileError::moveFileFail(Path("x"), Path("y"), nullptr);
  EXPECT_EQ(both.path().rawValue(), "x");
  EXPECT_EQ(both.destination()->rawValue(), "y");
  EXPECT_FALSE(FileError::fileAlreadyExists(Path("x")).destination().has_value());
}

TEST(FileErrorMessages, CaughtAsTheCommonErrorBase) {
  try {
    throw FileError::deleteFileFail(Path("p"), systemError(ENOENT, "remove"));
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Could not delete file at \"p\"");
    EXPECT_NE(e.debugDescription().find("No such file or directory"), std::string::npos);
  }
}

}  // namespace
}  // namespace tessra::files
