#include "platform/ui/work_area.h"

#include <QMetaObject>

#include <array>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/foundation/logger.h"

namespace tessra::platform {
namespace {

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Reply<T> adopt(T* reply) {
  return Reply<T>(reply, &std::free);
}

constexpr std::array<std::string_view, 4> kAtomNames = {"_NET_WORKAREA", "_NET_CURRENT_DESKTOP",
                                                        "_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"};

// The requests about one window.
struct Query {
  xcb_get_window_attributes_cookie_t attributes{};
  xcb_get_property_cookie_t partial{};
  xcb_get_property_cookie_t whole{};
  std::optional<xcb_query_tree_cookie_t> children;
};

std::vector<std::uint32_t> cardinalsOf(xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != 32) return {};
  const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
  return {data, data + xcb_get_property_value_length(reply) / 4};
}

}  // namespace

WorkArea& WorkArea::shared() {
  // Lives until the process ends; its connection closes with the process.
  static WorkArea* const instance = new WorkArea();
  return *instance;
}

WorkArea::WorkArea(const char* display, QObject* parent) : QObject(parent), m_x11(display) {
  if (!m_x11.isValid()) {
    logError("The work area is not followed: no X display to connect to");
    return;
  }
  xcb_connection_t* c = m_x11.get();
  std::array<xcb_intern_atom_cookie_t, kAtomCount> cookies{};
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(kAtomNames[i].size()),
                                 kAtomNames[i].data());
  }
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    const auto reply = adopt(xcb_intern_atom_reply(c, cookies[i], nullptr));
    m_atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }
  const std::uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(c, m_x11.rootWindow(), XCB_CW_EVENT_MASK, &rootEvents);
  m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &WorkArea::processEvents);
  read();
}

WorkArea::~WorkArea() = default;

void WorkArea::follow(xcb_window_t window, bool withChildren) {
  std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  if (withChildren) events |= XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(m_x11.get(), window, XCB_CW_EVENT_MASK, &events);
}

void WorkArea::scheduleRead() {
  if (m_readScheduled) return;
  m_readScheduled = true;
  // A burst of maps (a workspace switched, a bar restarted) is read once.
  QMetaObject::invokeMethod(this, &WorkArea::read, Qt::QueuedConnection);
}

void WorkArea::processEvents() {
  xcb_connection_t* c = m_x11.get();
  const xcb_window_t root = m_x11.rootWindow();
  bool changes = false;
  while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
    const auto event = adopt(raw);
    switch (raw->response_type & 0x7f) {
      case XCB_CREATE_NOTIFY: {
        // Followed from its birth, so that the first map of a dock inside a frame is seen.
        const auto* created = reinterpret_cast<const xcb_create_notify_event_t*>(raw);
        if (!m_published) follow(created->window, created->parent == root);
        break;
      }
      case XCB_MAP_NOTIFY:
      case XCB_UNMAP_NOTIFY:
      case XCB_DESTROY_NOTIFY:
      case XCB_REPARENT_NOTIFY:
        changes = changes || !m_published;
        break;
      case XCB_CONFIGURE_NOTIFY:
        // The root window's own: the screen changed size, and the bands measured from its edges.
        if (reinterpret_cast<const xcb_configure_notify_event_t*>(raw)->window == root)
          changes = true;
        break;
      case XCB_PROPERTY_NOTIFY: {
        const xcb_atom_t atom = reinterpret_cast<const xcb_property_notify_event_t*>(raw)->atom;
        for (const xcb_atom_t watched : m_atoms) changes = changes || atom == watched;
        break;
      }
      default:
        // Errors for windows that went before we read them, and everything else: nothing to do.
        break;
    }
  }
  if (xcb_connection_has_error(c)) {
    logError("The work area is no longer followed: the X connection broke");
    m_notifier.reset();
    return;
  }
  if (changes) scheduleRead();
}

QRect WorkArea::within(const QRect& monitor) const {
  if (!m_published) return workAreaWithin(monitor, m_bands);
  // One rectangle for the whole root window, as the manager publishes it: on a monitor it does
  // not reach, the monitor stands whole.
  const QRect overlap = monitor.intersected(*m_published);
  return overlap.isEmpty() ? monitor : overlap;
}

void WorkArea::read() {
  m_readScheduled = false;
  if (!isConnected()) return;
  std::optional<QRect> published = readPublished();
  std::vector<StrutBand> bands = published ? std::vector<StrutBand>() : readBands();
  // A read can leave events in the connection's queue without the socket turning readable.
  QMetaObject::invokeMethod(this, &WorkArea::processEvents, Qt::QueuedConnection);
  if (published == m_published && bands == m_bands) return;
  m_published = published;
  m_bands = std::move(bands);
  emit changed();
}

std::optional<QRect> WorkArea::readPublished() {
  xcb_connection_t* c = m_x11.get();
  const xcb_window_t root = m_x11.rootWindow();
  // Four values per desktop, for as many desktops as there are.
  constexpr std::uint32_t kMaxValues = 4 * 1024;
  const auto areaCookie =
      xcb_get_property(c, 0, root, m_atoms[workArea], XCB_ATOM_CARDINAL, 0, kMaxValues);
  const auto desktopCookie =
      xcb_get_property(c, 0, root, m_atoms[currentDesktop], XCB_ATOM_CARDINAL, 0, 1);
  const auto areaReply = adopt(xcb_get_property_reply(c, areaCookie, nullptr));
  const auto desktopReply = adopt(xcb_get_property_reply(c, desktopCookie, nullptr));
  const auto areas = cardinalsOf(areaReply.get());
  const auto desktop = cardinalsOf(desktopReply.get());
  std::size_t index = desktop.empty() ? 0 : 4 * std::size_t{desktop.front()};
  if (index + 4 > areas.size()) index = 0;
  if (areas.size() < 4) return std::nullopt;
  const QRect area(static_cast<int>(areas[index]), static_cast<int>(areas[index + 1]),
                   static_cast<int>(areas[index + 2]), static_cast<int>(areas[index + 3]));
  if (area.isEmpty()) return std::nullopt;
  return area;
}

std::vector<StrutBand> WorkArea::readBands() {
  xcb_connection_t* c = m_x11.get();
  const xcb_window_t root = m_x11.rootWindow();
  const auto geometry = adopt(xcb_get_geometry_reply(c, xcb_get_geometry(c, root), nullptr));
  if (geometry) m_rootSize = QSize(geometry->width, geometry->height);
  const auto tree = adopt(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const std::vector<xcb_window_t> topLevel(children,
                                           children + xcb_query_tree_children_length(tree.get()));
  std::vector<StrutBand> bands;
  readStruts(readStruts(topLevel, true, bands), false, bands);
  return bands;
}

std::vector<xcb_window_t> WorkArea::readStruts(const std::vector<xcb_window_t>& windows,
                                               bool withChildren, std::vector<StrutBand>& bands) {
  xcb_connection_t* c = m_x11.get();
  // All the requests first, then all the answers: one round trip for the lot.
  std::vector<Query> queries;
  queries.reserve(windows.size());
  for (const xcb_window_t window : windows) {
    follow(window, withChildren);
    Query& query = queries.emplace_back(Query{
        xcb_get_window_attributes(c, window),
        xcb_get_property(c, 0, window, m_atoms[strutPartial], XCB_ATOM_CARDINAL, 0, 12),
        xcb_get_property(c, 0, window, m_atoms[strut], XCB_ATOM_CARDINAL, 0, 4), std::nullopt});
    if (withChildren) query.children = xcb_query_tree(c, window);
  }
  std::vector<xcb_window_t> inside;
  for (const Query& query : queries) {
    const auto attributes = adopt(xcb_get_window_attributes_reply(c, query.attributes, nullptr));
    const auto partial = adopt(xcb_get_property_reply(c, query.partial, nullptr));
    const auto whole = adopt(xcb_get_property_reply(c, query.whole, nullptr));
    const auto tree =
        adopt(query.children ? xcb_query_tree_reply(c, *query.children, nullptr) : nullptr);
    // A window off screen (or already gone) reserves nothing, nor do the windows inside it.
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
    auto values = cardinalsOf(partial.get());
    if (values.empty()) values = cardinalsOf(whole.get());
    if (const auto found = Strut::fromCardinals(values, m_rootSize)) {
      const auto more = found->bands(m_rootSize);
      bands.insert(bands.end(), more.begin(), more.end());
    }
    if (!tree) continue;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    inside.insert(inside.end(), children, children + xcb_query_tree_children_length(tree.get()));
  }
  return inside;
}

}  // namespace tessra::platform
