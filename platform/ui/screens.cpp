#include "platform/ui/screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "platform/ui/work_area.h"

namespace tessra::platform {
namespace {

// The work area is X11's; another platform (offscreen tests) has screens of its own.
bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

}  // namespace

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
  if (onX11()) connect(&WorkArea::shared(), &WorkArea::changed, this, &Screens::parametersChanged);
}

void Screens::watch(QScreen* screen) {
  connect(screen, &QScreen::geometryChanged, this, &Screens::parametersChanged);
  connect(screen, &QScreen::availableGeometryChanged, this, &Screens::parametersChanged);
}

QScreen* Screens::mainScreen() {
  // With every output switched off, Qt's primary screen is a stand-in of no size.
  QScreen* primary = QGuiApplication::primaryScreen();
  return primary != nullptr && !primary->geometry().isEmpty() ? primary : nullptr;
}

std::optional<QRect> Screens::mainScreenFrame() {
  QScreen* screen = mainScreen();
  if (screen == nullptr) return std::nullopt;
  return screen->geometry();
}

std::optional<QRect> Screens::mainScreenWorkArea() {
  QScreen* screen = mainScreen();
  if (screen == nullptr) return std::nullopt;
  return workArea(screen);
}

QRect Screens::workArea(const QScreen* screen) {
  if (!onX11() || !WorkArea::shared().isConnected()) return screen->availableGeometry();
  // The work area is in device pixels of the root window; Qt scales a screen's frame about its
  // top-left corner, which stays where it is.
  const QRect frame = screen->geometry();
  const qreal ratio = screen->devicePixelRatio();
  const QRect area = WorkArea::shared().within(QRect(frame.topLeft(), frame.size() * ratio));
  return {frame.topLeft() + (area.topLeft() - frame.topLeft()) / ratio, area.size() / ratio};
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
