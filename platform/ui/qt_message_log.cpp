#include "platform/ui/qt_message_log.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "platform/foundation/logger.h"

namespace tessra::platform {
namespace {

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
}

}  // namespace

void routeQtMessagesToLogger() { qInstallMessageHandler(handle); }

}  // namespace tessra::platform
