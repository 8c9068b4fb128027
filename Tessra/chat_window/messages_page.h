// The web page behind the message view: it keeps the page on its own address, sends links out
// through the desktop and never makes a window of its own.
//
// A link the user activates opens outside (http, https and mailto only; others are refused and
// logged) and the page stays where it was; a request for a new window does the same. A link that
// no program opened is reported with `linkNotOpened`. The main
// frame loads only the message page itself; a sub-frame loads only an inline document. Script
// errors of the page are logged. GUI thread only.
#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace tessra {

class MessagesPage final : public QWebEnginePage {
  Q_OBJECT

 public:
  explicit MessagesPage(QUrl pageUrl, QObject* parent = nullptr);

  const QUrl& pageUrl() const { return m_pageUrl; }

 signals:
  // No program of the desktop opened the link (refused, or the desktop has none for it).
  void linkNotOpened(const QUrl& url);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int lineNumber, const QString& sourceID) override;

 private:
  void openOutside(const QUrl& url);

  QUrl m_pageUrl;
};

}  // namespace tessra
