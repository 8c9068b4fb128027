#include "platform/ui/global_event_monitor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <xcb/xinput.h>
#include <QMetaObject>
#include <QPointer>
#include <QWindow>

#include <cerrno>
#include <cstdlib>

#include "platform/foundation/logger.h"
#include "platform/ui/screens.h"
#include "platform/ui/x11_connection.h"
#include "platform/ui/x11_properties.h"

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

GlobalEventMonitor::~GlobalEventMonitor() {
  stop();
  if (!m_reader.joinable()) return;
  const std::uint64_t one = 1;
  if (::write(m_wake.get(), &one, sizeof one) != sizeof one)
    logError("Global mouse monitor: its reader cannot be woken (errno {})", errno);
  m_reader.join();
}

bool GlobalEventMonitor::start() {
  if (m_running) return true;
  if (!m_connection && !connectToServer()) return false;
  select(XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS);
  m_running = true;
  return true;
}

void GlobalEventMonitor::select(std::uint32_t mask) {
  struct {
    xcb_input_event_mask_t header;
    std::uint32_t bits;
  } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, mask};
  xcb_input_xi_select_events(m_connection->get(), m_connection->rootWindow(), 1, &selection.header);
  xcb_flush(m_connection->get());
}

bool GlobalEventMonitor::connectToServer() {
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
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC));
  if (!wake) {
    logError("Global mouse monitor: no event descriptor to end its reader with (errno {})", errno);
    return false;
  }

  m_inputOpcode = extension->major_opcode;
  m_connection = std::move(connection);
  m_wake = std::move(wake);
  m_reader = std::thread([this] { read(); });
  return true;
}

void GlobalEventMonitor::stop() {
  stopKeepingKeyboard();
  if (!m_running) return;
  m_running = false;
  if (m_connection) select(0);
}

void GlobalEventMonitor::keepKeyboardIn(QWindow* window, std::chrono::milliseconds moment) {
  xcb_connection_t* own = x11::connection();
  if (!m_running || own == nullptr || window == nullptr) return;
  const auto id = static_cast<xcb_window_t>(window->winId());
  // Selected before the window takes the keyboard, so that the reader hears it go however soon.
  const std::uint32_t events = XCB_EVENT_MASK_FOCUS_CHANGE;
  xcb_change_window_attributes(m_connection->get(), id, XCB_CW_EVENT_MASK, &events);
  xcb_flush(m_connection->get());
  const xcb_setup_t* setup = xcb_get_setup(own);
  const std::lock_guard lock(m_keptMutex);
  m_kept = KeptKeyboard{id, setup->resource_id_base, setup->resource_id_mask,
                        std::chrono::steady_clock::now() + moment};
}

void GlobalEventMonitor::stopKeepingKeyboard() {
  const std::lock_guard lock(m_keptMutex);
  m_kept.reset();
}

bool GlobalEventMonitor::keeps(std::uint32_t window) const {
  return m_kept && m_kept->window == window && std::chrono::steady_clock::now() < m_kept->until;
}

void GlobalEventMonitor::focusLeft(std::uint32_t window, std::uint8_t mode, std::uint8_t detail) {
  // Within the window, or news of the pointer only.
  if (detail == XCB_NOTIFY_DETAIL_INFERIOR || detail == XCB_NOTIFY_DETAIL_POINTER) return;
  // Another client grabbed the keyboard: the user pressed a key that it holds, and the focus goes
  // where that key sends it.
  if (mode == XCB_NOTIFY_MODE_GRAB) {
    stopKeepingKeyboard();
    return;
  }
  {
    const std::lock_guard lock(m_keptMutex);
    if (!keeps(window)) return;
  }
  xcb_connection_t* c = m_connection->get();
  const Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  const std::lock_guard lock(m_keptMutex);
  if (!focus || !keeps(window)) return;
  // The program gave it to another of its windows (or back to this one already).
  if ((focus->focus & ~m_kept->ownIdMask) == m_kept->ownIdBase) return;
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
  xcb_flush(c);
}

void GlobalEventMonitor::read() {
  xcb_connection_t* c = m_connection->get();
  pollfd descriptors[] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
  for (;;) {
    std::vector<Press> presses;
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
      if ((event->response_type & 0x7f) == XCB_FOCUS_OUT) {
        const auto* out = reinterpret_cast<const xcb_focus_out_event_t*>(event.get());
        focusLeft(out->event, out->mode, out->detail);
        continue;
      }
      if ((event->response_type & 0x7f) != XCB_GE_GENERIC) continue;
      const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
      if (generic->extension != m_inputOpcode || generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS)
        continue;
      // Whatever the press was made on, the user chose where the keyboard goes now.
      stopKeepingKeyboard();
      const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.get());
      const Qt::MouseButton button = buttonFromDetail(raw->detail);
      if (!wanted(m_mask, button)) continue;
      // Asked now, while the hand that pressed has hardly moved.
      if (const auto position = m_connection->pointerPosition())
        presses.push_back(
            {button, QPoint(position->first, position->second), std::chrono::steady_clock::now()});
    }
    if (!presses.empty()) {
      QMetaObject::invokeMethod(
          this, [this, presses = std::move(presses)] { report(presses); }, Qt::QueuedConnection);
    }
    if (xcb_connection_has_error(c) != 0) {
      QMetaObject::invokeMethod(this, &GlobalEventMonitor::connectionBroke, Qt::QueuedConnection);
      return;
    }
    if (::poll(descriptors, 2, -1) < 0 && errno != EINTR) return;
    if (descriptors[1].revents != 0) return;
  }
}

void GlobalEventMonitor::connectionBroke() {
  logError("Global mouse monitor: the X connection broke; clicks are no longer watched");
  m_running = false;
  // The reader has ended; the next start connects anew.
  m_reader.join();
  m_connection.reset();
  m_wake.reset();
}

void GlobalEventMonitor::report(const std::vector<Press>& presses) {
  // The handler may stop or destroy the monitor.
  const QPointer<GlobalEventMonitor> self(this);
  const Handler handler = m_handler;
  for (const Press& press : presses) {
    // A press read as the monitor stopped is old news.
    if (!self || !isRunning()) return;
    handler({press.button, Screens::fromRootPixels(press.rootPosition), press.time});
  }
}

}  // namespace tessra::platform
