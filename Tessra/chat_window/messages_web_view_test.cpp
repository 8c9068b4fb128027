// The real message page in the embedded browser, driven by the program's own calls and read back
// from its DOM. The browser is slow to start, so the cases share one view where they can.
#include "Tessra/chat_window/messages_web_view.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <vector>

#include "Tessra/chat_window/browser_rendering.h"
#include "Tessra/chat_window/page_script.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/chat_session_manager_test_access.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/paths.h"
#include "Tessra/storage/user_settings.h"
#include "testing/fake_opener.h"
#include "testing/log_capture.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using testing::evaluate;
using testing::pageMessage;
using testing::waitForPage;
using testing::waitIdle;

// Catches what the program hands to the desktop's opener, so nothing launches.
class OpenedUrls {
 public:
  explicit OpenedUrls(int exitStatus = testing::FakeOpener::kOpened) : m_opener(exitStatus) {}

  // What the opener was asked for since the last `clear`, a file as its file URL.
  std::vector<QUrl> urls() const {
    std::vector<QUrl> result;
    const std::vector<std::string> lines = m_opener.opened();
    for (std::size_t i = m_cleared; i < lines.size(); ++i) {
      const QString line = QString::fromStdString(lines[i]);
      result.push_back(line.startsWith(u'/') ? QUrl::fromLocalFile(line) : QUrl(line));
    }
    return result;
  }
  void clear() { m_cleared = m_opener.opened().size(); }

 private:
  testing::FakeOpener m_opener;
  std::size_t m_cleared = 0;
};

std::string repeated(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

class MessagesWebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_folder = new tessra::testing::TempDir;
    // Before anything reads a location: the store and the settings live in this test's folder.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((s_folder->path() / "data").string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((s_folder->path() / "config").string()));
    ChatSessionManager::shared().load();
    // The page is drawn as in the program.
    chooseBrowserRendering();
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
    ChatSessionManagerTestAccess::sessions(store)[id] = ChatSession{id, id, messages};
    s_view->setSessionID(id);
    ASSERT_TRUE(waitIdle(*s_view));
  }

  static int distanceFromEnd() {
    return js("(() => { const v = document.scrollingElement; "
              "return v.scrollHeight - v.scrollTop - v.clientHeight; })()")
        .toInt();
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

TEST_F(MessagesWebViewTest, AnAnswerTakesNoneOfThePagesIdsOrStylesAndStaysInItsMessage) {
  // Answers that use every id and class the page finds or styles its own nodes by, read from the
  // page itself, and what else could draw beyond an answer.
  const QVariantList names =
      js("(() => { const ids = new Set([...document.querySelectorAll('[id]')].map(n => n.id)); "
         "const classes = new Set(); for (const sheet of document.styleSheets) "
         "for (const rule of sheet.cssRules) for (const m of (rule.selectorText || '')"
         ".matchAll(/([.#])([\\w-]+)/g)) (m[1] === '#' ? ids : classes).add(m[2]); "
         "return [[...ids], [...classes]]; })()")
          .toList();
  ASSERT_EQ(names.size(), 2);
  ASSERT_TRUE(names[0].toStringList().contains("notice") &&
              names[1].toStringList().contains("search-hit"));
  std::string everyId;
  for (const QString& id : names[0].toStringList())
    everyId += "<div id=\"" + id.toStdString() + "\" name=\"" + id.toStdString() + "\">x</div>\n";
  std::string everyClass;
  for (const QString& name : names[1].toStringList())
    everyClass += "<p><span class=\"" + name.toStdString() + "\">x</span></p>\n";
  const std::string hostile[] = {
      everyId,
      everyClass,
      "<div style=\"position: fixed; inset: 0; z-index: 99\">cover</div>",
      "<dialog open>Your API key expired</dialog><img name=\"getElementById\">",
      "Code: <code class=\"language-js error\">let x</code>",
  };
  std::vector<ChatMessage> messages;
  for (const std::string& answer : hostile)
    messages.push_back(pageMessage("h" + std::to_string(messages.size()), "q", answer));
  show("dressed", messages);
  for (const ChatMessage& message : messages) send(MessageUpdate::scrollToMessage(message.id));

  // The page's own nodes are the only ones with ids, and where the page put them.
  EXPECT_EQ(js("[...document.querySelectorAll('[id], #messages [name]')].map(n => "
               "n.parentNode === document.body ? n.id : n.outerHTML).join()")
                .toString()
                .toStdString(),
            "loading,messages,notice");
  // No node of an answer has a class but a code block's language (the highlighter's marks inside
  // a code block are the page's).
  EXPECT_EQ(js("[...document.querySelectorAll('#messages .markdown .block [class]')].filter(n => "
               "!n.closest('pre code') && !n.matches('a.remote-image')).map(n => n.outerHTML)"
               ".join()")
                .toString()
                .toStdString(),
            "<code class=\"language-js\">let x</code>");
  // Nothing of an answer lies beyond its message, over the transcript.
  EXPECT_EQ(js("[...document.querySelectorAll('#messages article')].flatMap(a => { "
               "const box = a.getBoundingClientRect(); return [...a.querySelectorAll('.markdown "
               "*')].filter(n => { const r = n.getBoundingClientRect(); return r.width && "
               "(r.top < box.top || r.bottom > box.bottom || r.left < box.left || r.right > "
               "box.right); }).map(n => n.outerHTML); }).join()")
                .toString()
                .toStdString(),
            "");

  // The program's notices go into the page's own notice.
  js("window.showNotice('cannotOpenFile')");
  EXPECT_EQ(js("(() => { const n = document.querySelector('body > #notice'); "
               "return n.hidden ? '' : n.textContent; })()")
                .toString(),
            LocalizedText::MessagePage::cannotOpenFile());
  js("document.querySelector('body > #notice').hidden = true");
}

TEST_F(MessagesWebViewTest, UpdatesApplyInOrderAndGrowingEditsEndAsAOneShotRender) {
  show("updates", {pageMessage("first", "one", "answer one")});
  ChatMessage grown = pageMessage("grown", "Explain", "");
  grown.finished = false;
  send(MessageUpdate::appendMessage(grown));
  ASSERT_EQ(articleCount(), 2);

  const int rendersBefore = js("window.pageStats.renders").toInt();
  std::string answer;
  for (int i = 0; i < 500; ++i) {
    answer += i % 50 == 0 ? "\n\n```python\nprint(" + std::to_string(i) + ")\n```\n\n" : "word ";
    grown.answer = answer;
    grown.finished = i == 499;
    emit s_hub->messageUpdates(MessageUpdate::editMessage(grown));
  }
  ASSERT_TRUE(waitIdle(*s_view));
  // The edits of one message were merged: far fewer renders than edits.
  EXPECT_LT(js("window.pageStats.renders").toInt() - rendersBefore, 100);
  const QString streamed =
      js("document.querySelectorAll('#messages article')[1].outerHTML").toString();

  show("oneShot", {grown});
  EXPECT_EQ(js("document.querySelectorAll('#messages article')[0].outerHTML").toString(), streamed);

  // An edit of an unknown message changes nothing; delete, scroll and clear act on the page.
  show("updates2", {pageMessage("a", "A", "a"), pageMessage("b", "B", "b")});
  const QString before = js("document.getElementById('messages').innerHTML").toString();
  send(MessageUpdate::editMessage(pageMessage("nobody", "?", "?")));
  EXPECT_EQ(js("document.getElementById('messages').innerHTML").toString(), before);
  send(MessageUpdate::deleteMessage("a"));
  EXPECT_EQ(js("[...document.querySelectorAll('#messages .question-text')].map(q => "
               "q.textContent).join()")
                .toString(),
            u"B");
  send(MessageUpdate::scrollToMessage("b"));
  send(MessageUpdate::clearMessages());
  EXPECT_EQ(articleCount(), 0);

  // A long conversation opens at its end and stays there; what is far above waits until it
  // comes near.
  std::vector<ChatMessage> many;
  for (int i = 0; i < 80; ++i)
    many.push_back(pageMessage("n" + std::to_string(i), "question " + std::to_string(i),
                               "answer\n\n```js\nlet x = " + std::to_string(i) + ";\n```"));
  show("long", many);
  const auto rendered = [] {
    return js("document.querySelectorAll('#messages article:not(.waiting)').length").toInt();
  };
  ASSERT_EVENTUALLY(distanceFromEnd() <= 1, 5000);
  EXPECT_LT(rendered(), 40);
  js("document.scrollingElement.scrollTop = 0");
  ASSERT_EVENTUALLY(
      js("document.querySelector('#messages article').classList.contains('waiting')").toBool() ==
          false,
      5000);
  EXPECT_EQ(js("document.querySelector('#messages article .question-text').textContent").toString(),
            u"question 0");

  // A restore hides the indicator the session change showed.
  s_view->setSessionID("updates3");
  ASSERT_TRUE(waitIdle(*s_view));
  EXPECT_EQ(js("document.getElementById('loading').hidden").toBool(), true);
}

TEST_F(MessagesWebViewTest, SearchMarksStepsAroundAndClearRestoresThePage) {
  show("search", {pageMessage("s1", "it's here", "it's there\n\nback\\slash"),
                  pageMessage("s2", "no match", "IT'S loud")});
  const QString before = js("document.getElementById('messages').innerHTML").toString();
  const auto current = [] {
    return js("(() => { const m = [...document.querySelectorAll('mark.search-hit')]; "
              "return m.indexOf(document.querySelector('mark.current')); })()")
        .toInt();
  };

  send(MessageUpdate::searchMessage("it's"));
  EXPECT_EQ(js("document.querySelectorAll('mark.search-hit').length").toInt(), 3);
  EXPECT_EQ(current(), 0);
  send(MessageUpdate::nextSearchResult(true));
  send(MessageUpdate::nextSearchResult(true));
  EXPECT_EQ(current(), 2);
  send(MessageUpdate::nextSearchResult(true));
  EXPECT_EQ(current(), 0);
  send(MessageUpdate::nextSearchResult(false));
  EXPECT_EQ(current(), 2);

  send(MessageUpdate::searchMessage("back\\slash"));
  EXPECT_EQ(js("[...document.querySelectorAll('mark.search-hit')].map(m => m.textContent).join()")
                .toString(),
            u"back\\slash");

  send(MessageUpdate::searchMessage(std::nullopt));
  EXPECT_EQ(js("document.getElementById('messages').innerHTML").toString(), before);
}

TEST_F(MessagesWebViewTest, TheCurrentMatchAndItsQuestionStayInViewInLongConversations) {
  // Answers of many shapes, so that no message is as tall as it was guessed to be before it
  // rendered.
  const auto conversation = [](int count) {
    std::vector<ChatMessage> messages;
    for (int i = 0; i < count; ++i) {
      std::string answer;
      for (int paragraph = 0; paragraph <= i % 6; ++paragraph)
        answer += repeated("Some words of an answer. ", 3 + (i * 7 + paragraph * 5) % 23) + "\n\n";
      if (i % 4 == 0) answer += "```python\nprint(" + std::to_string(i) + ")\n```\n\n- a\n- b\n";
      messages.push_back(pageMessage(
          "m" + std::to_string(i),
          "Question " + std::to_string(i) + " about topic " + std::to_string(i % 13), answer));
    }
    return messages;
  };
  // Once nothing near the view waits to be rendered any more: the view's height, and where the
  // question holding the current match and the match stand from its top.
  const auto settled = [] {
    QVariantList place;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          place = js("(() => { const h = window.innerHeight; const near = [...document."
                     "querySelectorAll('#messages article.waiting')].some(a => { const r = "
                     "a.getBoundingClientRect(); return r.bottom > -1.5 * h && r.top < 2.5 * h; "
                     "}); const m = document.querySelector('mark.current'); const q = m.closest("
                     "'article').querySelector('.question'); return near ? [] : [h, "
                     "q.getBoundingClientRect().top, m.getBoundingClientRect().top, "
                     "m.getBoundingClientRect().bottom]; })()")
                      .toList();
          return !place.isEmpty();
        },
        5000));
    return place;
  };
  const struct {
    int count;
    const char* query;
    int steps;
  } cases[] = {{1000, "Question 777 about", 0},
               {5000, "Question 777 about", 0},
               {1000, "Question 77", 4},
               {5000, "Question 177", 3}};
  for (const auto& test : cases) {
    SCOPED_TRACE(std::string(test.query) + " in " + std::to_string(test.count));
    show("long" + std::to_string(test.count), conversation(test.count));
    ASSERT_EVENTUALLY(distanceFromEnd() <= 1, 5000);
    send(MessageUpdate::searchMessage(test.query));
    for (int step = 0; step <= 2 * test.steps; ++step) {
      if (step > 0) send(MessageUpdate::nextSearchResult(step <= test.steps));
      const QVariantList place = settled();
      ASSERT_EQ(place.size(), 4);
      // Mid-view, where the search put it, with its question in view above it.
      const double middle = (place[2].toDouble() + place[3].toDouble()) / 2;
      EXPECT_NEAR(middle, place[0].toDouble() / 2, 2) << "step " << step;
      EXPECT_GE(place[1].toDouble(), 0) << "the question's top, step " << step;
    }
    send(MessageUpdate::searchMessage(std::nullopt));
  }
}

TEST_F(MessagesWebViewTest, LoadOrderDecidesWhatANewPageShows) {
  auto& store = ChatSessionManager::shared();
  ChatSessionManagerTestAccess::sessions(store)["waiting"] =
      ChatSession{"waiting", "w", {pageMessage("w1", "first", "1")}};
  ChatSessionManagerTestAccess::sessions(store)["other"] =
      ChatSession{"other", "o", {pageMessage("o1", "other", "o")}};

  // Set before load, a message added meanwhile: shown once, with it.
  {
    ChatViewSignals hub;
    MessagesWebView view(ChatSource::master, hub);
    view.setSessionID("other");
    view.setSessionID("waiting");
    store.upsertMessage(pageMessage("w2", "second", "2"), "waiting");
    emit hub.messageUpdates(MessageUpdate::appendMessage(pageMessage("lost", "x", "x")));
    ASSERT_TRUE(waitForPage(view));
    EXPECT_EQ(evaluate(view, "window.pageStats.restores").toInt(), 1);
    EXPECT_EQ(evaluate(view,
                       "[...document.querySelectorAll('.question-text')].map(q => "
                       "q.textContent).join()")
                  .toString(),
              u"first,second");
    EXPECT_FALSE(view.isEmpty());

    // The same id again, or none, sends nothing.
    view.setSessionID("waiting");
    view.setSessionID("");
    ASSERT_TRUE(waitIdle(view));
    EXPECT_EQ(evaluate(view, "window.pageStats.restores").toInt(), 1);

    // A conversation that cannot be loaded is logged and hides the indicator.
    tessra::testing::LogCapture log;
    view.setSessionID("../outside");
    ASSERT_TRUE(waitIdle(view));
    EXPECT_TRUE(log.contains("../outside")) << log.all();
    EXPECT_EQ(evaluate(view, "document.getElementById('loading').hidden").toBool(), true);
  }

  // Messages given directly win over a waiting conversation and do not scroll to the end.
  {
    UserSettings::shared().setValue(setting::appLanguage, AppLanguage::french);
    ChatViewSignals hub;
    MessagesWebView view(ChatSource::popUpAnswers, hub);
    view.setSessionID("waiting");
    view.setMessages({pageMessage("alone", "only me", "answer")});
    ASSERT_TRUE(waitForPage(view));
    EXPECT_EQ(evaluate(view,
                       "[...document.querySelectorAll('.question-text')].map(q => "
                       "q.textContent).join()")
                  .toString(),
              u"only me");
    EXPECT_EQ(evaluate(view, "document.querySelector('.action.delete').textContent").toString(),
              u"Supprimer");
    UserSettings::shared().setValue(setting::appLanguage, AppLanguage::system);

    // Only the floating window's page follows the window size.
    UserSettings::shared().setValue(setting::floatingWindowSize, FloatingWindowSize::large);
    platform::NotificationCenter::defaultCenter().post(
        std::string(notification_names::kWillResizeGptWindow));
    EXPECT_EQ(view.preferredWidth(), std::nullopt);
    EXPECT_EQ(s_view->preferredWidth(), 800);
    EXPECT_EQ(s_view->width(), 800);
    UserSettings::shared().setValue(setting::floatingWindowSize, FloatingWindowSize::small);
    platform::NotificationCenter::defaultCenter().post(
        std::string(notification_names::kWillResizeGptWindow));
    EXPECT_EQ(s_view->preferredWidth(), 600);
  }
}

TEST_F(MessagesWebViewTest, PageRequestsReachTheProgramOnlyAsAllowed) {
  OpenedUrls opened;
  std::vector<std::pair<std::string, std::string>> shown;
  std::vector<std::string> deleted;
  QObject context;
  QObject::connect(s_view, &MessagesWebView::showMessageRequested, &context,
                   [&](const std::string& session, const std::string& message) {
                     shown.emplace_back(session, message);
                   });
  QObject::connect(s_view, &MessagesWebView::deleteMessageRequested, &context,
                   [&](const std::string& id) { deleted.push_back(id); });
  show("bridge", {pageMessage("m1", "question", "See [the site](https://example.com/page).")});

  // The page's own buttons.
  js("document.querySelector('.action.open').click()");
  js("document.querySelector('.action.delete').click()");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.empty() && !deleted.empty(); }));
  EXPECT_EQ(shown.front(), std::make_pair(std::string("bridge"), std::string("m1")));
  EXPECT_EQ(deleted.front(), "m1");

  // Malformed bodies take the defaults; an unknown type is logged; a frame is not heard.
  tessra::testing::LogCapture log;
  js("const f = document.createElement('iframe'); f.srcdoc = '<p>frame</p>'; "
     "document.body.append(f);");
  ASSERT_TRUE(QTest::qWaitFor([] {
    return js("typeof document.querySelector('iframe').contentWindow.openMessage").toString() ==
           u"function";
  }));
  js("document.querySelector('iframe').contentWindow.openMessage('from-frame')");
  js("document.querySelector('iframe').contentWindow.webkit.messageHandlers.handler.postMessage("
     "{type: 'show_message', id: 'from-frame'})");
  js("webkit.messageHandlers.handler.postMessage('not a dictionary')");
  js("webkit.messageHandlers.handler.postMessage({type: 'show_message'})");
  js("webkit.messageHandlers.handler.postMessage({type: 'delete_message', id: 5})");
  js("webkit.messageHandlers.handler.postMessage({type: 7, id: 'x'})");
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains("todo handle this action:"); }));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown.back().second, "0");
  ASSERT_EQ(deleted.size(), 2u);
  EXPECT_EQ(deleted.back(), "0");
  js("document.querySelector('iframe').remove()");

  // Files: only a regular file inside the files folder opens.
  const QString files = QString::fromStdString(Paths::filesDirectory().rawValue());
  QDir().mkpath(files + "folder");
  tessra::testing::TempDir outside;
  const auto outsideFile = outside.write("secret.txt", "secret");
  QFile::link(QString::fromStdString(outsideFile.string()), files + "link-out.txt");
  QFile note(files + "note.txt");
  ASSERT_TRUE(note.open(QIODevice::WriteOnly));
  note.close();
  const QString refused[] = {
      QUrl::fromLocalFile(QString::fromStdString(outsideFile.string())).toString(),
      QUrl::fromLocalFile(files + "folder").toString(),
      QUrl::fromLocalFile(files + "link-out.txt").toString(),
      "file://" + files + "%2e%2e/%2e%2e/" + QString::fromStdString(outsideFile.string()),
      "https://example.com/note.txt",
      "",
  };
  for (const QString& path : refused)
    js(QStringLiteral("window.openFile(%1)")
           .arg(QString::fromStdString(page_script::stringLiteral(path.toStdString()))));
  js(QStringLiteral("window.openFile('%1')")
         .arg(QUrl::fromLocalFile(files + "note.txt").toString()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.urls().empty(); }));
  ASSERT_EQ(opened.urls().size(), 1u);
  EXPECT_EQ(opened.urls().front(), QUrl::fromLocalFile(files + "note.txt"));
  EXPECT_EQ(log.linesStartingWith("Refused to open the file").size(), std::size(refused))
      << log.all();

  // A link opens outside and the page stays; so does a request for a window, which makes none.
  opened.clear();
  const QVariantList box =
      js("(() => { const r = document.querySelector('.markdown a').getBoundingClientRect(); "
         "return [r.x + r.width / 2, r.y + r.height / 2]; })()")
          .toList();
  QTest::mouseClick(s_view->focusProxy(), Qt::LeftButton, {},
                    QPoint(box.value(0).toInt(), box.value(1).toInt()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.urls().empty(); }));
  EXPECT_EQ(opened.urls().front(), QUrl("https://example.com/page"));
  const auto viewsBefore = QApplication::allWidgets().size();
  js("window.open('https://example.com/window')");
  ASSERT_TRUE(QTest::qWaitFor([&] { return opened.urls().size() == 2; }));
  EXPECT_EQ(opened.urls().back(), QUrl("https://example.com/window"));
  EXPECT_EQ(QApplication::allWidgets().size(), viewsBefore);
  // The page never goes anywhere else: a script's navigation counts as a link.
  js("location.href = 'https://example.com/away'");
  ASSERT_TRUE(QTest::qWaitFor([&] { return opened.urls().size() == 3; }));
  EXPECT_EQ(opened.urls().back(), QUrl("https://example.com/away"));
  EXPECT_EQ(s_view->url(), MessagesWebView::pageUrl());
  EXPECT_EQ(articleCount(), 1);
}

TEST_F(MessagesWebViewTest, CopyIsPlainTextAndTheMenuNeedsASelection) {
  show("copy", {pageMessage("c1", "copy this", "**bold** words")});
  s_view->activateWindow();
  const auto select = [] {
    js("(() => { const r = document.createRange(); r.selectNodeContents(document.querySelector("
       "'.markdown')); const s = getSelection(); s.removeAllRanges(); s.addRange(r); })()");
  };
  select();
  QApplication::clipboard()->clear();
  s_view->page()->triggerAction(QWebEnginePage::Copy);
  ASSERT_TRUE(QTest::qWaitFor([] { return !QApplication::clipboard()->text().isEmpty(); }));
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  EXPECT_EQ(copied->formats(), QStringList{"text/plain"});
  EXPECT_EQ(copied->text().trimmed(), u"bold words");

  const auto menus = [] {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* menu = qobject_cast<QMenu*>(widget); menu && menu->isVisible()) {
        ++count;
        EXPECT_EQ(menu->actions().size(), 1);
        menu->close();
      }
    return count;
  };
  const QVariantList centre =
      js("(() => { const r = document.querySelector('.markdown strong').getBoundingClientRect(); "
         "return [r.x + r.width / 2, r.y + r.height / 2]; })()")
          .toList();
  const QPoint inside(centre.value(0).toInt(), centre.value(1).toInt());
  QTest::mouseClick(s_view->focusProxy(), Qt::RightButton, {}, inside);
  ASSERT_TRUE(QTest::qWaitFor([&] { return menus() == 1; }));

  // Without a selection no menu opens: the next click, with one, is the only one that opens.
  js("getSelection().removeAllRanges()");
  QTest::mouseClick(s_view->focusProxy(), Qt::RightButton, {}, inside);
  select();
  QTest::mouseClick(s_view->focusProxy(), Qt::RightButton, {}, inside);
  int opened = 0;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (opened += menus()) > 0; }));
  EXPECT_EQ(opened, 1);
}

// A picture in the attachment files folder, as the image tool leaves one, and its file record.
ChatMessageFile picture(const std::string& name, int width, int height) {
  const std::string path = Paths::filesDirectory().rawValue() + name;
  QDir().mkpath(QString::fromStdString(Paths::filesDirectory().rawValue()));
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  EXPECT_TRUE(image.save(QString::fromStdString(path), "JPG"));
  return {name, "file://" + path, std::nullopt, std::nullopt,
          ChatMessageFile::ChatMessageFileType::image};
}

TEST_F(MessagesWebViewTest, AnswersNoReaderWritesShowAsTextAndNeverStopTheOthers) {
  const struct {
    const char* question;
    std::string answer;
    bool asText;
  } hostile[] = {
      {"quotes", std::string(100000, '>') + " deep", true},
      {"spaced quotes", repeated("> ", 100000) + "deep", true},
      {"list", repeated("- ", 100000) + "deep", true},
      {"stars", repeated("* ", 50000) + "deep", true},
      {"indented", repeated("  ", 2000) + "- deep", true},
      {"emphasis", repeated("*a", 25000) + repeated("a*", 25000), true},
      {"emphasis lines", repeated(repeated("_a", 1000) + "\n", 60), false},
      {"five megabytes", repeated("word ", 1000000), false},
  };
  std::vector<ChatMessage> messages{pageMessage("before", "first", "**fine**")};
  for (const auto& test : hostile)
    messages.push_back(pageMessage(test.question, test.question, test.answer));
  messages.push_back(pageMessage("after", "last", "**fine too**"));
  // As when the conversation opens again after such an answer came.
  show("hostile", messages);
  show("elsewhere", {pageMessage("x", "x", "x")});
  show("hostile", messages);
  for (const ChatMessage& message : messages) send(MessageUpdate::scrollToMessage(message.id));

  EXPECT_EQ(js("[...document.querySelectorAll('#messages .question-text')].map(q => "
               "q.textContent).join()")
                .toString(),
            u"first,quotes,spaced quotes,list,stars,indented,emphasis,emphasis lines,five "
            u"megabytes,last");
  EXPECT_EQ(js("[...document.querySelectorAll('#messages .markdown strong')].map(b => "
               "b.textContent).join()")
                .toString(),
            u"fine,fine too");
  for (const auto& test : hostile) {
    const int shown =
        js(QStringLiteral("[...document.querySelectorAll('#messages article')].find(a => a."
                          "querySelector('.question-text').textContent === '%1').querySelector("
                          "'.markdown').textContent.replace(/\\s/g, '').length")
               .arg(QString::fromUtf8(test.question)))
            .toInt();
    const auto visible = std::ranges::count_if(test.answer, [](char c) { return c > ' '; });
    if (test.asText) {
      EXPECT_EQ(shown, visible) << test.question;
    } else {
      EXPECT_GT(shown, 0) << test.question;
    }
  }
}

TEST_F(MessagesWebViewTest, AnOpenCodeFenceShowsAsTheCodeBlockItWillBecome) {
  const struct {
    const char* answer;
    const char* code;
  } cases[] = {
      {"Here:\n```python\nprint(1)", "print(1)"},
      {"Here:\n\n~~~\nfirst\n\nsecond", "first\n\nsecond"},
      {"Look:\n\n```", ""},
      {"- item\n\n   ```sh\n   ls", "ls"},
  };
  for (const auto& test : cases) {
    ChatMessage streaming = pageMessage("fence", "code?", test.answer);
    streaming.finished = false;
    show(test.answer, {streaming});
    EXPECT_EQ(js("[...document.querySelectorAll('.markdown pre code')].map(c => "
                 "c.textContent.replace(/\\n$/, '')).join('|')")
                  .toString(),
              QString::fromUtf8(test.code))
        << test.answer;
    EXPECT_FALSE(js("document.querySelector('.markdown').textContent").toString().contains(u"```"))
        << test.answer;
    EXPECT_EQ(js("document.querySelectorAll('.markdown code.hljs').length").toInt(), 0)
        << test.answer;
  }
  // Closed while the answer still streams, it is highlighted.
  ChatMessage streaming = pageMessage("fence", "code?", cases[0].answer);
  streaming.finished = false;
  show("closing", {streaming});
  js("window.appendToAnswer('fence', '\\n```\\n'); true");
  EXPECT_EQ(js("document.querySelectorAll('.markdown code.hljs').length").toInt(), 1);
}

TEST_F(MessagesWebViewTest, AStreamedAnswerEndsAsTheAnswerRenderedAtOnce) {
  const std::string longLine = repeated("long ", 1000);
  const struct {
    const char* name;
    std::string answer;
  } answers[] = {
      {"fences",
       "Intro\n\n```python\ndef f():\n\n    return 1\n```\n\nAfter\n\n~~~\nraw ``` inside\n~~~\n\n"
       "````\nfour\n```\nstill\n````\nend\n\n```sh\nleft open"},
      {"lists",
       "- a\n- b\n\n  continued\n\n1. one\n2. two\n   - nested\n\nText\n> quote\n> more\n\n# Head\n"
       "\n" +
           repeated("> ", 20) + "deep\n\nnormal *end*"},
      {"definitions",
       "See [the docs][d] and [x].\n\nMore\n\n[d]: https://example.com/docs\n\nLater [x] and "
       "[d]\n\n[x]: https://example.com/x \"Title\"\n\nLast"},
      {"long lines", "short\n\n" + longLine + "\n\nafter **bold**\n" + longLine + "\n\n" +
                         repeated("word ", 900) + "\nstill the same block\n\n" + longLine},
      {"past the Markdown part", repeated(repeated("para ", 20) + "\n\n", 700) + "tail **plain**"},
  };
  int serial = 0;
  for (const auto& test : answers) {
    for (const int pieceSize : {1, 7, 64, 997}) {
      if (test.answer.size() / pieceSize > 3000) continue;
      const std::string id = "streamed" + std::to_string(++serial);
      ChatMessage message = pageMessage(id, test.name, "");
      message.finished = false;
      show(id, {message});
      // The pieces as the program hands them, straight into the page.
      std::string pieces = "[";
      for (std::size_t at = 0; at < test.answer.size(); at += pieceSize)
        pieces += page_script::stringLiteral(test.answer.substr(at, pieceSize)) + ",";
      pieces += "]";
      js(QStringLiteral("for (const piece of %1) window.appendToAnswer(%2, piece); true")
             .arg(QString::fromStdString(pieces),
                  QString::fromStdString(page_script::stringLiteral(id))));
      message.answer = test.answer;
      message.finished = true;
      send(MessageUpdate::editMessage(message));
      const QString streamed =
          js("document.querySelector('#messages article').outerHTML").toString();
      show(id + "at-once", {message});
      EXPECT_EQ(js("document.querySelector('#messages article').outerHTML").toString(), streamed)
          << test.name << " in pieces of " << pieceSize;
    }
  }
}

TEST_F(MessagesWebViewTest, AGrowingAnswerReachesThePageAsItsNewEndAndRendersItsOpenBlock) {
  ChatMessage message = pageMessage("growing", "grow", "");
  message.finished = false;
  show("growing", {message});
  // The first edit after a restore goes whole: the page's copy is the store's.
  message.answer = "Paragraph 0 with *words*.\n\n";
  send(MessageUpdate::editMessage(message));
  js("window.wholeEdits = 0; const edit = window.editMessage; "
     "window.editMessage = (base64) => { window.wholeEdits++; edit(base64); }; true");
  const auto blocks = [] { return js("window.pageStats.blocks").toInt(); };
  for (int i = 1; i < 40; ++i) {
    message.answer += "Paragraph " + std::to_string(i) + " with *words*.\n\n";
    send(MessageUpdate::editMessage(message));
  }
  message.answer += "```js\nlet open = 1;";
  send(MessageUpdate::editMessage(message));
  const int before = blocks();
  message.answer += "\nlet more = 2;";
  send(MessageUpdate::editMessage(message));
  EXPECT_EQ(blocks(), before + 1) << "the open block alone";
  EXPECT_EQ(js("window.wholeEdits").toInt(), 0);
  EXPECT_EQ(js("document.querySelectorAll('#messages .markdown > .block').length").toInt(), 41);

  // What is more than a longer answer goes whole.
  message.finished = true;
  send(MessageUpdate::editMessage(message));
  EXPECT_EQ(js("window.wholeEdits").toInt(), 1);
  message.answer = "Shorter";
  send(MessageUpdate::editMessage(message));
  EXPECT_EQ(js("window.wholeEdits").toInt(), 2);
  EXPECT_EQ(js("document.querySelector('#messages .markdown').textContent.trim()").toString(),
            u"Shorter");
}

TEST_F(MessagesWebViewTest, MessagesRenderWhenTheyComeNearOnceAndAreKept) {
  std::vector<ChatMessage> thousand;
  for (int i = 0; i < 1000; ++i)
    thousand.push_back(pageMessage("t" + std::to_string(i), "question " + std::to_string(i),
                                   "An answer with **bold** and `code`:\n\n- one\n- two"));
  thousand[3].answer = "A *needle* far above.";
  show("thousand", thousand);
  const auto blocks = [] { return js("window.pageStats.blocks").toInt(); };
  const auto rendered = [] {
    return js("document.querySelectorAll('#messages article:not(.waiting)').length").toInt();
  };
  ASSERT_EVENTUALLY(distanceFromEnd() <= 1, 5000);
  EXPECT_LT(rendered(), 60);
  EXPECT_EQ(js("document.querySelector('#messages article:last-child .question-text')"
               ".textContent")
                .toString(),
            u"question 999");

  // Opened again, it shows what it rendered before without rendering it again.
  const int before = blocks();
  show("elsewhere", {pageMessage("not-shown-before", "x", "x")});
  show("thousand", thousand);
  ASSERT_EVENTUALLY(distanceFromEnd() <= 1, 5000);
  EXPECT_EQ(blocks(), before + 1) << "only the other conversation's one block";

  // A search finds what waits far above, without rendering every message.
  send(MessageUpdate::searchMessage("NEEDLE"));
  EXPECT_EQ(js("[...document.querySelectorAll('mark.search-hit')].map(m => m.textContent).join()")
                .toString(),
            u"needle");
  EXPECT_LT(rendered(), 100);
  send(MessageUpdate::searchMessage(std::nullopt));
  send(MessageUpdate::scrollToMessage("t999"));

  // An edit of one message renders its changed block, and no other message.
  js("document.querySelector('#messages article:nth-last-child(2) .markdown').kept = true");
  const int beforeEdit = blocks();
  ChatMessage last = thousand.back();
  last.answer += "\n\nA new paragraph.";
  send(MessageUpdate::editMessage(last));
  EXPECT_EQ(blocks(), beforeEdit + 1);
  EXPECT_TRUE(
      js("document.querySelector('#messages article:nth-last-child(2) .markdown').kept").toBool());
}

TEST_F(MessagesWebViewTest, AnImageThatLoadsAtTheEndKeepsTheEndInView) {
  std::vector<ChatMessage> earlier;
  for (int i = 0; i < 30; ++i)
    earlier.push_back(pageMessage("e" + std::to_string(i), "question", "answer"));
  show("images", earlier);

  ChatMessage drawn = pageMessage("drawn", "Draw a cat", "Here it is.");
  drawn.answerFiles = std::vector<ChatMessageFile>{picture("drawn.jpg", 400, 300)};
  send(MessageUpdate::appendMessage(drawn));
  ASSERT_EVENTUALLY(js("document.querySelector('.answer .file img').naturalWidth").toInt() == 400,
                    5000);
  ASSERT_EVENTUALLY(distanceFromEnd() <= 1, 5000);

  // Scrolled away, the user stays where they are while an image loads below.
  ChatMessage again = pageMessage("again", "Once more", "");
  again.finished = false;
  send(MessageUpdate::appendMessage(again));
  js("document.scrollingElement.scrollTop = 0");
  ASSERT_EVENTUALLY(distanceFromEnd() > 100, 5000);
  again.answerFiles = std::vector<ChatMessageFile>{picture("drawn-again.jpg", 400, 300)};
  send(MessageUpdate::editMessage(again));
  ASSERT_EVENTUALLY(
      js("[...document.querySelectorAll('.answer .file img')].pop().naturalWidth").toInt() == 400,
      5000);
  EXPECT_EQ(js("document.scrollingElement.scrollTop").toInt(), 0);
}

TEST_F(MessagesWebViewTest, TheLatestMessageStaysInViewAsWhatIsAboveRendersAndItsPictureLoads) {
  std::vector<ChatMessage> messages;
  for (int i = 0; i < 30; ++i)
    messages.push_back(pageMessage("f" + std::to_string(i), "Question " + std::to_string(i),
                                   repeated("A line of an answer.\n\n", 10)));
  show("follow", messages);
  ASSERT_EVENTUALLY(distanceFromEnd() <= 1, 5000);

  // Before the next frame, as when a conversation opens: a message above the view renders
  // smaller than it was guessed to be (the page lays out, and the view moves up with the end),
  // then the last one grows, by its text and then by its picture.
  ChatMessage above = messages[messages.size() - 6];
  above.answer = "Short.";
  ChatMessage last = messages.back();
  last.answer += repeated("One more line.\n\n", 5);
  last.answerFiles = std::vector<ChatMessageFile>{picture("follow.jpg", 400, 300)};
  js(QString::fromStdString(page_script::forUpdate(MessageUpdate::editMessage(above)) +
                            "document.scrollingElement.scrollTop;" +
                            page_script::forUpdate(MessageUpdate::editMessage(last))));
  ASSERT_EVENTUALLY(js("document.querySelector('.answer .file img').naturalWidth").toInt() == 400 &&
                        distanceFromEnd() <= 1,
                    5000)
      << "the view ends " << distanceFromEnd() << " pixels above the end";
}

TEST_F(MessagesWebViewTest, APageWhoseRendererEndedLoadsAgainWithItsConversation) {
  ChatViewSignals hub;
  MessagesWebView view(ChatSource::master, hub);
  view.resize(600, 600);
  view.show();
  ASSERT_TRUE(waitForPage(view));
  ChatSessionManagerTestAccess::sessions(ChatSessionManager::shared())["revived"] =
      ChatSession{"revived", "r", {pageMessage("r1", "one", "1"), pageMessage("r2", "two", "2")}};
  view.setSessionID("revived");
  const auto shown = [&] {
    return evaluate(view, "document.querySelectorAll('#messages .question-text').length").toInt();
  };
  ASSERT_EVENTUALLY(shown() == 2, 10000);

  tessra::testing::LogCapture log;
  const auto killRenderer = [&] {
    const qint64 pid = view.page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    ASSERT_EVENTUALLY(view.page()->renderProcessPid() != pid && view.pageDidLoad(), 30000);
  };
  killRenderer();
  ASSERT_EVENTUALLY(shown() == 2, 10000);
  emit hub.messageUpdates(MessageUpdate::appendMessage(pageMessage("r3", "three", "3")));
  ASSERT_EVENTUALLY(shown() == 3, 10000);

  // A renderer that ends again right after each load is not started forever.
  killRenderer();
  killRenderer();
  const qint64 pid = view.page()->renderProcessPid();
  ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
  ASSERT_EVENTUALLY(log.contains("the page stays empty"), 10000);
  EXPECT_FALSE(view.pageDidLoad());
}

TEST_F(MessagesWebViewTest, ALinkOrPictureNoProgramOpensIsToldInThePage) {
  // The desktop's opener runs and finds no program for what it is given.
  OpenedUrls opened(testing::FakeOpener::kNoProgram);
  ChatMessage drawn =
      pageMessage("shared", "Draw a cat", "Here it is, and [its page](https://example.com/cat).");
  drawn.answerFiles = std::vector<ChatMessageFile>{picture("cat.jpg", 40, 30)};
  const struct {
    const char* what;
    const char* click;
    const QString& told;
  } cases[] = {
      {"a link", "document.querySelector('.markdown a').click()",
       LocalizedText::MessagePage::cannotOpenLink()},
      {"a picture", "document.querySelector('.answer .file').click()",
       LocalizedText::MessagePage::cannotOpenFile()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    show("no program", {drawn});
    // The notice of the case before would otherwise still stand for a few seconds.
    js("document.getElementById('notice').hidden = true");
    js(QString::fromLatin1(c.click));
    ASSERT_EVENTUALLY(!js("document.getElementById('notice').hidden").toBool(), 5000);
    EXPECT_EQ(js("document.getElementById('notice').textContent").toString(), c.told);
    EXPECT_FALSE(opened.urls().empty()) << "the desktop was asked";
    opened.clear();
  }
  js("document.getElementById('notice').hidden = true");
}

TEST_F(MessagesWebViewTest, AFileNoProgramOpensIsToldInThePage) {
  // Without programs on the path, the desktop has nothing to open a file with.
  tessra::testing::ScopedEnv noPrograms("PATH", "");
  ChatMessage drawn = pageMessage("cat", "Draw a cat", "Here it is.");
  drawn.answerFiles = std::vector<ChatMessageFile>{picture("cat.jpg", 40, 30)};
  show("notice", {drawn});
  EXPECT_TRUE(js("document.getElementById('notice').hidden").toBool());
  js("document.querySelector('.answer .file').click()");
  ASSERT_EVENTUALLY(!js("document.getElementById('notice').hidden").toBool(), 5000);
  EXPECT_EQ(js("document.getElementById('notice').textContent").toString(),
            LocalizedText::MessagePage::cannotOpenFile());
}

TEST_F(MessagesWebViewTest, IndicatorsStepAFewTimesASecondAndRestWhenDoneHiddenOrOff) {
  ChatMessage drawing = pageMessage("drawing", "Draw", "");
  drawing.finished = false;
  drawing.functionCalls =
      std::vector<ChatMessageFunctionCall>{{"Drawing", ChatMessageFunctionCall::Status::loading}};
  show("indicators", {drawing});
  const auto running = [] { return js("document.getAnimations().length").toInt(); };
  // The tests switch animations off.
  EXPECT_EQ(running(), 0);

  js("window.setAnimationsEnabled(true)");
  EXPECT_EQ(running(), 2);
  EXPECT_TRUE(js("document.getAnimations().every(a => getComputedStyle(a.effect.target, "
                 "a.effect.pseudoElement).animationTimingFunction.startsWith('steps'))")
                  .toBool());
  s_view->hide();
  ASSERT_EVENTUALLY(js("document.visibilityState").toString() == u"hidden", 5000);
  s_view->show();
  ASSERT_EVENTUALLY(js("document.visibilityState").toString() == u"visible", 5000);

  drawing.finished = true;
  drawing.answer = "Drawn **well**.";
  drawing.functionCalls->front().status = ChatMessageFunctionCall::Status::done;
  send(MessageUpdate::editMessage(drawing));
  EXPECT_EQ(running(), 0);
  EXPECT_EQ(js("[...document.querySelectorAll('.call, .markdown strong')].map(n => n.className "
               "|| n.textContent).join()")
                .toString(),
            u"call call-done,well");
  js("window.setAnimationsEnabled(false)");
}

}  // namespace
}  // namespace tessra
