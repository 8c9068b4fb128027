#include "Tessra/chat_window/attachment_files.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "Tessra/storage/paths.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/regular_file.h"

namespace tessra {

std::optional<QString> attachmentFilePath(const QUrl& url, std::string_view purpose) {
  const auto refuse = [&](std::string_view why) -> std::optional<QString> {
    platform::logError("Refused to {} \"{}\": {}", purpose, url.toDisplayString().toStdString(),
                       why);
    return std::nullopt;
  };
  const QString scheme = url.scheme();
  if (!url.isValid() ||
      (scheme != u"file" && scheme != QLatin1String(AttachmentSchemeHandler::kScheme)) ||
      !url.host().isEmpty())
    return refuse("it is not a file URL");
  const QString canonical = QFileInfo(url.path(QUrl::FullyDecoded)).canonicalFilePath();
  const QString folder =
      QFileInfo(QString::fromStdString(Paths::filesDirectory().rawValue())).canonicalFilePath();
  if (canonical.isEmpty() || folder.isEmpty() || !canonical.startsWith(folder + u'/'))
    return refuse("it is not inside the attachment files folder");
  if (!QFileInfo(canonical).isFile()) return refuse("it is not a regular file");
  return canonical;
}

void AttachmentSchemeHandler::registerScheme() {
  const QByteArray name(kScheme);
  if (QWebEngineUrlScheme::schemeByName(name).name() == name) return;
  QWebEngineUrlScheme scheme(name);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
  QWebEngineUrlScheme::registerScheme(scheme);
}

void AttachmentSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  const auto path = attachmentFilePath(job->requestUrl(), "show");
  if (!path) {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  // Opened as a regular file only: whatever took the checked file's place is never waited on.
  platform::UniqueFd fd;
  try {
    fd = platform::openRegularFile(path->toStdString());
  } catch (const std::system_error& failure) {
    platform::logError("Could not read the attachment \"{}\": {}", path->toStdString(),
                       failure.what());
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* file = new QFile(job);
  if (!file->open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    platform::logError("Could not read the attachment \"{}\"", path->toStdString());
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  fd.release();
  job->reply(QMimeDatabase().mimeTypeForFile(*path).name().toUtf8(), file);
}

}  // namespace tessra
