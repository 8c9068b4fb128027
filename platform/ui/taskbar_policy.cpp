#include "platform/ui/taskbar_policy.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <array>
#include <cstdlib>
#include <memory>

namespace tessra::platform {
namespace {

xcb_atom_t internAtom(xcb_connection_t* c, std::string_view name) {
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(
          c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr),
      &std::free);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

TaskbarPolicy& TaskbarPolicy::shared() {
  static TaskbarPolicy* instance = new TaskbarPolicy(QCoreApplication::instance());
  return *instance;
}

void TaskbarPolicy::countUp() {
  setPolicy(Policy::regular);
  ++m_count;
}

void TaskbarPolicy::countDown() {
  const int lowered = m_count - 1;
  m_count = std::max(0, lowered);
  if (lowered < 1) setPolicy(Policy::accessory);
}

void TaskbarPolicy::setPolicy(Policy policy) {
  const bool changed = policy != m_policy;
  m_policy = policy;
  if (changed) emit policyChanged(policy);
}

void TaskbarPolicy::keepOffTaskbar(QWidget* window) {
  // Qt merges what is already in _NET_WM_STATE with its own states when it maps the window, so
  // the two states set here survive the first show.
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  xcb_connection_t* c = x11->connection();
  const auto id = static_cast<xcb_window_t>(window->winId());
  const std::array<xcb_atom_t, 2> states = {internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                            internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
  xcb_change_property(c, XCB_PROP_MODE_APPEND, id, internAtom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM,
                      32, states.size(), states.data());
  xcb_flush(c);
}

}  // namespace tessra::platform
