// The real message page in the embedded browser, driven by the program's own calls and read back
// from its DOM. The browser is slow to start, so the cases share one view where they can.
#include "Tessra/chat_window/messages_web_view.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/constants.h"
#include "Tessra/storage/paths.h"
#include "Tessra/storage/settings_keys.h"
#include "Tessra/storage/user_settings.h"
#include "testing/log_capture.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using testing::evaluate;
using testing::pageMessage;
using testing::waitForPage;
using testing::waitIdle;

// Catches what the program hands to the desktop, so nothing launches.
class OpenedUrls : public QObject {
  Q_OBJECT

 public:
  OpenedUrls() {
    for (const char* scheme : {"http", "https", "mailto", "file"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
  }
  ~OpenedUrls() override {
    for (const char* scheme : {"http", "https", "mailto", "file"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }

  std::vector<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.push_back(url); }
};

class MessagesWebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_folder = new tessra::testing::TempDir;
    // Before anything reads a location: the store and the settings live in this test's folder.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((s_folder->path() / "data").string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((s_folder->path() / "config").string()));
    ChatSessionManager::shared().load();
    s_hub = new ChatViewSignals;
    s_view = new MessagesWebView(ChatSource::master, *s_hub);
    s_view->resize(700, 700);
    s_view->show();
    ASSERT_TRUE(waitForPage(*s_view));
  }

  static void TearDownTestSuite() {
    delete s_view;
    delete s_hub;
    delete s_folder;
  }

  static QVariant js(const QString& script) { return evaluate(*s_view, script); }
  static QVariant js(const char* script) { return js(QString::fromUtf8(script)); }

  static void send(const MessageUpdate& update) {
    emit s_hub->messageUpdates(update);
    ASSERT_TRUE(waitIdle(*s_view));
  }

  // Puts a conversation into the store and shows it through the view.
  static void show(const std::string& id, const std::vector<ChatMessage>& messages) {
    auto& store = ChatSessionManager::shared();
    store.sessions[id] = ChatSession{id, id, messages};
    s_view->setSessionID(id);
    ASSERT_TRUE(waitIdle(*s_view));
  }

  static int articleCount() {
    return js("document.querySelectorAll('#messages article').length").toInt();
  }

  static inline tessra::testing::TempDir* s_folder = nullptr;
  static inline ChatViewSignals* s_hub = nullptr;
  static inline MessagesWebView* s_view = nullptr;
};

TEST_F(MessagesWebViewTest, ShowsEveryKindOfMessageSanitised) {
  const std::string files = Paths::filesDirectory().rawValue();
  QDir().mkpath(QString::fromStdString(files));
  QImage thumbnail(4, 3, QImage::Format_RGB32);
  thumbnail.fill(Qt::red);
  ASSERT_TRUE(thumbnail.save(QString::fromStdString(files + "picture-thumb.jpg"), "JPG"));
  ChatMessage plain = pageMessage("plain", "Grüße 🙂 日本語 שלום",
                                  "Some **bold** text.\n\n"
                                  "```cpp\nint main() { return 0; }\n```",
                                  86400);
  ChatMessage streaming = pageMessage("streaming", "still going", "partial");
  streaming.finished = false;
  ChatMessage failed = pageMessage("failed", "q", "half an answer");
  failed.error = "The service said no";
  ChatMessage tools = pageMessage("tools", "draw", "");
  tools.functionCalls =
      std::vector<ChatMessageFunctionCall>{{"Drawing", ChatMessageFunctionCall::Status::loading},
                                           {"Drawn", ChatMessageFunctionCall::Status::done},
                                           {"Broken", ChatMessageFunctionCall::Status::failed}};
  ChatMessage attached = pageMessage("files", "look", "ok");
  attached.questionFile = ChatMessageFile{"notes.txt", std::nullopt, "body", std::nullopt,
                                          ChatMessageFile::ChatMessageFileType::text};
  attached.answerFiles = std::vector<ChatMessageFile>{
      {"picture.jpg", "file://" + files + "picture.jpg", std::nullopt,
       "file://" + files + "picture-thumb.jpg", ChatMessageFile::ChatMessageFileType::image}};
  attached.endContext = true;
  ChatMessage hostile = pageMessage(
      "hostile", "<b>not bold</b>",
      "<script>window.attacked = 1</script>\n\n<img src=x onerror=\"window.attacked = 2\">\n\n"
      "[click](javascript:window.attacked=3) <iframe srcdoc=\"<p>frame</p>\"></iframe>\n\n"
      "![cat](https://example.com/cat.png)");
  show("kinds", {plain, streaming, failed, tools, attached, hostile});
  ASSERT_EQ(articleCount(), 6);

  const auto article = [](const char* id, const char* query) {
    return QStringLiteral(
               "(() => { const a = [...document.querySelectorAll('#messages article')]"
               "[%1]; return %2; })()")
        .arg(QString::fromUtf8(id), QString::fromUtf8(query));
  };
  EXPECT_EQ(js(article("0", "a.querySelector('.question-text').textContent")).toString(),
            QString::fromUtf8("Grüße 🙂 日本語 שלום"));
  EXPECT_EQ(js(article("0", "a.querySelector('.markdown strong').textContent")).toString(),
            u"bold");
  EXPECT_GT(js(article("0", "a.querySelectorAll('pre code.hljs span').length")).toInt(), 0);
  EXPECT_TRUE(js(article("0", "a.querySelector('time').textContent")).toString().contains(u"2001"));
  EXPECT_EQ(js(article("0", "!!a.querySelector('.streaming-indicator')")).toBool(), false);
  EXPECT_EQ(js(article("1", "!!a.querySelector('.streaming-indicator')")).toBool(), true);
  EXPECT_EQ(js(article("2", "a.querySelector('.error-text').textContent")).toString(),
            u"The service said no");
  EXPECT_EQ(js(article("2", "a.querySelector('.markdown').textContent.trim()")).toString(),
            u"half an answer");
  EXPECT_EQ(js(article("3",
                       "[...a.querySelectorAll('.call')].map(c => c.className + ':' + "
                       "c.textContent).join('|')"))
                .toString(),
            u"call call-loading:Drawing|call call-done:Drawn|call call-failed:Broken");
  EXPECT_EQ(js(article("4", "a.querySelector('.question .file-name').textContent")).toString(),
            u"notes.txt");
  EXPECT_EQ(js(article("4", "a.querySelector('.answer .file img').getAttribute('src')")).toString(),
            QString::fromStdString("tessra-file://" + files + "picture-thumb.jpg"));
  // The thumbnail is shown from the files folder.
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return js(article("4", "a.querySelector('.answer .file img').naturalWidth")).toInt() == 4;
  }));
  EXPECT_EQ(js(article("4", "!!a.querySelector('.context-break')")).toBool(), true);

  // The hostile answer: nothing of it runs, nothing remote loads, the image is its link.
  EXPECT_EQ(js("window.attacked === undefined").toBool(), true);
  EXPECT_EQ(js(article("5", "a.querySelectorAll('script, iframe, [onerror]').length")).toInt(), 0);
  EXPECT_EQ(js(article("5",
                       "[...a.querySelectorAll('a')].some(l => /^javascript:/i.test("
                       "l.getAttribute('href') || ''))"))
                .toBool(),
            false);
  EXPECT_EQ(js(article("5",
                       "[...a.querySelectorAll('img')].map(i => i.getAttribute('src'))"
                       ".filter(s => /^https?:/.test(s)).length"))
                .toInt(),
            0);
  EXPECT_EQ(js(article("5", "a.querySelector('a.remote-image').getAttribute('href')")).toString(),
            u"https://example.com/cat.png");
  EXPECT_EQ(js(article("5", "a.querySelector('.question-text').textContent")).toString(),
            u"<b>not bold</b>");

  // The page's texts follow the language it is told.
  evaluate(*s_view, QStringLiteral("window.setLocale('de')"));
  EXPECT_EQ(js(article("0", "a.querySelector('.action.delete').textContent")).toString(),
            u"Löschen");
  evaluate(*s_view, QStringLiteral("window.setLocale('en')"));
  EXPECT_EQ(js(article("0", "a.querySelector('.action.delete').textContent")).toString(),
            u"Delete");
}

}  // namespace
}  // namespace tessra

#include "messages_web_view_test.moc"
