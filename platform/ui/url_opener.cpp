#include "platform/ui/url_opener.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

#include "platform/foundation/logger.h"

namespace tessra::platform {

namespace {

constexpr const char* kOpener = "xdg-open";

void report(const QString& what, const std::function<void()>& failed) {
  logError("No program opened \"{}\"", what.toStdString());
  if (failed) failed();
}

// Runs the desktop's opener on `target` (a link or a path) and watches how it ends.
bool launch(const QUrl& url, const QString& target, const std::function<void()>& failed) {
  const QString opener = QStandardPaths::findExecutable(QString::fromLatin1(kOpener));
  if (opener.isEmpty()) {
    if (QDesktopServices::openUrl(url)) return true;
    report(target, failed);
    return false;
  }
  // Owned by the application until it ends: a browser the opener starts may outlive any window.
  auto* process = new QProcess(QCoreApplication::instance());
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(process, &QProcess::finished, process,
                   [process, target, failed](int exitCode, QProcess::ExitStatus status) {
                     process->deleteLater();
                     if (status == QProcess::NormalExit && exitCode == 0) return;
                     report(target, failed);
                   });
  process->start(opener, {target});
  if (process->waitForStarted()) return true;
  delete process;
  report(target, failed);
  return false;
}

}  // namespace

bool isOpenableExternally(const QUrl& url) {
  if (!url.isValid() || url.isRelative()) return false;
  const QString scheme = url.scheme().toLower();
  if (scheme == u"mailto") return !url.path().isEmpty();
  return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

bool openExternally(const QUrl& url, std::function<void()> failed) {
  if (!isOpenableExternally(url)) {
    logError("Refused to open \"{}\": only http, https and mailto links open outside",
             url.toDisplayString().toStdString());
    if (failed) failed();
    return false;
  }
  return launch(url, url.toString(QUrl::FullyEncoded), failed);
}

bool openFileExternally(const QString& path, std::function<void()> failed) {
  return launch(QUrl::fromLocalFile(path), path, failed);
}

}  // namespace tessra::platform
