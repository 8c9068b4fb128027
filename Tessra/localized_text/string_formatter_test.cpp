#include "Tessra/localized_text/string_formatter.h"

#include <gtest/gtest.h>

namespace tessra {
namespace {

using namespace Qt::StringLiterals;

struct FormatCase {
  const char16_t* format;
  QStringList arguments;
  const char16_t* expected;
};

TEST(StringFormatter, SubstitutesOnlyWhatTheTableDefines) {
  const FormatCase cases[] = {
      {u"Plain text", {}, u"Plain text"},
      {u"Edit %@", {u"Work"_s}, u"Edit Work"},
      {u"%@ bearbeiten", {u"Work"_s}, u"Work bearbeiten"},
      {u"100%% sure", {}, u"100% sure"},
      {u"%%@ is how a placeholder looks", {u"x"_s}, u"%@ is how a placeholder looks"},
      // A placeholder without its argument stays as written.
      {u"Edit %@", {}, u"Edit %@"},
      {u"%@ and %@", {u"one"_s}, u"one and %@"},
      // printf conversions a translator may leave behind are text, never conversions.
      {u"%d items, %s, %n, %x, %5.2f", {u"unused"_s}, u"%d items, %s, %n, %x, %5.2f"},
      {u"Trailing %", {}, u"Trailing %"},
      {u"%", {}, u"%"},
      // Positional placeholders, for translations that reorder.
      {u"%2$@ before %1$@", {u"a"_s, u"b"_s}, u"b before a"},
      {u"%3$@ is missing", {u"a"_s}, u"%3$@ is missing"},
      {u"%0$@ is not a position", {u"a"_s}, u"%0$@ is not a position"},
      {u"%1$ without its @", {u"a"_s}, u"%1$ without its @"},
      // An argument is inserted as it is, never formatted again.
      {u"Edit %@", {u"50%% %@ %d"_s}, u"Edit 50%% %@ %d"},
      {u"🧹 %@ ⮐ …", {u"名前"_s}, u"🧹 名前 ⮐ …"},
  };
  for (const FormatCase& test : cases) {
    const QString format = QString::fromUtf16(test.format);
    EXPECT_EQ(formatLocalized(format, test.arguments), QString::fromUtf16(test.expected))
        << format.toStdString();
  }
}

}  // namespace
}  // namespace tessra
