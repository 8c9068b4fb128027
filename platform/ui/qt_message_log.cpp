#include "platform/ui/qt_message_log.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QThread>
#include <QtGlobal>

#include <utility>

#include "platform/foundation/logger.h"

namespace tessra::platform {
namespace {

// What Qt's X11 plugin logs right before its exit(1) when the X connection is gone.
constexpr QStringView kConnectionBroke = u"The X11 connection broke";

std::function<void()>& displayLostHandler() {
  static std::function<void()> handler;
  return handler;
}

bool onGuiThread() {
  const QCoreApplication* application = QCoreApplication::instance();
  return application != nullptr && QThread::currentThread() == application->thread();
}

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  LogLevel level = LogLevel::debug;
  switch (type) {
    case QtDebugMsg:
      if (!Logger::shared().debugEnabled()) return;
      level = LogLevel::debug;
      break;
    case QtInfoMsg:
      level = LogLevel::info;
      break;
    case QtWarningMsg:
      level = LogLevel::notice;
      break;
    case QtCriticalMsg:
      level = LogLevel::error;
      break;
    case QtFatalMsg:
      level = LogLevel::fault;
      break;
  }
  const QByteArray text = message.toUtf8();
  if (context.category != nullptr && qstrcmp(context.category, "default") != 0) {
    Logger::shared().log(level, std::string(context.category) + ": " + text.toStdString());
  } else {
    Logger::shared().log(level, text.toStdString());
  }
  // Qt's exit follows on the GUI thread as soon as this returns. Qt does not call this handler
  // again from inside it: what the program's end says through Qt goes to Qt's own output.
  if (type == QtWarningMsg && message.startsWith(kConnectionBroke) && onGuiThread()) {
    if (std::function<void()> lost = std::exchange(displayLostHandler(), nullptr)) lost();
  }
}

}  // namespace

void routeQtMessagesToLogger() { qInstallMessageHandler(handle); }

void setDisplayLostHandler(std::function<void()> handler) {
  displayLostHandler() = std::move(handler);
}

}  // namespace tessra::platform
