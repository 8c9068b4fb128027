#include "bench/tree_memory.h"

#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <map>
#include <optional>
#include <string>

namespace tessra::bench {

void exposeGarbageCollection() {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  flags += flags.isEmpty() ? "" : " ";
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + "--js-flags=--expose-gc");
}

bool collectGarbage(QWebEngineView& view) {
  std::optional<bool> collected;
  view.page()->runJavaScript(QStringLiteral("typeof gc === 'function' ? (gc(), true) : false"),
                             [&](const QVariant& result) { collected = result.toBool(); });
  return QTest::qWaitFor([&] { return collected.has_value(); }, 30000) && *collected;
}

void printTreeMemory(const char* stage) {
  QTest::qWait(2000);
  const testing::TreeMemory use = testing::ProcessTree(::getpid()).memory();
  QTextStream(stdout) << stage << ' ' << use.pssBytes << ' ' << use.anonymousBytes << Qt::endl;
}

int printBareWebViewMemory() {
  QWidget window;
  window.resize(500, 1000);
  auto* view = new QWebEngineView(&window);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view);
  bool loaded = false;
  QObject::connect(view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
  view->setHtml(QStringLiteral("<html><body><p>A short page.</p></body></html>"));
  window.show();
  if (!QTest::qWaitForWindowExposed(&window) || !QTest::qWaitFor([&] { return loaded; }, 30000) ||
      !collectGarbage(*view))
    return 1;
  printTreeMemory("bare");
  return 0;
}

std::optional<std::map<std::string, testing::TreeMemory>> memoryOfChildRun(
    const QString& program, const QStringList& arguments) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(program, arguments);
  if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit ||
      child.exitCode() != 0)
    return std::nullopt;
  std::map<std::string, testing::TreeMemory> stages;
  for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 3) continue;
    stages[fields[0].toStdString()] = {.pssBytes = fields[1].toULongLong(),
                                       .anonymousBytes = fields[2].toULongLong()};
  }
  return stages;
}

}  // namespace tessra::bench
