#include "platform/ui/url_opener.h"

#include <QDesktopServices>
#include <QObject>

#include <gtest/gtest.h>

#include "testing/log_capture.h"

namespace tessra::platform {
namespace {

// Stands in for the desktop's handlers: the real opener runs, nothing is launched.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

TEST(UrlOpenerTest, OnlyWebAndMailLinksLeaveTheProgram) {
  UrlRecorder recorder;
  for (const char* scheme : {"http", "https", "mailto", "file", "javascript", "ftp", "tessra"})
    QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");

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
  for (const auto& c : cases) {
    recorder.opened.clear();
    const QUrl url(QString::fromUtf8(c.text));
    EXPECT_EQ(openExternally(url), c.opens) << c.text;
    EXPECT_EQ(recorder.opened.size(), c.opens ? 1 : 0) << c.text;
  }
  EXPECT_TRUE(log.contains("Refused to open \"file:///etc/passwd\""));
  for (const char* scheme : {"http", "https", "mailto", "file", "javascript", "ftp", "tessra"})
    QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

}  // namespace
}  // namespace tessra::platform

#include "url_opener_test.moc"
