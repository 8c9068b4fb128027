#include "testing/test_desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace tessra::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TestDesktop* g_current = nullptr;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::string readAll(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts a program with its output appended to `log`; its process id.
pid_t spawn(const std::vector<std::string>& arguments, const fs::path& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("the test desktop cannot start " + arguments[0]);
  return pid;
}

void stop(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = 0;
      return;
    }
    std::this_thread::sleep_for(20ms);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  pid = 0;
}

bool exited(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; }

// A connection to the desktop's display for the readiness checks.
class Display {
 public:
  explicit Display(const std::string& name) : m_connection(xcb_connect(name.c_str(), nullptr)) {
    if (xcb_connection_has_error(m_connection))
      throw std::runtime_error("the test desktop's display " + name + " does not answer");
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
  }
  ~Display() { xcb_disconnect(m_connection); }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  xcb_atom_t atom(const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(m_connection,
                              xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
  }

  std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, window, atom(property),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                               nullptr),
        &std::free);
    std::vector<std::uint32_t> values;
    if (!reply || reply->format != 32) return values;
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    return values;
  }

  // The window that announces the running window manager, or XCB_NONE.
  xcb_window_t windowManagerCheck() {
    const auto values = cardinals(m_root, "_NET_SUPPORTING_WM_CHECK");
    if (values.empty()) return XCB_NONE;
    // A manager that went away leaves the property pointing at a window that is gone.
    const auto check = cardinals(values[0], "_NET_SUPPORTING_WM_CHECK");
    return check.empty() ? XCB_NONE : values[0];
  }

  bool trayOwned() {
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, atom("_NET_SYSTEM_TRAY_S0")),
            nullptr),
        &std::free);
    return reply && reply->owner != XCB_NONE;
  }

  // Whether the window manager takes a window mapped now: it marks the windows it manages with
  // WM_STATE. A manager that has announced itself may still be starting, and a window mapped then
  // can stay unmapped for good (the tray would never take its place), so the probe goes after
  // `patience` either way and the caller asks again.
  bool managesANewWindow(std::chrono::milliseconds patience) {
    const xcb_window_t probe = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, probe, m_root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(m_connection, probe);
    xcb_flush(m_connection);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    bool managed = false;
    while (!(managed = !cardinals(probe, "WM_STATE").empty()) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
    }
    xcb_destroy_window(m_connection, probe);
    xcb_flush(m_connection);
    return managed;
  }

  // The height of the desktop's work area (the screen's without a tray).
  int workAreaHeight() {
    const auto values = cardinals(m_root, "_NET_WORKAREA");
    return values.size() >= 4 ? static_cast<int>(values[3]) : 0;
  }

 private:
  xcb_connection_t* m_connection;
  xcb_window_t m_root = XCB_NONE;
};

// Waits up to 20 s for `ready`; throws with the desktop's log when it never is.
template <typename Ready>
void waitFor(const char* what, const fs::path& log, Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline)
      throw std::runtime_error(std::string("the test desktop's ") + what + " did not start:\n" +
                               readAll(log));
    std::this_thread::sleep_for(20ms);
  }
}

// The stock openbox configuration without its Alt+Space binding (the window menu), which would
// take the program's default global shortcut.
std::string privateConfiguration() {
  const std::string stock = readAll("/etc/xdg/openbox/rc.xml");
  if (stock.empty()) throw std::runtime_error("openbox's stock configuration is missing");
  static const std::regex altSpace(R"(<keybind key="A-space">[\s\S]*?</keybind>)");
  return std::regex_replace(stock, altSpace, "");
}

}  // namespace

TestDesktop::TestDesktop(Options options) {
  char pattern[] = "/tmp/tessra-desktop.XXXXXX";
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
    m_folder = fs::path(tmp) / "tessra-desktop.XXXXXX";
  } else {
    m_folder = pattern;
  }
  std::string folder = m_folder.string();
  if (::mkdtemp(folder.data()) == nullptr)
    throw std::runtime_error("the test desktop cannot make its folder");
  m_folder = folder;
  // A desktop that cannot start leaves no server, manager, tray or folder behind.
  try {
    start(options);
  } catch (...) {
    stopAll();
    throw;
  }
  g_current = this;
}

void TestDesktop::start(const Options& options) {
  const fs::path log = m_folder / "desktop.log";

  // Xvfb picks a free display itself and writes its number into the pipe.
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("the test desktop has no pipe");
  ::fcntl(pipe[1], F_SETFD, 0);
  m_server = spawn({"Xvfb", "-displayfd", std::to_string(pipe[1]), "-screen", "0",
                    std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24", "-nolisten",
                    "tcp", "-noreset"},
                   log);
  ::close(pipe[1]);
  std::string number;
  char c = 0;
  while (::read(pipe[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(pipe[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start:\n" + readAll(log));
  m_display = ":" + number;
  ::setenv("DISPLAY", m_display.c_str(), 1);

  std::ofstream(m_folder / "rc.xml") << privateConfiguration();
  startWindowManager(m_folder / "rc.xml");
  if (options.tray) startTray();
}

TestDesktop::~TestDesktop() {
  if (g_current == this) g_current = nullptr;
  stopAll();
}

void TestDesktop::stopAll() {
  stop(m_tray);
  stop(m_windowManager);
  stop(m_server);
  std::error_code ignored;
  fs::remove_all(m_folder, ignored);
}

TestDesktop& TestDesktop::current() {
  if (g_current == nullptr) throw std::logic_error("this test runs without a test desktop");
  return *g_current;
}

void TestDesktop::startWindowManager(const fs::path& configuration) {
  const fs::path log = m_folder / "desktop.log";
  Display display(m_display);
  const xcb_window_t before = display.windowManagerCheck();
  const bool replace = m_windowManager > 0;
  std::vector<std::string> arguments = {"openbox", "--sm-disable", "--config-file",
                                        configuration.string()};
  if (replace) arguments.push_back("--replace");
  const pid_t old = m_windowManager;
  m_windowManager = spawn(arguments, log);
  waitFor("window manager", log, [&] {
    if (exited(m_windowManager)) throw std::runtime_error("openbox ended:\n" + readAll(log));
    const xcb_window_t check = display.windowManagerCheck();
    // Openbox announces itself before it has set up the screen (the work area among the last);
    // a tray mapped in between is managed without its strut.
    return check != XCB_NONE && check != before && display.workAreaHeight() > 0;
  });
  waitFor("window manager's first window", log, [&] {
    if (exited(m_windowManager)) throw std::runtime_error("openbox ended:\n" + readAll(log));
    return display.managesANewWindow(250ms);
  });
  if (replace) {
    pid_t finished = old;
    stop(finished);
  }
}

void TestDesktop::useStockKeyBindings() { startWindowManager("/etc/xdg/openbox/rc.xml"); }

void TestDesktop::startTray() {
  if (m_tray > 0) return;
  const fs::path log = m_folder / "desktop.log";
  m_tray = spawn({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                  "--height", std::to_string(kTrayHeight), "--SetDockType", "true",
                  "--SetPartialStrut", "true", "--expand", "true"},
                 log);
  Display display(m_display);
  waitFor("tray", log, [&] {
    if (exited(m_tray)) throw std::runtime_error("trayer ended:\n" + readAll(log));
    return display.trayOwned() && display.workAreaHeight() == kHeight - kTrayHeight;
  });
}

void TestDesktop::stopTray() {
  stop(m_tray);
  Display display(m_display);
  waitFor("tray's end", m_folder / "desktop.log",
          [&] { return !display.trayOwned() && display.workAreaHeight() == kHeight; });
}

void TestDesktop::screenshot(const fs::path& file) const {
  pid_t pid = spawn({"import", "-display", m_display, "-window", "root", file.string()},
                    m_folder / "desktop.log");
  ::waitpid(pid, nullptr, 0);
}

}  // namespace tessra::testing
