// The work area followed on an X display of the test's own, without a window manager, where docks
// made by the test come, change and go: no other test's window can reserve anything there.
#include "platform/ui/work_area.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "testing/qt_wait.h"

extern char** environ;

namespace tessra::platform {
namespace {

// An Xvfb of 1920x1080 on a free display.
class OwnDisplay {
 public:
  OwnDisplay() {
    int pipe[2];
    if (::pipe(pipe) != 0) return;
    const std::string fd = std::to_string(pipe[1]);
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                          "1920x1080x24", "-nolisten",  "tcp",      "-noreset", nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&quiet, STDOUT_FILENO, STDERR_FILENO);
    if (::posix_spawnp(&m_server, "Xvfb", &quiet, nullptr, const_cast<char**>(argv), environ) != 0)
      m_server = 0;
    posix_spawn_file_actions_destroy(&quiet);
    ::close(pipe[1]);
    char c = 0;
    while (::read(pipe[0], &c, 1) == 1 && c != '\n') m_name += c;
    ::close(pipe[0]);
    if (!m_name.empty()) m_name.insert(0, ":");
  }
  ~OwnDisplay() {
    if (m_server <= 0) return;
    ::kill(m_server, SIGTERM);
    ::waitpid(m_server, nullptr, 0);
  }
  OwnDisplay(const OwnDisplay&) = delete;
  OwnDisplay& operator=(const OwnDisplay&) = delete;

  const std::string& name() const { return m_name; }

 private:
  pid_t m_server = 0;
  std::string m_name;
};

// Windows made the way a dock makes itself, on a connection of the test.
class Docks {
 public:
  explicit Docks(const std::string& display) : m_x11(display.c_str()) {}

  xcb_window_t create(xcb_window_t parent = XCB_WINDOW_NONE) {
    const xcb_window_t window = xcb_generate_id(c());
    xcb_create_window(c(), XCB_COPY_FROM_PARENT, window, parent ? parent : m_x11.rootWindow(), 0, 0,
                      100, 20, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_flush(c());
    return window;
  }
  void setCardinals(xcb_window_t window, const char* property,
                    const std::vector<std::uint32_t>& values) {
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, window, atom(property), XCB_ATOM_CARDINAL, 32,
                        static_cast<std::uint32_t>(values.size()), values.data());
    xcb_flush(c());
  }
  void remove(xcb_window_t window, const char* property) {
    xcb_delete_property(c(), window, atom(property));
    xcb_flush(c());
  }
  void map(xcb_window_t window) {
    xcb_map_window(c(), window);
    xcb_flush(c());
  }
  void unmap(xcb_window_t window) {
    xcb_unmap_window(c(), window);
    xcb_flush(c());
  }
  void destroy(xcb_window_t window) {
    xcb_destroy_window(c(), window);
    xcb_flush(c());
  }
  xcb_window_t root() const { return m_x11.rootWindow(); }

 private:
  xcb_connection_t* c() const { return m_x11.get(); }
  xcb_atom_t atom(const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c(), xcb_intern_atom(c(), 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  X11Connection m_x11;
};

TEST(WorkAreaTest, IsThePublishedOneElseTheScreenLessTheStrutsOfTheDocksOnIt) {
  OwnDisplay display;
  ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
  Docks docks(display.name());
  WorkArea workArea(display.name().c_str());
  ASSERT_TRUE(workArea.isConnected());
  const QRect screen(0, 0, 1920, 1080);
  EXPECT_EQ(workArea.published(), std::nullopt);
  EXPECT_EQ(workArea.within(screen), screen);

  // A bar at the top, on the root as without a reparenting manager.
  const xcb_window_t bar = docks.create();
  docks.setCardinals(bar, "_NET_WM_STRUT_PARTIAL", {0, 0, 20, 0, 0, 0, 0, 0, 0, 1919, 0, 0});
  docks.map(bar);
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 20, 1920, 1060), 5000);

  // A tray at the bottom inside a frame, as a reparenting manager holds it, mapped before its
  // frame and with the older, whole-edge strut.
  const xcb_window_t frame = docks.create();
  const xcb_window_t tray = docks.create(frame);
  docks.setCardinals(tray, "_NET_WM_STRUT", {0, 0, 0, 28});
  docks.map(tray);
  docks.map(frame);
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 20, 1920, 1032), 5000);

  docks.setCardinals(bar, "_NET_WM_STRUT_PARTIAL", {0, 0, 32, 0, 0, 0, 0, 0, 0, 1919, 0, 0});
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 32, 1920, 1020), 5000);
  docks.unmap(frame);
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 32, 1920, 1048), 5000);
  docks.map(frame);
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 32, 1920, 1020), 5000);
  docks.destroy(tray);
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 32, 1920, 1048), 5000);

  // A window manager that publishes its work area says it all, for its current desktop.
  docks.setCardinals(docks.root(), "_NET_CURRENT_DESKTOP", {1});
  docks.setCardinals(docks.root(), "_NET_WORKAREA", {0, 0, 1920, 1052, 0, 24, 1920, 1056});
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 24, 1920, 1056), 5000);
  EXPECT_TRUE(workArea.bands().empty());
  docks.remove(docks.root(), "_NET_WORKAREA");
  ASSERT_EVENTUALLY_EQ(workArea.within(screen), QRect(0, 32, 1920, 1048), 5000);
}

}  // namespace
}  // namespace tessra::platform
