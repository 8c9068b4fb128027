// The object the message page reaches over the web channel as "handler": what the page posts
// through `webkit.messageHandlers.handler.postMessage` arrives here and leaves as `posted`.
// GUI thread only.
#pragma once

#include <QJsonValue>
#include <QObject>

namespace tessra {

class PageBridge final : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  Q_INVOKABLE void postMessage(const QJsonValue& body) { emit posted(body); }

 signals:
  void posted(const QJsonValue& body);
};

}  // namespace tessra
