// Which attachment files the message page may reach: the page names files by the "file://" URLs
// of the message JSON, and only a regular file inside the attachment files folder is ever opened
// or shown, whatever the URL spells (encoded "..", symbolic links out, folders).
//
// The page shows pictures through the "tessra-file" scheme ("tessra-file:///…/files/a.jpg"), which
// serves exactly those files: the page itself may not read file: URLs.
#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <optional>

namespace tessra {

// The canonical path of the regular file inside the attachment files folder that `url` (a
// "file://" or "tessra-file://" URL) names; nothing, logged with `purpose`, for anything else.
std::optional<QString> attachmentFilePath(const QUrl& url, std::string_view purpose);

// Serves the attachment pictures to the message page.
class AttachmentSchemeHandler final : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

 public:
  static constexpr const char* kScheme = "tessra-file";

  // Makes the scheme known to the browser; must run before the browser starts.
  static void registerScheme();

  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override;
};

}  // namespace tessra
