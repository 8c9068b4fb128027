// The desktop's work area, the part of the screen its bars, panels and trays leave to windows:
// the one the window manager publishes (_NET_WORKAREA) or, where it publishes none as tiling
// managers such as i3 do, the screen less the struts its dock windows declare. Followed as it
// changes and as docks come and go.
//
//   auto& workArea = WorkArea::shared();
//   const QRect area = workArea.within(monitor);   // device pixels of the root window
//   connect(&workArea, &WorkArea::changed, ...);
//
// The published area is read here rather than taken from Qt, whose copy can miss a change: a
// monitor whose output comes back is given its whole frame. Struts are those of every mapped
// top-level window and of the windows inside them (a reparenting manager frames each client,
// its docks too): _NET_WM_STRUT_PARTIAL, else _NET_WM_STRUT. All is read on a connection of its
// own, as Qt's would not expect the map and property events of other programs' windows, and
// read again when the root's properties change or, without a published area, when a window is
// mapped, unmapped or reparented or a strut changes. GUI thread only.
#pragma once

#include <QObject>
#include <QRect>
#include <QSocketNotifier>

#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/strut.h"
#include "platform/ui/x11_connection.h"

namespace tessra::platform {

class WorkArea final : public QObject {
  Q_OBJECT

 public:
  // The program's, on $DISPLAY, created on first use.
  static WorkArea& shared();

  // Follows the work area of `display` (null: $DISPLAY).
  explicit WorkArea(const char* display = nullptr, QObject* parent = nullptr);
  ~WorkArea() override;

  bool isConnected() const { return m_notifier != nullptr; }
  // The work area the window manager publishes for the current desktop, if it publishes one.
  const std::optional<QRect>& published() const { return m_published; }
  // Without a published one, the bands the mapped docks reserve; else none.
  const std::vector<StrutBand>& bands() const { return m_bands; }
  // The part of `monitor` that is work area, all in device pixels of the root window: its
  // overlap with the published area, else what the docks' bands leave of it.
  QRect within(const QRect& monitor) const;

 signals:
  // The published area or the docks' bands changed.
  void changed();

 private:
  enum Atom { workArea, currentDesktop, strutPartial, strut, kAtomCount };
  void processEvents();
  void scheduleRead();
  // Reads the published area and, without one, the struts; `changed` when they differ.
  void read();
  std::optional<QRect> readPublished();
  // The bands of the docks on screen: top-level windows, and the windows inside them, as a
  // reparenting manager frames each client, its docks too.
  std::vector<StrutBand> readBands();
  // Adds the bands of those of `windows` that are on screen; the windows inside those, when
  // asked for.
  std::vector<xcb_window_t> readStruts(const std::vector<xcb_window_t>& windows, bool withChildren,
                                       std::vector<StrutBand>& bands);
  // Asks for the property events of a window below the root, and the map and structure events
  // of the windows inside it too.
  void follow(xcb_window_t window, bool withChildren);

  X11Connection m_x11;
  std::unique_ptr<QSocketNotifier> m_notifier;
  xcb_atom_t m_atoms[kAtomCount] = {};
  QSize m_rootSize;
  bool m_readScheduled = false;
  std::optional<QRect> m_published;
  std::vector<StrutBand> m_bands;
};

}  // namespace tessra::platform
