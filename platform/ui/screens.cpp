#include "platform/ui/screens.h"

#include <qpa/qplatformscreen.h>
#include <qpa/qwindowsysteminterface.h>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/ui/work_area.h"
#include "platform/ui/x11_properties.h"

namespace tessra::platform {
namespace {

// The work area is X11's; another platform (offscreen tests) has screens of its own.
bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// With every output switched off, Qt's screen is a stand-in of no size: nowhere to stand on.
QScreen* usable(QScreen* screen) {
  return screen != nullptr && !screen->geometry().isEmpty() ? screen : nullptr;
}

// The screen holding the middle of `frame`.
QScreen* screenHolding(const QRect& frame) {
  return usable(QGuiApplication::screenAt(frame.center()));
}

template <class T>
x11::Reply<T> replyOrNothing(T* reply, xcb_generic_error_t* error) {
  // A window gone meanwhile is no error of ours: Qt would log it as one.
  std::free(error);
  return x11::Reply<T>(reply);
}

// The frame of the window manager's active window, when there is one on screen (in a reparenting
// manager's frame: the window itself).
std::optional<QRect> activeWindowFrame() {
  xcb_connection_t* c = x11::connection();
  if (c == nullptr) return std::nullopt;
  const xcb_window_t root = x11::rootWindow(c);
  static const xcb_atom_t activeWindow = x11::atom(c, "_NET_ACTIVE_WINDOW");
  const auto property = x11::property(c, root, activeWindow);
  const std::vector<std::uint32_t> values =
      property ? property->cardinals() : std::vector<std::uint32_t>();
  if (values.empty() || values.front() == XCB_WINDOW_NONE) return std::nullopt;
  const xcb_window_t window = values.front();
  const auto attributesCookie = xcb_get_window_attributes(c, window);
  const auto geometryCookie = xcb_get_geometry(c, window);
  const auto originCookie = xcb_translate_coordinates(c, window, root, 0, 0);
  xcb_generic_error_t* error = nullptr;
  const auto attributes =
      replyOrNothing(xcb_get_window_attributes_reply(c, attributesCookie, &error), error);
  error = nullptr;
  const auto geometry = replyOrNothing(xcb_get_geometry_reply(c, geometryCookie, &error), error);
  error = nullptr;
  const auto origin =
      replyOrNothing(xcb_translate_coordinates_reply(c, originCookie, &error), error);
  if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry || !origin)
    return std::nullopt;
  const QPoint topLeft(origin->dst_x, origin->dst_y);
  return QRect(
      Screens::fromRootPixels(topLeft),
      Screens::fromRootPixels(topLeft + QPoint(geometry->width - 1, geometry->height - 1)));
}

}  // namespace

Screens& Screens::shared() {
  static Screens* instance = new Screens(QGuiApplication::instance());
  return *instance;
}

Screens::Screens(QObject* parent) : QObject(parent) {
  // What follows a change moves and resizes windows, and the embedded browser ends the program
  // when its window is moved or resized from inside Qt's own handling of a screen change (which
  // adds the new screen before it removes the one replaced, and sends windows to another screen
  // meanwhile). On the next turn of the event loop Qt is done, and a burst of changes makes one
  // signal.
  m_delivery.setSingleShot(true);
  m_delivery.setInterval(0);
  connect(&m_delivery, &QTimer::timeout, this, &Screens::parametersChanged);
  for (QScreen* screen : QGuiApplication::screens()) watch(screen);
  connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
    watch(screen);
    deliverChangeLater();
  });
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Screens::deliverChangeLater);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &Screens::deliverChangeLater);
  if (onX11()) {
    connect(&WorkArea::shared(), &WorkArea::changed, this, &Screens::deliverChangeLater);
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
}

bool Screens::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_CONFIGURE_NOTIFY) return false;
  const auto* configure = static_cast<const xcb_configure_notify_event_t*>(message);
  if (configure->window != x11::rootWindow(x11::connection())) return false;
  // On this event Qt reads the monitors anew, right after the filters. A monitor it finds again by
  // its name gets its new frame in Qt's platform layer only: its QScreen keeps the old frame and
  // tells nobody. That is a monitor given a new size, and one taken away and made again, whose two
  // changes a busy program reads at once. Once Qt is done, the platform's frames are passed on.
  QMetaObject::invokeMethod(this, &Screens::takeFramesFromPlatform, Qt::QueuedConnection);
  return false;
}

void Screens::takeFramesFromPlatform() {
  // A screen whose frame is the platform's already hears of nothing.
  for (QScreen* screen : QGuiApplication::screens()) {
    const QPlatformScreen* platform = screen->handle();
    QWindowSystemInterface::handleScreenGeometryChange(screen, platform->geometry(),
                                                       platform->availableGeometry());
  }
}

void Screens::watch(QScreen* screen) {
  connect(screen, &QScreen::geometryChanged, this, &Screens::deliverChangeLater);
  connect(screen, &QScreen::availableGeometryChanged, this, &Screens::deliverChangeLater);
}

void Screens::deliverChangeLater() { m_delivery.start(); }

QScreen* Screens::mainScreen() {
  if (const QWindow* focus = QGuiApplication::focusWindow(); focus != nullptr && focus->isVisible())
    if (QScreen* screen = screenHolding(focus->frameGeometry())) return screen;
  if (const auto active = activeWindowFrame())
    if (QScreen* screen = screenHolding(*active)) return screen;
  if (QScreen* screen = screenWithMouse()) return screen;
  return usable(QGuiApplication::primaryScreen());
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

QPoint Screens::fromRootPixels(const QPoint& point) {
  // Qt scales each screen's frame about its top-left corner, as in workArea().
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect frame = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    if (QRect(frame.topLeft(), frame.size() * ratio).contains(point))
      return frame.topLeft() + (point - frame.topLeft()) / ratio;
  }
  return point;
}

QPoint Screens::toRootPixels(const QPoint& point) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect frame = screen->geometry();
    if (frame.contains(point))
      return frame.topLeft() + (point - frame.topLeft()) * screen->devicePixelRatio();
  }
  return point;
}

QScreen* Screens::screenWithMouseOrMain() {
  QScreen* screen = screenWithMouse();
  return screen != nullptr ? screen : mainScreen();
}

}  // namespace tessra::platform
