#include "Tessra/chat_window/page_test_support.h"

#include <QPointer>
#include <QTest>

#include <memory>

namespace tessra::testing {

QVariant evaluate(QWebEngineView& view, const QString& script, int timeoutMs) {
  struct Answer {
    bool done = false;
    QVariant value;
  };
  auto answer = std::make_shared<Answer>();
  view.page()->runJavaScript(script, [answer](const QVariant& value) {
    answer->done = true;
    answer->value = value;
  });
  if (!QTest::qWaitFor([&] { return answer->done; }, timeoutMs)) return {};
  return answer->value;
}

bool waitForPage(MessagesWebView& view, int timeoutMs) {
  if (!QTest::qWaitFor([&] { return view.pageDidLoad(); }, timeoutMs)) return false;
  if (evaluate(view, QStringLiteral("typeof window.restoreMessages")).toString() != u"function")
    return false;
  return waitIdle(view);
}

bool waitIdle(MessagesWebView& view, int timeoutMs) {
  return QTest::qWaitFor([&] { return view.isIdle(); }, timeoutMs);
}

ChatMessage pageMessage(const std::string& id, const std::string& question,
                        const std::string& answer, double seconds) {
  ChatMessage message(id, question, answer, true, false);
  message.createdAt = platform::Date::fromReferenceDate(seconds);
  return message;
}

}  // namespace tessra::testing
