#include "platform/ui/own_size_window.h"

#include <QEvent>
#include <QWidget>

#include <array>

#include "platform/ui/x11_properties.h"

namespace tessra::platform {
namespace {

// Writes the type list when the window is about to be mapped: Qt sends the show event before it
// maps the window, and writes its own list when it creates the native window.
class WindowTypeWriter final : public QObject {
 public:
  explicit WindowTypeWriter(QWidget* window) : QObject(window) { window->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched == parent()) write(static_cast<QWidget*>(watched));
    return QObject::eventFilter(watched, event);
  }

 private:
  static void write(QWidget* window) {
    xcb_connection_t* c = x11::connection();
    if (c == nullptr || !window->isWindow()) return;
    const std::array<xcb_atom_t, 2> types = {x11::atom(c, "_NET_WM_WINDOW_TYPE_NORMAL"),
                                             x11::atom(c, "_NET_WM_WINDOW_TYPE_DIALOG")};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                        x11::atom(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(types.size()), types.data());
  }
};

}  // namespace

void keepOwnSizeOnTilingManagers(QWidget* window) { new WindowTypeWriter(window); }

}  // namespace tessra::platform
