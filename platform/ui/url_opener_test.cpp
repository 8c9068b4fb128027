#include "platform/ui/url_opener.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "testing/fake_opener.h"
#include "testing/log_capture.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"

namespace tessra::platform {
namespace {

using testing::FakeOpener;

TEST(UrlOpenerTest, OnlyWebAndMailLinksLeaveTheProgram) {
  FakeOpener opener;
  const struct {
    const char* text;
    bool opens;
  } cases[] = {
      {"https://example.com/a?b=c", true},
      {"http://example.com", true},
      {"HTTPS://EXAMPLE.COM", true},
      {"mailto:support@example.com", true},
      {"mailto:", false},
      {"https://", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"ftp://example.com/x", false},
      {"tessra://open", false},
      {"example.com", false},
      {"", false},
  };
  tessra::testing::LogCapture log;
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    const QUrl url(QString::fromUtf8(c.text));
    int failures = 0;
    EXPECT_EQ(openExternally(url, [&] { ++failures; }), c.opens) << c.text;
    if (c.opens) expected.push_back(url.toString(QUrl::FullyEncoded).toStdString());
    ASSERT_EVENTUALLY(opener.opened().size() == expected.size(), 5000) << c.text;
    EXPECT_EQ(failures, c.opens ? 0 : 1) << c.text;
  }
  EXPECT_EQ(opener.opened(), expected);
  EXPECT_TRUE(log.contains("Refused to open \"file:///etc/passwd\""));
}

TEST(UrlOpenerTest, ALinkOrFileNoProgramOpensIsReported) {
  const QUrl link(QStringLiteral("https://example.com/share"));
  const struct {
    const char* what;
    std::function<bool(std::function<void()>)> open;
  } cases[] = {
      {"a link", [&](std::function<void()> failed) { return openExternally(link, failed); }},
      {"a file",
       [](std::function<void()> failed) {
         return openFileExternally(QStringLiteral("/nowhere/cat.jpg"), failed);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tessra::testing::LogCapture log;
    {
      // The desktop's opener runs and finds no program for it.
      FakeOpener opener(FakeOpener::kNoProgram);
      int failures = 0;
      EXPECT_TRUE(c.open([&] { ++failures; }));
      ASSERT_EVENTUALLY(failures == 1, 5000);
    }
    {
      // No opener at all.
      tessra::testing::ScopedEnv noPrograms("PATH", "");
      int failures = 0;
      EXPECT_FALSE(c.open([&] { ++failures; }));
      EXPECT_EQ(failures, 1);
    }
    EXPECT_TRUE(log.contains("No program opened"));
  }
}

}  // namespace
}  // namespace tessra::platform
