#include "platform/ui/screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace tessra::platform {

Screens& Screens::shared() {
  static Screens* instance = new Screens(QGuiApplication::instance());
  return *instance;
}

Screens::Screens(QObject* parent) : QObject(parent) {
  for (QScreen* screen : QGuiApplication::screens()) watch(screen);
  connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
    watch(screen);
    emit parametersChanged();
  });
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Screens::parametersChanged);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Screens::parametersChanged);
}

void Screens::watch(QScreen* screen) {
  connect(screen, &QScreen::geometryChanged, this, &Screens::parametersChanged);
  connect(screen, &QScreen::availableGeometryChanged, this, &Screens::parametersChanged);
}

QScreen* Screens::mainScreen() { return QGuiApplication::primaryScreen(); }

std::optional<QRect> Screens::mainScreenFrame() {
  QScreen* screen = mainScreen();
  if (screen == nullptr) return std::nullopt;
  return screen->geometry();
}

std::optional<QRect> Screens::mainScreenWorkArea() {
  QScreen* screen = mainScreen();
  if (screen == nullptr) return std::nullopt;
  return screen->availableGeometry();
}

QScreen* Screens::screenWithMouse() {
  const QPoint pointer = QCursor::pos();
  for (QScreen* screen : QGuiApplication::screens())
    if (screen->geometry().contains(pointer)) return screen;
  return nullptr;
}

QScreen* Screens::screenWithMouseOrMain() {
  QScreen* screen = screenWithMouse();
  return screen != nullptr ? screen : mainScreen();
}

}  // namespace tessra::platform
