#include "platform/ui/url_opener.h"

#include <QDesktopServices>

#include "platform/foundation/logger.h"

namespace tessra::platform {

bool isOpenableExternally(const QUrl& url) {
  if (!url.isValid() || url.isRelative()) return false;
  const QString scheme = url.scheme().toLower();
  if (scheme == u"mailto") return !url.path().isEmpty();
  return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

bool openExternally(const QUrl& url) {
  if (!isOpenableExternally(url)) {
    logError("Refused to open \"{}\": only http, https and mailto links open outside",
             url.toDisplayString().toStdString());
    return false;
  }
  if (QDesktopServices::openUrl(url)) return true;
  logError("The desktop could not open \"{}\"", url.toDisplayString().toStdString());
  return false;
}

}  // namespace tessra::platform
