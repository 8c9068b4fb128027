#include "platform/ui/repaint_watch.h"

#include <poll.h>
#include <xcb/damage.h>

#include <algorithm>
#include <cstdlib>

#include "platform/foundation/logger.h"
#include "platform/ui/x11_properties.h"

namespace tessra::platform {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

RepaintWatch::RepaintWatch() {
  xcb_connection_t* c = m_x.get();
  if (!m_x.isValid()) return;
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_damage_id);
  if (extension == nullptr || !extension->present) {
    logInfo("The X server has no Damage extension: a capture does not wait for repaints");
    return;
  }
  const x11::Reply<xcb_damage_query_version_reply_t> version(xcb_damage_query_version_reply(
      c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), nullptr));
  if (!version) return;
  const xcb_damage_damage_t damage = xcb_generate_id(c);
  // The root's damage holds the drawing into every window on the screen.
  const x11::Reply<xcb_generic_error_t> error(
      xcb_request_check(c, xcb_damage_create_checked(c, damage, m_x.rootWindow(),
                                                     XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES)));
  if (error) return;
  m_damage = damage;
  m_damageEvent = extension->first_event + XCB_DAMAGE_NOTIFY;
  // A new damage first reports the whole screen: that is no repaint.
  while (auto* event = xcb_poll_for_event(c)) std::free(event);
}

RepaintWatch::~RepaintWatch() {
  if (m_damage == 0) return;
  xcb_damage_destroy(m_x.get(), m_damage);
  xcb_flush(m_x.get());
}

bool RepaintWatch::collect(const QRegion& region) {
  bool touched = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(m_x.get())) {
    if ((event->response_type & 0x7f) == m_damageEvent) {
      const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
      const QRect area(notify->geometry.x + notify->area.x, notify->geometry.y + notify->area.y,
                       notify->area.width, notify->area.height);
      if (region.intersects(area)) {
        m_drawn += region.intersected(area);
        touched = true;
      }
    }
    std::free(event);
  }
  return touched;
}

bool RepaintWatch::waitUntilRedrawn(const QRegion& region) {
  if (m_damage == 0 || region.isEmpty()) return true;
  const Clock::time_point deadline = Clock::now() + kPatience;
  Clock::time_point lastChange = Clock::now();
  const int fd = xcb_get_file_descriptor(m_x.get());
  while (true) {
    if (collect(region)) lastChange = Clock::now();
    const Clock::time_point now = Clock::now();
    const bool drawn = (region - m_drawn).isEmpty();
    if (drawn && now - lastChange >= kQuiet) return true;
    if (now >= deadline || xcb_connection_has_error(m_x.get()) != 0) {
      logInfo("A capture went ahead before the uncovered screen was drawn again");
      return false;
    }
    const Clock::time_point wake = drawn ? std::min(deadline, lastChange + kQuiet) : deadline;
    const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
    pollfd readable{fd, POLLIN, 0};
    ::poll(&readable, 1, static_cast<int>(timeout.count()));
  }
}

}  // namespace tessra::platform
