#include "Tessra/chat_window/browser_rendering.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QRegularExpression>

#include "platform/foundation/logger.h"

namespace tessra {

namespace {

// The name of the OpenGL renderer of the display, "" when there is none.
QString openGlRenderer() {
  QOffscreenSurface surface;
  surface.create();
  QOpenGLContext context;
  if (!context.create() || !context.makeCurrent(&surface)) return {};
  const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
  QString renderer = QString::fromLatin1(name ? name : "");
  context.doneCurrent();
  return renderer;
}

}  // namespace

void chooseBrowserRendering() {
  if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) return;
  static const QRegularExpression software(QStringLiteral("llvmpipe|softpipe|swrast|software"),
                                           QRegularExpression::CaseInsensitiveOption);
  const QString renderer = openGlRenderer();
  if (!renderer.isEmpty() && !renderer.contains(software)) return;
  platform::logInfo("OpenGL is drawn in software here ({}): web pages are drawn without it",
                    renderer.isEmpty() ? std::string("none") : renderer.toStdString());
  QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

}  // namespace tessra
