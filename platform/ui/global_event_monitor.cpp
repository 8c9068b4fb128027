#include "platform/ui/global_event_monitor.h"

#include <xcb/xinput.h>
#include <QCursor>
#include <QPointer>
#include <QSocketNotifier>

#include <array>
#include <cstdlib>
#include <vector>

#include "platform/foundation/logger.h"
#include "platform/ui/x11_connection.h"

namespace tessra::platform {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

Qt::MouseButton buttonFromDetail(std::uint32_t detail) {
  switch (detail) {
    case 1:
      return Qt::LeftButton;
    case 2:
      return Qt::MiddleButton;
    case 3:
      return Qt::RightButton;
    case 8:
      return Qt::BackButton;
    case 9:
      return Qt::ForwardButton;
    default:
      return Qt::NoButton;  // 4 to 7 are the wheel
  }
}

bool wanted(unsigned mask, Qt::MouseButton button) {
  switch (button) {
    case Qt::NoButton:
      return false;
    case Qt::LeftButton:
      return (mask & GlobalEventMonitor::leftMouseDown) != 0;
    case Qt::RightButton:
      return (mask & GlobalEventMonitor::rightMouseDown) != 0;
    default:
      return (mask & GlobalEventMonitor::otherMouseDown) != 0;
  }
}

}  // namespace

GlobalEventMonitor::GlobalEventMonitor(unsigned mask, Handler handler, QObject* parent)
    : QObject(parent), m_mask(mask), m_handler(std::move(handler)) {}

GlobalEventMonitor::~GlobalEventMonitor() { stop(); }

bool GlobalEventMonitor::start() {
  if (isRunning()) return true;
  auto connection = std::make_unique<X11Connection>();
  if (!connection->isValid()) {
    logError("Global mouse monitor: cannot connect to the X display");
    return false;
  }
  xcb_connection_t* c = connection->get();
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
  Reply<xcb_input_xi_query_version_reply_t> version(
      extension != nullptr && extension->present
          ? xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 0), nullptr)
          : nullptr);
  if (!version || version->major_version < 2) {
    logError("Global mouse monitor: the X server has no XInput 2");
    return false;
  }

  struct {
    xcb_input_event_mask_t header;
    std::uint32_t bits;
  } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
  Reply<xcb_generic_error_t> error(xcb_request_check(
      c, xcb_input_xi_select_events_checked(c, connection->rootWindow(), 1, &selection.header)));
  if (error) {
    logError("Global mouse monitor: the X server refused raw button events (error {})",
             error->error_code);
    return false;
  }

  m_inputOpcode = extension->major_opcode;
  m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &GlobalEventMonitor::readEvents);
  m_connection = std::move(connection);
  return true;
}

void GlobalEventMonitor::stop() {
  m_notifier.reset();
  m_connection.reset();
}

void GlobalEventMonitor::readEvents() {
  // The handler may stop or destroy the monitor: collect the presses first, then report them
  // while the monitor still stands.
  std::vector<Qt::MouseButton> presses;
  while (m_connection) {
    Reply<xcb_generic_event_t> event(xcb_poll_for_event(m_connection->get()));
    if (!event) break;
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC) continue;
    const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
    if (generic->extension != m_inputOpcode || generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS)
      continue;
    const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.get());
    const Qt::MouseButton button = buttonFromDetail(raw->detail);
    if (wanted(m_mask, button)) presses.push_back(button);
  }
  if (m_connection && xcb_connection_has_error(m_connection->get()) != 0) {
    logError("Global mouse monitor: the X connection broke; clicks are no longer watched");
    stop();
  }
  const QPointer<GlobalEventMonitor> self(this);
  const Handler handler = m_handler;
  for (Qt::MouseButton button : presses) {
    if (!self || !isRunning()) return;
    handler(GlobalMouseEvent{button, QCursor::pos()});
  }
}

}  // namespace tessra::platform
