// The build's generator of the text accessors and the English string file, run as the build runs
// it. What it writes is checked by every source that includes the accessors and by the tests of
// the string table; here, that a rebuild rewrites only what changed and that a failure is told.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "testing/temp_dir.h"

namespace tessra {
namespace {

namespace fs = std::filesystem;

struct GeneratorRun {
  int exitCode = -1;
  QString errors;
};

GeneratorRun generate(const fs::path& header, const fs::path& englishStrings) {
  QProcess generator;
  generator.start(
      QStringLiteral(TESSRA_LOCALIZED_TEXT_GENERATOR),
      {QString::fromStdString(header.string()), QString::fromStdString(englishStrings.string())});
  if (!generator.waitForFinished(30'000)) return {};
  return {generator.exitCode(), QString::fromLocal8Bit(generator.readAllStandardError())};
}

TEST(LocalizedTextGenerator, RewritesOnlyAFileWhoseContentChanged) {
  const testing::TempDir dir;
  const fs::path header = dir / "include/localized_text_accessors.h";
  const fs::path english = dir / "l10n/en.lproj/Localizable.json";
  ASSERT_EQ(generate(header, english).exitCode, 0);
  const std::string englishContent = dir.read("l10n/en.lproj/Localizable.json");
  ASSERT_NE(englishContent.find("\"General.lastNItems\": \"Last %@\""), std::string::npos);

  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
  dir.write("l10n/en.lproj/Localizable.json", "{}");
  fs::last_write_time(header, longAgo);
  fs::last_write_time(english, longAgo);
  ASSERT_EQ(generate(header, english).exitCode, 0);
  EXPECT_EQ(fs::last_write_time(header), longAgo) << "an unchanged header rebuilds its includers";
  EXPECT_EQ(dir.read("l10n/en.lproj/Localizable.json"), englishContent);
  EXPECT_GT(fs::last_write_time(english), longAgo);
}

TEST(LocalizedTextGenerator, FailsNamingThePathItCannotWrite) {
  const testing::TempDir dir;
  const fs::path file = dir.write("file", "");
  const GeneratorRun run = generate(file / "localized_text_accessors.h", dir / "Localizable.json");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(
      run.errors.contains(QString::fromStdString((file / "localized_text_accessors.h").string())))
      << run.errors.toStdString();
  EXPECT_FALSE(fs::exists(dir / "Localizable.json"));
}

}  // namespace
}  // namespace tessra
