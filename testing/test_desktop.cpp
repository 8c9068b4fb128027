#include "testing/test_desktop.h"

#include <dbus/dbus.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tessra::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TestDesktop* g_current = nullptr;

constexpr int kHeight = TestDesktop::kMonitorHeight;
// The panel of the Xfce desktop; its strut may add the panel's border.
constexpr int kPanelSize = 28;

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kNotifications = "org.freedesktop.Notifications";

std::string readAll(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first line a child writes into a pipe (a display's number, a bus's address); "" when it
// closed the pipe first.
std::string readLine(int fd) {
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// Where `program` runs from: as given when it names a path, else the first executable of that name
// along PATH. Looked up before the fork: between fork and exec the child may only make system
// calls.
std::string executablePath(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const fs::path candidate = fs::path(folder.empty() ? "." : folder) / program;
    if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate))
      return candidate.string();
  }
  throw std::runtime_error("the test desktop cannot start " + program + ": not on PATH");
}

// Starts a program with its output appended to `log` and `overrides` ("NAME=value") in place of
// those variables of this process's environment; its process id. The program gets SIGTERM when
// this process ends, however it ends: a test process that crashes, is halted by a sanitizer or is
// killed never leaves its desktop running, which its destructor would otherwise stop.
pid_t spawnWith(const std::vector<std::string>& arguments, const fs::path& log,
                const std::vector<std::string>& overrides = {}) {
  std::vector<std::string> environment = overrides;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view variable(*entry);
    const std::string_view name = variable.substr(0, variable.find('=') + 1);
    const bool overridden = std::any_of(overrides.begin(), overrides.end(), [&](const auto& o) {
      return std::string_view(o).starts_with(name);
    });
    if (!overridden) environment.emplace_back(variable);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const std::string executable = executablePath(arguments[0]);

  const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  const pid_t parent = ::getpid();
  const pid_t pid = input >= 0 && output >= 0 ? ::fork() : -1;
  if (pid == 0) {
    // The signal comes when the thread that forked ends: the desktop is started and kept by the
    // test's main thread. A parent that died before the request was made is checked for after it.
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) ::_exit(127);
    if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
        ::dup2(output, STDERR_FILENO) < 0)
      ::_exit(127);
    ::execve(executable.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  if (input >= 0) ::close(input);
  if (output >= 0) ::close(output);
  if (pid < 0) throw std::runtime_error("the test desktop cannot start " + arguments[0]);
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

// Runs a tool of the desktop to its end; whether it succeeded.
bool run(const std::vector<std::string>& arguments, const fs::path& log,
         const std::vector<std::string>& overrides) {
  const pid_t pid = spawnWith(arguments, log, overrides);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

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
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(m_connection,
                              xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
  }

  std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) {
    Reply<xcb_get_property_reply_t> reply(
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
    Reply<xcb_get_selection_owner_reply_t> reply(
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

  // The height of the desktop's work area (0 where the manager publishes none).
  int workAreaHeight() {
    const auto values = cardinals(m_root, "_NET_WORKAREA");
    return values.size() >= 4 ? static_cast<int>(values[3]) : 0;
  }

  // The largest bottom strut that a mapped window declares (a dock: the tray's bar).
  int bottomStrut() {
    int strut = 0;
    const std::function<void(xcb_window_t)> visit = [&](xcb_window_t window) {
      Reply<xcb_query_tree_reply_t> tree(
          xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr),
          &std::free);
      if (!tree) return;
      const xcb_window_t* children = xcb_query_tree_children(tree.get());
      for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (!isViewable(children[i])) continue;
        for (const char* property : {"_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"}) {
          const auto values = cardinals(children[i], property);
          if (values.size() >= 4) strut = std::max(strut, static_cast<int>(values[3]));
        }
        visit(children[i]);
      }
    };
    visit(m_root);
    return strut;
  }

  // Whether another client holds Alt+Space: a grab of it fails with BadAccess then. The grab
  // takes the key for as long as the server takes to answer, so a window manager that grabs it
  // meanwhile is refused for good: ask only once the manager has taken its keys.
  bool altSpaceTaken() {
    const xcb_keycode_t space = keycodeOf(0x20);
    if (space == 0) throw std::runtime_error("the test desktop's keyboard has no space bar");
    const xcb_void_cookie_t grab = xcb_grab_key_checked(
        m_connection, 1, m_root, XCB_MOD_MASK_1, space, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    Reply<xcb_generic_error_t> error(xcb_request_check(m_connection, grab), &std::free);
    if (error) return true;
    xcb_ungrab_key(m_connection, space, m_root, XCB_MOD_MASK_1);
    xcb_flush(m_connection);
    return false;
  }

 private:
  bool isViewable(xcb_window_t window) {
    Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection,
                                        xcb_get_window_attributes(m_connection, window), nullptr),
        &std::free);
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
  }

  xcb_keycode_t keycodeOf(xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(
        xcb_get_keyboard_mapping_reply(m_connection,
                                       xcb_get_keyboard_mapping(m_connection, setup->min_keycode,
                                                                static_cast<std::uint8_t>(count)),
                                       nullptr),
        &std::free);
    if (!mapping) return 0;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKeycode = mapping->keysyms_per_keycode;
    for (int i = 0; i < count * perKeycode; ++i)
      if (keysyms[i] == keysym)
        return static_cast<xcb_keycode_t>(setup->min_keycode + i / perKeycode);
    return 0;
  }

  xcb_connection_t* m_connection;
  xcb_window_t m_root = XCB_NONE;
};

// Tells when a property of the root window is next set, from the moment it is made: a window
// manager that sets one after it took its keys has taken them, as the server runs each client's
// requests in order.
class RootPropertyWatch {
 public:
  RootPropertyWatch(const std::string& display, const char* property)
      : m_connection(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(m_connection))
      throw std::runtime_error("the test desktop's display " + display + " does not answer");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(m_connection,
                              xcb_intern_atom(m_connection, 0, std::strlen(property), property),
                              nullptr),
        &std::free);
    m_property = atom ? atom->atom : XCB_NONE;
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    // Answered, so the server watches before whatever the caller does next.
    Reply<xcb_generic_error_t> error(
        xcb_request_check(m_connection, xcb_change_window_attributes_checked(
                                            m_connection, root, XCB_CW_EVENT_MASK, &events)),
        &std::free);
    if (error) throw std::runtime_error("the test desktop cannot watch its root window");
  }
  ~RootPropertyWatch() { xcb_disconnect(m_connection); }
  RootPropertyWatch(const RootPropertyWatch&) = delete;
  RootPropertyWatch& operator=(const RootPropertyWatch&) = delete;

  bool changed() {
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(m_connection), &std::free}) {
      if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) continue;
      if (reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->atom == m_property)
        m_changed = true;
    }
    return m_changed;
  }

 private:
  xcb_connection_t* m_connection;
  xcb_atom_t m_property = XCB_NONE;
  bool m_changed = false;
};

// A connection to the desktop's bus for the readiness checks.
class Bus {
 public:
  explicit Bus(const std::string& address) {
    DBusError error;
    dbus_error_init(&error);
    m_connection = dbus_connection_open_private(address.c_str(), &error);
    if (m_connection != nullptr && dbus_bus_register(m_connection, &error)) return;
    const std::string message = error.message != nullptr ? error.message : "";
    dbus_error_free(&error);
    if (m_connection != nullptr) close();
    throw std::runtime_error("the test desktop's bus does not answer: " + message);
  }
  ~Bus() { close(); }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  bool hasOwner(const char* name) {
    DBusError error;
    dbus_error_init(&error);
    const bool owned = dbus_bus_name_has_owner(m_connection, name, &error);
    dbus_error_free(&error);
    return owned;
  }

  // A boolean property of an object on the bus; false when it cannot be read.
  bool booleanProperty(const char* service, const char* path, const char* interface,
                       const char* property) {
    std::unique_ptr<DBusMessage, decltype(&dbus_message_unref)> call(
        dbus_message_new_method_call(service, path, DBUS_INTERFACE_PROPERTIES, "Get"),
        &dbus_message_unref);
    dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                             DBUS_TYPE_INVALID);
    DBusError error;
    dbus_error_init(&error);
    std::unique_ptr<DBusMessage, decltype(&dbus_message_unref)> reply(
        dbus_connection_send_with_reply_and_block(m_connection, call.get(), 2000, &error),
        &dbus_message_unref);
    dbus_error_free(&error);
    if (!reply) return false;
    DBusMessageIter values;
    DBusMessageIter variant;
    if (!dbus_message_iter_init(reply.get(), &values) ||
        dbus_message_iter_get_arg_type(&values) != DBUS_TYPE_VARIANT)
      return false;
    dbus_message_iter_recurse(&values, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_BOOLEAN) return false;
    dbus_bool_t value = false;
    dbus_message_iter_get_basic(&variant, &value);
    return value;
  }

 private:
  void close() {
    dbus_connection_close(m_connection);
    dbus_connection_unref(m_connection);
  }

  DBusConnection* m_connection = nullptr;
};

// Waits up to 20 s for `ready`; throws with the desktop's log when it never is.
template <typename Ready>
void waitFor(const char* what, const fs::path& log, Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline)
      throw std::runtime_error(std::string("the test desktop's ") + what +
                               " was not ready in 20 s:\n" + readAll(log));
    std::this_thread::sleep_for(20ms);
  }
}

// A stock configuration file with what `unwanted` matches taken out.
std::string stockWithout(const fs::path& file, const std::regex& unwanted) {
  const std::string stock = readAll(file);
  if (stock.empty()) throw std::runtime_error(file.string() + " is missing");
  return std::regex_replace(stock, unwanted, "");
}

// The stock openbox configuration without its Alt+Space binding (the window menu), which would
// take the program's default global shortcut.
std::string privateOpenboxConfiguration() {
  static const std::regex altSpace(R"(<keybind key="A-space">[\s\S]*?</keybind>)");
  return stockWithout("/etc/xdg/openbox/rc.xml", altSpace);
}

// The Xfce panel: one bar along the bottom edge, empty but for the status tray at its right end.
constexpr const char* kXfcePanel = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
)";

}  // namespace

TestDesktop::Kind TestDesktop::kindFromEnvironment() {
  const char* name = std::getenv("TESSRA_TEST_DESKTOP");
  if (name == nullptr || *name == '\0') return Kind::Openbox;
  for (const Kind kind : {Kind::Openbox, Kind::Xfce, Kind::I3})
    if (nameOf(kind) == name) return kind;
  throw std::invalid_argument(std::string("no test desktop is called \"") + name + "\"");
}

TestDesktop::Options TestDesktop::optionsFromEnvironment() {
  Options options{.kind = kindFromEnvironment()};
  const char* monitors = std::getenv("TESSRA_TEST_MONITORS");
  if (monitors != nullptr && *monitors != '\0') options.monitors = std::stoi(monitors);
  if (options.monitors < 1) throw std::invalid_argument("a test desktop has one monitor or more");
  return options;
}

std::string_view TestDesktop::nameOf(Kind kind) {
  switch (kind) {
    case Kind::Openbox:
      return "openbox";
    case Kind::Xfce:
      return "xfce";
    case Kind::I3:
      return "i3";
  }
  return {};
}

TestDesktop::TestDesktop(Options options) : m_kind(options.kind) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder =
      (fs::path(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") / "tessra-desktop.XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr)
    throw std::runtime_error("the test desktop cannot make its folder");
  m_folder = folder;
  // A desktop that cannot start leaves no server, bus, manager, tray or folder behind.
  try {
    start(options);
  } catch (...) {
    stopAll();
    throw;
  }
  g_current = this;
}

void TestDesktop::start(const Options& options) {
  for (const char* sub : {"config", "xdg", "runtime", "data/keyrings"})
    fs::create_directories(m_folder / sub);
  ::chmod((m_folder / "runtime").c_str(), 0700);
  // The desktop's own programs keep their settings, sockets and keyring inside its folder, and
  // read no configuration of the machine but what the desktop writes for them.
  m_environment = {"XDG_CONFIG_HOME=" + (m_folder / "config").string(),
                   "XDG_CONFIG_DIRS=" + (m_folder / "xdg").string(),
                   "XDG_DATA_HOME=" + (m_folder / "data").string(),
                   "XDG_RUNTIME_DIR=" + (m_folder / "runtime").string(), "NO_AT_BRIDGE=1"};

  m_options = options;
  startServer();
  startBus();
  startKeyring();
  startWindowManager();
  if (options.tray) startTray();
}

void TestDesktop::startServer() {
  // The first time Xvfb picks a free display itself; it writes the number into the pipe once it
  // takes clients.
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("the test desktop has no pipe");
  ::fcntl(pipe[1], F_SETFD, 0);
  const int width = kMonitorWidth * m_options.monitors;
  std::vector<std::string> arguments = {
      "Xvfb",      "-displayfd", std::to_string(pipe[1]),
      "-screen",   "0",          std::to_string(width) + "x" + std::to_string(kHeight) + "x24",
      "-nolisten", "tcp",        "-noreset"};
  if (!m_display.empty()) arguments.insert(arguments.begin() + 1, m_display);
  m_server = spawnWith(arguments, log());
  ::close(pipe[1]);
  const std::string number = readLine(pipe[0]);
  ::close(pipe[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start:\n" + readAll(log()));
  m_display = ":" + number;
  ::setenv("DISPLAY", m_display.c_str(), 1);
  // The first key xdotool presses moves the server's keyboard onto the test keyboard, which every
  // client hears as a new keyboard map: a window manager lets go of its key bindings and takes
  // them again, one by one, and a binding's key pressed in between (the tests' Alt+F4) reaches
  // the focused window instead. Pressed here, before any client binds a key, no one hears it.
  if (!run({"xdotool", "key", "shift"}, log(), m_environment))
    throw std::runtime_error("xdotool could not press a key:\n" + readAll(log()));
  if (m_options.monitors > 1) splitIntoMonitors(m_options.monitors);
}

void TestDesktop::endDisplay() {
  // The fresh display gets the tray this one has.
  m_options.tray = hasTray();
  // The server first, so that every client loses it as when a session ends.
  stop(m_server);
  stop(m_notifications);
  stop(m_tray);
  stop(m_windowManager);
  m_barHeight = 0;
}

void TestDesktop::startDisplay() {
  startServer();
  startWindowManager();
  if (m_options.tray) startTray();
}

void TestDesktop::splitIntoMonitors(int count) {
  // The first takes Xvfb's one output, and with it the primary place; the others have none.
  // Before anything else runs, so that the window manager and Qt find them from the start.
  for (int i = 0; i < count; ++i) {
    const std::string geometry = std::to_string(kMonitorWidth) + "/508x" + std::to_string(kHeight) +
                                 "/286+" + std::to_string(i * kMonitorWidth) + "+0";
    if (!run({"xrandr", "--setmonitor", "tessra-" + std::to_string(i + 1), geometry,
              i == 0 ? "screen" : "none"},
             log(), m_environment))
      throw std::runtime_error("xrandr could not make the monitors:\n" + readAll(log()));
  }
}

void TestDesktop::startBus() {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("the test desktop has no pipe");
  ::fcntl(pipe[1], F_SETFD, 0);
  m_bus = spawn({"dbus-daemon", "--nofork", "--config-file=" TESSRA_SESSION_BUS_CONFIG,
                 "--print-address=" + std::to_string(pipe[1])});
  ::close(pipe[1]);
  m_busAddress = readLine(pipe[0]);
  ::close(pipe[0]);
  if (m_busAddress.empty())
    throw std::runtime_error("dbus-daemon did not start:\n" + readAll(log()));
  ::setenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.c_str(), 1);
}

void TestDesktop::startKeyring() {
  // An unlocked login keyring as the user's session has: a keyring file without a password.
  std::ofstream(m_folder / "data/keyrings/login.keyring")
      << "[keyring]\ndisplay-name=login\nctime=0\nmtime=0\nlock-on-idle=false\nlock-after=false\n";
  std::ofstream(m_folder / "data/keyrings/default") << "login";
  m_keyring = spawn({"gnome-keyring-daemon", "--foreground", "--components=secrets"});
  Bus bus(m_busAddress);
  waitFor("keyring", log(), [&] {
    if (exited(m_keyring)) throw std::runtime_error("the keyring ended:\n" + readAll(log()));
    return bus.hasOwner("org.freedesktop.secrets");
  });
}

void TestDesktop::startWindowManager() {
  switch (m_kind) {
    case Kind::Openbox:
      std::ofstream(m_folder / "rc.xml") << privateOpenboxConfiguration();
      startOpenbox(m_folder / "rc.xml");
      return;
    case Kind::Xfce: {
      writeXfceConfiguration();
      // The configuration service lives on the bus: a new display finds it running.
      if (m_configuration == 0) {
        m_configuration = spawn({TESSRA_SYSTEM_LIBRARY_DIR "/xfce4/xfconf/xfconfd"});
        Bus bus(m_busAddress);
        waitFor("configuration service", log(), [&] {
          if (exited(m_configuration))
            throw std::runtime_error("xfconfd ended:\n" + readAll(log()));
          return bus.hasOwner("org.xfce.Xfconf");
        });
      }
      startXfwm4();
      return;
    }
    case Kind::I3:
      writeI3Configuration(false);
      m_windowManager = spawn({"i3", "-c", (m_folder / "i3.conf").string()});
      waitForWindowManager("i3");
      return;
  }
}

void TestDesktop::startOpenbox(const fs::path& configuration) {
  Display display(m_display);
  const xcb_window_t before = display.windowManagerCheck();
  const bool replace = m_windowManager > 0;
  std::vector<std::string> arguments = {"openbox", "--sm-disable", "--config-file",
                                        configuration.string()};
  if (replace) arguments.push_back("--replace");
  const pid_t old = m_windowManager;
  m_windowManager = spawn(arguments);
  waitFor("window manager", log(), [&] {
    if (exited(m_windowManager)) throw std::runtime_error("openbox ended:\n" + readAll(log()));
    const xcb_window_t check = display.windowManagerCheck();
    // Openbox announces itself before it has set up the screen (the work area among the last);
    // a tray mapped in between is managed without its strut.
    return check != XCB_NONE && check != before && display.workAreaHeight() > 0;
  });
  waitForWindowManager("openbox");
  if (replace) {
    pid_t finished = old;
    stop(finished);
  }
}

void TestDesktop::startXfwm4() {
  m_windowManager = spawn({"xfwm4"});
  waitForWindowManager("xfwm4");
}

void TestDesktop::waitForWindowManager(const char* name) {
  Display display(m_display);
  const auto running = [&] {
    if (exited(m_windowManager))
      throw std::runtime_error(std::string(name) + " ended:\n" + readAll(log()));
    return true;
  };
  waitFor("window manager", log(),
          [&] { return running() && display.windowManagerCheck() != XCB_NONE; });
  waitFor("window manager's first window", log(),
          [&] { return running() && display.managesANewWindow(250ms); });
}

void TestDesktop::writeXfceConfiguration() const {
  const fs::path channels = "xfce4/xfconf/xfce-perchannel-xml";
  fs::create_directories(m_folder / "config" / channels);
  std::ofstream(m_folder / "config" / channels / "xfce4-panel.xml") << kXfcePanel;
  // xfwm4's stock key bindings as the user's own (which override the stock ones whatever the
  // configuration folders), without the Alt+Space that opens the window menu.
  static const std::regex altSpace(R"(\s*<property name="&lt;Alt&gt;space"[^>]*/>)");
  static const std::regex stockSection(
      R"((<property name="xfwm4" type="empty">\s*)<property name="default" type="empty">)");
  const std::string bindings = stockWithout(
      "/etc/xdg/xfce4/xfconf/xfce-perchannel-xml/xfce4-keyboard-shortcuts.xml", altSpace);
  std::ofstream(m_folder / "config" / channels / "xfce4-keyboard-shortcuts.xml")
      << std::regex_replace(bindings, stockSection,
                            R"($1<property name="custom" type="empty">
      <property name="override" type="bool" value="true"/>)");
}

void TestDesktop::writeI3Configuration(bool stockKeyBindings) const {
  // The stock configuration without what it starts beside i3 (the configuration wizard, applets,
  // a screen locker) and with a bar of the desktop's own, which the desktop starts itself so that
  // it can stop it: a status line would need i3status. Alt is the modifier there.
  static const std::regex extras(R"((^|\n)exec[^\n]*|\nbar \{[\s\S]*?\n\})");
  static const std::regex altSpace(R"(\nbindsym Mod1\+space [^\n]*)");
  std::string configuration = stockWithout("/etc/i3/config", extras);
  if (!stockKeyBindings) configuration = std::regex_replace(configuration, altSpace, "");
  configuration += "\nipc-socket " + (m_folder / "i3.sock").string() +
                   "\nbar {\n  id tessra\n  position bottom\n  i3bar_command true\n}\n";
  std::ofstream(m_folder / "i3.conf") << configuration;
}

TestDesktop::~TestDesktop() {
  if (g_current == this) g_current = nullptr;
  stopAll();
}

void TestDesktop::stopAll() {
  stop(m_notifications);
  stop(m_tray);
  stop(m_windowManager);
  stop(m_configuration);
  stop(m_keyring);
  stop(m_bus);
  stop(m_server);
  std::error_code ignored;
  fs::remove_all(m_folder, ignored);
}

TestDesktop& TestDesktop::current() {
  if (g_current == nullptr) throw std::logic_error("this test runs without a test desktop");
  return *g_current;
}

pid_t TestDesktop::spawn(const std::vector<std::string>& arguments) const {
  return spawnWith(arguments, log(), m_environment);
}

void TestDesktop::useStockKeyBindings() {
  // The manager takes the key at a moment of its own after it hears of the binding, and no grab
  // of ours may stand in its way then: so the binding is checked only once the manager has
  // certainly taken its keys, by a sign it gives after them.
  switch (m_kind) {
    case Kind::Openbox:
      // Openbox starts anew with them, and takes its keys before it manages a window.
      startOpenbox("/etc/xdg/openbox/rc.xml");
      break;
    case Kind::Xfce:
      // So does xfwm4, set while none runs: a running one takes the key when it gets to it.
      stop(m_windowManager);
      setXfceProperty("xfce4-keyboard-shortcuts", "/xfwm4/custom/<Alt>space", "string",
                      "popup_menu_key");
      startXfwm4();
      break;
    case Kind::I3: {
      // i3 takes its keys as it reloads its configuration, and then sets its own properties of
      // the root window anew.
      RootPropertyWatch reloaded(m_display, "I3_CONFIG_PATH");
      writeI3Configuration(true);
      if (!run({"i3-msg", "-s", (m_folder / "i3.sock").string(), "reload"}, log(), m_environment))
        throw std::runtime_error("i3-msg failed:\n" + readAll(log()));
      waitFor("i3 reload", log(), [&] { return reloaded.changed(); });
      break;
    }
  }
  if (!Display(m_display).altSpaceTaken())
    throw std::runtime_error("the window manager's stock key bindings left Alt+Space free:\n" +
                             readAll(log()));
}

void TestDesktop::focusFollowsMouse() {
  switch (m_kind) {
    case Kind::Openbox: {
      static const std::regex followMouse("<followMouse>no</followMouse>");
      static const std::regex focusDelay("<focusDelay>[0-9]+</focusDelay>");
      const std::string configuration =
          std::regex_replace(std::regex_replace(privateOpenboxConfiguration(), followMouse,
                                                "<followMouse>yes</followMouse>"),
                             focusDelay, "<focusDelay>0</focusDelay>");
      std::ofstream(m_folder / "rc.xml") << configuration;
      startOpenbox(m_folder / "rc.xml");
      return;
    }
    case Kind::Xfce:
      // Set while none runs, as for the key bindings: xfwm4 reads them as it starts.
      stop(m_windowManager);
      setXfceProperty("xfwm4", "/general/focus_delay", "int", "0");
      setXfceProperty("xfwm4", "/general/click_to_focus", "bool", "false");
      startXfwm4();
      return;
    case Kind::I3:
      return;
  }
}

void TestDesktop::setXfceProperty(const char* channel, const std::string& property,
                                  const char* type, const char* value) {
  if (!run({"xfconf-query", "--channel", channel, "--property", property, "--create", "--type",
            type, "--set", value},
           log(), m_environment))
    throw std::runtime_error("xfconf-query failed:\n" + readAll(log()));
}

void TestDesktop::startTray() {
  if (m_tray > 0) return;
  Display display(m_display);
  Bus bus(m_busAddress);
  std::function<bool()> ready;
  switch (m_kind) {
    case Kind::Openbox:
      m_tray = spawn({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                      "--height", std::to_string(kTrayHeight), "--SetDockType", "true",
                      "--SetPartialStrut", "true", "--expand", "true"});
      ready = [&] {
        return display.trayOwned() && display.workAreaHeight() == kHeight - kTrayHeight;
      };
      break;
    case Kind::Xfce:
      m_tray = spawn({"xfce4-panel"});
      // Items find the tray through the watcher once a host has registered with it.
      ready = [&] {
        const int workArea = display.workAreaHeight();
        return bus.hasOwner(kWatcher) &&
               bus.booleanProperty(kWatcher, "/StatusNotifierWatcher", kWatcher,
                                   "IsStatusNotifierHostRegistered") &&
               workArea > 0 && workArea <= kHeight - kPanelSize;
      };
      break;
    case Kind::I3:
      m_tray = spawn({"i3bar", "--bar_id=tessra", "--socket=" + (m_folder / "i3.sock").string()});
      ready = [&] { return display.trayOwned() && display.bottomStrut() > 0; };
      break;
  }
  waitFor("tray", log(), [&] {
    if (exited(m_tray)) throw std::runtime_error("the tray ended:\n" + readAll(log()));
    return ready();
  });
  m_barHeight = display.bottomStrut();
}

void TestDesktop::stopTray() {
  stop(m_tray);
  Display display(m_display);
  Bus bus(m_busAddress);
  waitFor("tray's end", log(), [&] {
    const int workArea = display.workAreaHeight();
    return !display.trayOwned() && !bus.hasOwner(kWatcher) && display.bottomStrut() == 0 &&
           (workArea == 0 || workArea == kHeight);
  });
  m_barHeight = 0;
}

void TestDesktop::startNotificationServer() {
  if (m_notifications > 0) return;
  m_notifications = m_kind == Kind::Xfce
                        ? spawn({TESSRA_SYSTEM_LIBRARY_DIR "/xfce4/notifyd/xfce4-notifyd"})
                        : spawn({"dunst"});
  Bus bus(m_busAddress);
  waitFor("notification server", log(), [&] {
    if (exited(m_notifications))
      throw std::runtime_error("the notification server ended:\n" + readAll(log()));
    return bus.hasOwner(kNotifications);
  });
}

void TestDesktop::screenshot(const fs::path& file) const {
  pid_t pid = spawnWith({"import", "-display", m_display, "-window", "root", file.string()}, log());
  ::waitpid(pid, nullptr, 0);
}

}  // namespace tessra::testing
