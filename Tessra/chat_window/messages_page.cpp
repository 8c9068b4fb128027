#include "Tessra/chat_window/messages_page.h"

#include <QPointer>
#include <QWebEngineNewWindowRequest>

#include "platform/foundation/logger.h"
#include "platform/ui/url_opener.h"

namespace tessra {

MessagesPage::MessagesPage(QUrl pageUrl, QObject* parent)
    : QWebEnginePage(parent), m_pageUrl(std::move(pageUrl)) {
  connect(this, &QWebEnginePage::newWindowRequested, this,
          [this](QWebEngineNewWindowRequest& request) {
            if (request.requestedUrl().isEmpty()) return;
            openOutside(request.requestedUrl());
          });
}

void MessagesPage::openOutside(const QUrl& url) {
  const QPointer<MessagesPage> self(this);
  platform::openExternally(url, [self, url] {
    if (self) emit self->linkNotOpened(url);
  });
}

bool MessagesPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (type == NavigationTypeLinkClicked) {
    openOutside(url);
    return false;
  }
  if (isMainFrame) {
    if (url == m_pageUrl) return true;
    platform::logError("The message page refused to navigate to \"{}\"",
                       url.toDisplayString().toStdString());
    return false;
  }
  if (url.scheme() == u"about") return true;
  platform::logError("The message page refused to load \"{}\" in a frame",
                     url.toDisplayString().toStdString());
  return false;
}

QWebEnginePage* MessagesPage::createWindow(WebWindowType) { return nullptr; }

void MessagesPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                            const QString& message, int lineNumber,
                                            const QString& sourceID) {
  if (level != ErrorMessageLevel) return;
  platform::logError("Message page script error at {}:{}: {}", sourceID.toStdString(), lineNumber,
                     message.toStdString());
}

}  // namespace tessra
