// The frame a window manager puts around one of the program's top-level windows (its title bar and
// borders), followed as it becomes known and as it changes.
//
//   auto* frame = new WindowFrame(window);  // owned by the window
//   connect(frame, &WindowFrame::changed, window, [=] { fit(frame->extents()); });
//
// Qt learns the frame late and says nothing when it does: a manager may publish its extents
// (_NET_FRAME_EXTENTS) before or after it reparents the window, and may or may not move the window
// as it frames it, in whatever order a busy desktop delivers those events. So the frame is read
// from the server whenever any of them comes for the window (the extents published or changed, a
// reparent, a move or resize), and `changed` says when what was read differs from before. The
// extents are what the manager publishes, else what its frame window measures around the window.
// GUI thread only.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>

#include <xcb/xcb.h>

#include <optional>

class QWidget;

namespace tessra::platform {

class WindowFrame final : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  // Follows the frame of the top-level `window`, whose child it becomes.
  explicit WindowFrame(QWidget* window);
  ~WindowFrame() override;

  // The frame around the window in the window's own (device-independent) pixels, rounded out so
  // that the window and its frame fit where these say; none while no manager frames it.
  const std::optional<QMargins>& extents() const { return m_extents; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 signals:
  // The extents changed, or became known.
  void changed();

 private:
  void scheduleRead();
  void read();
  // The extents in the server's pixels, as the manager publishes them or as its frame measures.
  std::optional<QMargins> readDevicePixels() const;

  QWidget* m_window;
  xcb_atom_t m_extentsAtom = XCB_ATOM_NONE;
  bool m_readScheduled = false;
  std::optional<QMargins> m_extents;
};

}  // namespace tessra::platform
