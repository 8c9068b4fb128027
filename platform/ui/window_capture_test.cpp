#include "platform/ui/window_capture.h"

#include <xcb/composite.h>

#include <QRect>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/keyboard_focus.h"
#include "platform/ui/window_list.h"
#include "platform/ui/x11_properties.h"

namespace tessra::platform {
namespace {

// Plain X windows of one colour on a connection of the test's own, standing for other programs'
// windows; the stacking list it writes is removed again when it ends.
class ForeignWindows {
 public:
  ForeignWindows() : m_c(xcb_connect(nullptr, nullptr)) {
    m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
    m_stacking = x11::atom(m_c, "_NET_CLIENT_LIST_STACKING");
  }
  ~ForeignWindows() {
    xcb_delete_property(m_c, m_screen->root, m_stacking);
    for (xcb_window_t window : m_windows) xcb_destroy_window(m_c, window);
    sync();
    xcb_disconnect(m_c);
  }

  struct Options {
    std::string name{};
    std::string wmClass{};
    std::uint32_t colour = 0;
    int x = 0, y = 0, width = 100, height = 100;
    bool overrideRedirect = false;
    std::string type{};
    bool map = true;
  };

  xcb_window_t create(const Options& o) {
    const xcb_window_t window = xcb_generate_id(m_c);
    const std::uint32_t values[] = {o.colour, o.overrideRedirect ? 1u : 0u};
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, m_screen->root,
                      static_cast<std::int16_t>(o.x), static_cast<std::int16_t>(o.y),
                      static_cast<std::uint16_t>(o.width), static_cast<std::uint16_t>(o.height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    if (!o.name.empty()) setString(window, x11::atom(m_c, "_NET_WM_NAME"), o.name);
    if (!o.wmClass.empty()) {
      const std::string both = o.wmClass + '\0' + o.wmClass + '\0';
      xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                          static_cast<std::uint32_t>(both.size()), both.data());
    }
    if (!o.type.empty()) {
      const xcb_atom_t type = x11::atom(m_c, o.type);
      xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, x11::atom(m_c, "_NET_WM_WINDOW_TYPE"),
                          XCB_ATOM_ATOM, 32, 1, &type);
    }
    if (o.map) xcb_map_window(m_c, window);
    m_windows.push_back(window);
    sync();
    return window;
  }

  // Bottom to top, as a window manager writes it.
  void writeStacking(const std::vector<xcb_window_t>& bottomToTop) {
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, m_screen->root, m_stacking, XCB_ATOM_WINDOW, 32,
                        static_cast<std::uint32_t>(bottomToTop.size()), bottomToTop.data());
    sync();
  }

  void redirect(xcb_window_t window) {
    xcb_composite_redirect_window(m_c, window, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    sync();
  }

  void sync() {
    const x11::Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
  }

 private:
  void setString(xcb_window_t window, xcb_atom_t name, const std::string& text) {
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, name, x11::atom(m_c, "UTF8_STRING"), 8,
                        static_cast<std::uint32_t>(text.size()), text.data());
  }

  xcb_connection_t* m_c;
  xcb_screen_t* m_screen;
  xcb_atom_t m_stacking;
  std::vector<xcb_window_t> m_windows;
};

// A window of another program that has no background, as most toolkits' windows have: what was
// over it stays on screen until the program paints the uncovered part again, which this one does
// `delay` after each Expose, in red, on a thread and connection of its own.
class SlowPainter {
 public:
  SlowPainter(QRect frame, std::chrono::milliseconds delay)
      : m_c(xcb_connect(nullptr, nullptr)), m_delay(delay), m_size(frame.size()) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
    m_window = xcb_generate_id(m_c);
    const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 1, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root,
                      static_cast<std::int16_t>(frame.x()), static_cast<std::int16_t>(frame.y()),
                      static_cast<std::uint16_t>(frame.width()),
                      static_cast<std::uint16_t>(frame.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    m_gc = xcb_generate_id(m_c);
    const std::uint32_t red = 0xff0000;
    xcb_create_gc(m_c, m_gc, m_window, XCB_GC_FOREGROUND, &red);
    xcb_map_window(m_c, m_window);
    // Mapped before the constructor returns: the server serves each connection in its own turn,
    // and a loaded one could otherwise map a window the test shows next first and then stack
    // this one over it.
    const x11::Reply<xcb_get_input_focus_reply_t> mapped(
        xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    m_thread = std::thread([this] { run(); });
  }
  ~SlowPainter() {
    m_stop = true;
    m_thread.join();
    xcb_destroy_window(m_c, m_window);
    xcb_flush(m_c);
    xcb_disconnect(m_c);
  }

  xcb_window_t window() const { return m_window; }

 private:
  void run() {
    pollfd readable{xcb_get_file_descriptor(m_c), POLLIN, 0};
    while (!m_stop) {
      bool exposed = false;
      while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
        exposed |= (event->response_type & 0x7f) == XCB_EXPOSE;
        std::free(event);
      }
      if (exposed) {
        std::this_thread::sleep_for(m_delay);
        const xcb_rectangle_t all{0, 0, static_cast<std::uint16_t>(m_size.width()),
                                  static_cast<std::uint16_t>(m_size.height())};
        xcb_poly_fill_rectangle(m_c, m_window, m_gc, 1, &all);
        xcb_flush(m_c);
      }
      ::poll(&readable, 1, 20);
    }
  }

  xcb_connection_t* m_c;
  std::chrono::milliseconds m_delay;
  // Painted whole: a rectangle reaching past 32767 would be a damage of nothing to the server.
  QSize m_size;
  xcb_window_t m_window = 0;
  xcb_gcontext_t m_gc = 0;
  std::atomic<bool> m_stop = false;
  std::thread m_thread;
};

constexpr std::uint32_t kRed = 0xff0000, kGreen = 0x00ff00, kBlue = 0x0000ff;

QRgb rgb(std::uint32_t colour) { return 0xff000000u | colour; }

TEST(WindowList, ListsNamedNormalWindowsOfOthersFrontFirst) {
  ForeignWindows windows;
  const xcb_window_t editor = windows.create({.name = "notes.txt", .wmClass = "Editor"});
  const xcb_window_t same = windows.create({.name = "Viewer", .wmClass = "Viewer"});
  const xcb_window_t unnamed = windows.create({.wmClass = "Daemon"});
  const xcb_window_t popup = windows.create({.name = "menu", .overrideRedirect = true});
  const xcb_window_t dock = windows.create({.name = "panel", .type = "_NET_WM_WINDOW_TYPE_DOCK"});
  const xcb_window_t hidden = windows.create({.name = "hidden", .map = false});
  const xcb_window_t terminal = windows.create(
      {.name = "a very long title " + std::string(60, 'x'), .type = "_NET_WM_WINDOW_TYPE_NORMAL"});
  QWidget ours;
  ours.setWindowTitle("ours");
  ours.show();
  windows.writeStacking({terminal, editor, unnamed, popup, dock, hidden, same,
                         static_cast<xcb_window_t>(ours.winId())});

  const std::vector<WindowInfo> listed = listWindows();

  std::vector<xcb_window_t> order;
  for (const WindowInfo& info : listed) order.push_back(info.window);
  EXPECT_EQ(order, (std::vector<xcb_window_t>{same, editor, terminal}));
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].title(), "Viewer");
  EXPECT_EQ(listed[1].title(), "Editor - notes.txt");
  EXPECT_EQ(listed[2].applicationName, "") << "no class and no process id";
  EXPECT_EQ(listed[2].title(), "a very long title " + std::string(60, 'x'));
}

TEST(WindowCapture, WindowPixelsAndCoveredRedirectedWindow) {
  ForeignWindows windows;
  const xcb_window_t plain = windows.create(
      {.name = "plain", .colour = kRed, .x = 1600, .y = 100, .width = 64, .height = 48});
  const xcb_window_t own = windows.create(
      {.name = "own", .colour = kGreen, .x = 1700, .y = 100, .width = 80, .height = 60});
  windows.redirect(own);
  windows.create(
      {.name = "cover", .colour = kBlue, .x = 1700, .y = 100, .width = 80, .height = 60});

  const std::optional<QImage> red = captureWindow(plain);
  ASSERT_TRUE(red);
  EXPECT_EQ(red->size(), QSize(64, 48));
  EXPECT_EQ(red->pixel(0, 0), rgb(kRed));
  EXPECT_EQ(red->pixel(63, 47), rgb(kRed));

  const std::optional<QImage> green = captureWindow(own);
  ASSERT_TRUE(green);
  EXPECT_EQ(green->size(), QSize(80, 60));
  EXPECT_EQ(green->pixel(40, 30), rgb(kGreen)) << "the covered window's own pixels";

  EXPECT_FALSE(captureWindow(0x7fffffff)) << "no such window";
}

TEST(WindowCapture, EntireScreenShowsWhatLiesUnderOurWindows) {
  ForeignWindows windows;
  windows.create(
      {.name = "under", .colour = kRed, .x = 1400, .y = 700, .width = 200, .height = 200});
  QWidget panel;
  panel.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(0, 0, 255));
  panel.setPalette(palette);
  panel.setAutoFillBackground(true);
  panel.setGeometry(1450, 750, 100, 100);
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  const xcb_window_t ours = static_cast<xcb_window_t>(panel.winId());

  const auto panelShows = [] {
    std::optional<QImage> screen = captureScreen();
    return screen && screen->pixel(1500, 800) == rgb(kBlue);
  };
  ASSERT_TRUE(QTest::qWaitFor(panelShows, 5000));
  EXPECT_EQ(captureScreen()->size(), QSize(1920, 1080));
  const auto inputFocus = [] {
    xcb_connection_t* c = x11::connection();
    const x11::Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return focus ? focus->focus : XCB_NONE;
  };
  giveKeyboard(panel.windowHandle());
  ASSERT_TRUE(QTest::qWaitFor([&] { return inputFocus() == ours; }, 5000));

  const std::optional<QImage> without = captureScreen(std::span(&ours, 1));
  ASSERT_TRUE(without);
  EXPECT_EQ(without->pixel(1500, 800), rgb(kRed));
  EXPECT_EQ(without->pixel(1410, 710), rgb(kRed));
  EXPECT_TRUE(panel.isVisible());
  EXPECT_EQ(inputFocus(), ours) << "the keyboard is where it was";
  EXPECT_TRUE(QTest::qWaitFor(panelShows, 5000)) << "mapped again where it was";
}

TEST(WindowCapture, ReadsTheScreenOnceWhatOurWindowsCoveredIsDrawnAgain) {
  const QRect under(1200, 300, 200, 200);
  SlowPainter painter(under, std::chrono::milliseconds(150));
  QWidget panel;
  panel.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(0, 0, 255));
  panel.setPalette(palette);
  panel.setAutoFillBackground(true);
  panel.setGeometry(1250, 350, 100, 100);
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  const xcb_window_t ours = static_cast<xcb_window_t>(panel.winId());
  const auto shows = [](std::uint32_t colour, QPoint at) {
    std::optional<QImage> screen = captureScreen();
    return screen && screen->pixel(at) == rgb(colour);
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return shows(kRed, {1210, 310}); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return shows(kBlue, {1300, 400}); }, 5000));

  const struct {
    const char* what;
    std::function<std::optional<QImage>()> capture;
    QPoint uncovered;
  } cases[] = {
      {"the entire screen", [&] { return captureScreen(std::span(&ours, 1)); }, {1300, 400}},
      {"the window beneath",
       [&] { return captureWindow(painter.window(), std::span(&ours, 1)); },
       {100, 100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows(kBlue, {1300, 400}); }, 5000));
    const std::optional<QImage> shot = c.capture();
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->pixel(c.uncovered), rgb(kRed)) << "drawn again, not the panel left behind";
  }
}

}  // namespace
}  // namespace tessra::platform
