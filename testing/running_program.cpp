#include "testing/running_program.h"

#include <elf.h>
#include <signal.h>
#include <sys/procfs.h>
#include <sys/resource.h>
#include <xcb/xcb.h>

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <expected>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include <gtest/gtest.h>

#include "testing/test_desktop.h"

namespace tessra::testing {
namespace {

namespace fs = std::filesystem;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// One connection to this process's display for the window queries.
class Display {
 public:
  Display() : m_connection(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(m_connection)) return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
  }
  ~Display() { xcb_disconnect(m_connection); }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  xcb_connection_t* get() const { return m_connection; }
  xcb_window_t root() const { return m_root; }

  xcb_atom_t atom(const char* name) const {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(m_connection,
                              xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
  }

  // Whether the window's _NET_WM_WINDOW_TYPE holds `type`.
  bool hasWindowType(xcb_window_t window, const char* type) const {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, window,
                                                atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 0, 32),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32) return false;
    const auto* types = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const auto* end = types + xcb_get_property_value_length(reply.get()) / 4;
    return std::find(types, end, atom(type)) != end;
  }

  // Where the mapped dock along the bottom edge of the screen stands (the tray's bar).
  std::optional<QRect> bottomDock() const {
    const Reply<xcb_get_geometry_reply_t> screen(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_root), nullptr),
        &std::free);
    if (!screen) return std::nullopt;
    std::optional<QRect> found;
    const std::function<void(xcb_window_t)> visit = [&](xcb_window_t window) {
      for (const xcb_window_t child : tree(window).second) {
        if (found || !isViewable(child)) continue;
        if (hasWindowType(child, "_NET_WM_WINDOW_TYPE_DOCK")) {
          const QRect frame = frameOf(child);
          if (frame.bottom() == screen->height - 1) found = frame;
          continue;
        }
        visit(child);
      }
    };
    visit(m_root);
    return found;
  }

  QRect frameOf(xcb_window_t window) const {
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr),
        &std::free);
    Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr),
        &std::free);
    if (!geometry || !origin) return {};
    return {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
  }

  bool isViewable(xcb_window_t window) const {
    Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection,
                                        xcb_get_window_attributes(m_connection, window), nullptr),
        &std::free);
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
  }

  // The window's _NET_WM_NAME, else its WM_NAME.
  QString title(xcb_window_t window) const {
    for (const xcb_atom_t property : {atom("_NET_WM_NAME"), xcb_atom_t(XCB_ATOM_WM_NAME)}) {
      Reply<xcb_get_property_reply_t> reply(
          xcb_get_property_reply(m_connection,
                                 xcb_get_property(m_connection, 0, window, property,
                                                  XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
                                 nullptr),
          &std::free);
      if (!reply || reply->format != 8 || reply->type == XCB_NONE) continue;
      return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                               xcb_get_property_value_length(reply.get()));
    }
    return {};
  }

  // The window's parent and children (bottom to top); a parent of XCB_NONE when it is gone.
  std::pair<xcb_window_t, std::vector<xcb_window_t>> tree(xcb_window_t window) const {
    Reply<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr),
        &std::free);
    if (!reply) return {XCB_NONE, {}};
    const xcb_window_t* children = xcb_query_tree_children(reply.get());
    return {reply->parent, {children, children + xcb_query_tree_children_length(reply.get())}};
  }

 private:
  xcb_connection_t* m_connection;
  xcb_window_t m_root = XCB_NONE;
};

QString name(xcb_window_t window) { return QString::number(window); }

// Whether the tray's watcher on the session bus lists an item of the process `pid`.
bool registeredInTray(qint64 pid) {
  QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                         QStringLiteral("/StatusNotifierWatcher"),
                         QStringLiteral("org.kde.StatusNotifierWatcher"));
  const QStringList items = watcher.property("RegisteredStatusNotifierItems").toStringList();
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  return std::any_of(items.begin(), items.end(), [&](const QString& item) {
    const QDBusReply<uint> owner = bus->servicePid(item.section(QLatin1Char('/'), 0, 0));
    return owner.isValid() && owner.value() == pid;
  });
}

// The signals whose default action writes a core.
constexpr std::array kCoreSignals = {SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                     SIGFPE,  SIGSEGV, SIGXCPU, SIGXFSZ, SIGSYS};

// gdb reads the core of the program and its libraries' symbols within seconds, even on a busy
// machine; one that hangs must not hold the test up to its own time limit.
constexpr int kGdbMs = 60000;

// The process whose core `file` is, from the process note the kernel writes first into each
// core; nothing for a file that is no core.
std::optional<pid_t> coreProcess(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  Elf64_Ehdr header{};
  if (!in.read(reinterpret_cast<char*>(&header), sizeof header) ||
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_type != ET_CORE)
    return std::nullopt;
  // The kernel writes the notes as the first segment; reading that one alone also serves a core
  // of more mappings than its header can count.
  Elf64_Phdr segment{};
  in.seekg(static_cast<std::streamoff>(header.e_phoff));
  if (!in.read(reinterpret_cast<char*>(&segment), sizeof segment) || segment.p_type != PT_NOTE)
    return std::nullopt;
  std::string notes(segment.p_filesz, '\0');
  in.seekg(static_cast<std::streamoff>(segment.p_offset));
  if (!in.read(notes.data(), static_cast<std::streamsize>(notes.size()))) return std::nullopt;
  const auto aligned = [](std::size_t size) { return (size + 3) & ~std::size_t{3}; };
  for (std::size_t at = 0; at + sizeof(Elf64_Nhdr) <= notes.size();) {
    Elf64_Nhdr note{};
    std::memcpy(&note, notes.data() + at, sizeof note);
    const std::size_t description = at + sizeof note + aligned(note.n_namesz);
    if (note.n_type == NT_PRPSINFO && description + sizeof(prpsinfo_t) <= notes.size()) {
      prpsinfo_t process{};
      std::memcpy(&process, notes.data() + description, sizeof process);
      return process.pr_pid;
    }
    at = description + aligned(note.n_descsz);
  }
  return std::nullopt;
}

// The core of process `pid`, which ran in `folder`, or why none can be read there. The program's
// browser helpers run in the same folder and may leave cores of their own.
std::expected<fs::path, std::string> coreOf(pid_t pid, const fs::path& folder) {
  std::ifstream patternFile("/proc/sys/kernel/core_pattern");
  std::string pattern;
  std::getline(patternFile, pattern);
  if (pattern.starts_with('|'))
    return std::unexpected("the kernel hands cores to \"" + pattern.substr(1) +
                           "\" (/proc/sys/kernel/core_pattern)");
  if (pattern.starts_with('/'))
    return std::unexpected("the kernel writes cores to \"" + pattern +
                           "\", not where the program ran (/proc/sys/kernel/core_pattern)");
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error))
    if (entry.is_regular_file(error) && coreProcess(entry.path()) == pid) return entry.path();
  rlimit limit{};
  ::getrlimit(RLIMIT_CORE, &limit);
  return std::unexpected("none of process " + std::to_string(pid) + " is in " + folder.string() +
                         " (core_pattern \"" + pattern + "\", core size limit " +
                         (limit.rlim_max == RLIM_INFINITY ? std::string("unlimited")
                                                          : std::to_string(limit.rlim_max)) +
                         ")");
}

// Every thread's stack in `core`, as gdb prints it. gdb's warnings (about mappings it cannot
// open, or register sets newer than it knows) would bury the stacks; they are shown only when it
// printed no stack.
QString stacksIn(const QString& binary, const fs::path& core) {
  QProcess gdb;
  gdb.start(QStringLiteral("gdb"),
            {QStringLiteral("-batch"), QStringLiteral("-nx"), QStringLiteral("-iex"),
             QStringLiteral("set debuginfod enabled off"), QStringLiteral("-ex"),
             QStringLiteral("thread apply all bt"), binary, QString::fromStdString(core)});
  if (!gdb.waitForStarted()) return QStringLiteral("gdb did not start: ") + gdb.errorString();
  const bool finished = gdb.waitForFinished(kGdbMs);
  if (!finished) {
    gdb.kill();
    gdb.waitForFinished();
  }
  QString stacks = QString::fromUtf8(gdb.readAllStandardOutput());
  if (stacks.trimmed().isEmpty()) stacks = QString::fromUtf8(gdb.readAllStandardError());
  if (!finished) stacks += QStringLiteral("gdb was stopped after %1 s\n").arg(kGdbMs / 1000);
  return stacks;
}

}  // namespace

QString xdotool(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("xdotool"), arguments);
  if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return {};
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

namespace {

// xdotool ends at its first X error, and a search meets one whenever a window goes while it reads
// the window's properties (a program makes and drops windows all along): such a search is made
// again, and the windows are not taken for gone.
QStringList searchWindows(const QStringList& criteria) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("search")} + criteria);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit) return {};
    if (process.exitCode() == 0)
      return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    // Without an error, a search that found nothing.
    if (!process.readAllStandardError().contains("X Error")) return {};
  }
  return {};
}

}  // namespace

void pressKeys(const QString& keys) { xdotool({QStringLiteral("key"), keys}); }

void typeText(const QString& text) { xdotool({QStringLiteral("type"), text}); }

void clickAt(int x, int y, int button) {
  xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
           QStringLiteral("click"), QString::number(button)});
}

QString focusedWindow() {
  Display display;
  Reply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(display.get(), xcb_get_input_focus(display.get()), nullptr),
      &std::free);
  if (!reply || reply->focus == XCB_NONE || reply->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
      reply->focus == display.root())
    return {};
  return name(reply->focus);
}

QRect windowFrame(const QString& window) {
  if (window.isEmpty()) return {};
  return Display().frameOf(static_cast<xcb_window_t>(window.toUInt()));
}

QStringList windowsTitled(const QString& title) {
  // Read from the server itself: xdotool's search misses the titles of some windows (Qt's
  // message boxes) and matches parts of names in some versions.
  Display display;
  QStringList found;
  // Depth first from the root, whose children are bottom to top: the windows come in stacking
  // order.
  const std::function<void(xcb_window_t)> visit = [&](xcb_window_t window) {
    for (const xcb_window_t child : display.tree(window).second) {
      if (display.isViewable(child) && display.title(child) == title) found << name(child);
      visit(child);
    }
  };
  visit(display.root());
  return found;
}

bool hasWindowType(const QString& window, const char* type) {
  return Display().hasWindowType(static_cast<xcb_window_t>(window.toUInt()), type);
}

QString windowTitle(const QString& window) {
  return Display().title(static_cast<xcb_window_t>(window.toUInt()));
}

QString transientFor(const QString& window) {
  Display display;
  Reply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(
          display.get(),
          xcb_get_property(display.get(), 0, static_cast<xcb_window_t>(window.toUInt()),
                           XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1),
          nullptr),
      &std::free);
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return {};
  return name(*static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get())));
}

QString topLevelUnderPointer() {
  Display display;
  Reply<xcb_query_pointer_reply_t> reply(
      xcb_query_pointer_reply(display.get(), xcb_query_pointer(display.get(), display.root()),
                              nullptr),
      &std::free);
  if (!reply || reply->child == XCB_NONE) return {};
  return name(reply->child);
}

QString selectionOwner(const QString& selection) {
  Display display;
  const QByteArray text = selection.toUtf8();
  Reply<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(
          display.get(),
          xcb_intern_atom(display.get(), 1, static_cast<uint16_t>(text.size()), text.constData()),
          nullptr),
      &std::free);
  if (!atom || atom->atom == XCB_NONE) return {};
  Reply<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(display.get(),
                                    xcb_get_selection_owner(display.get(), atom->atom), nullptr),
      &std::free);
  if (!owner || owner->owner == XCB_NONE) return {};
  return name(owner->owner);
}

void clearSelection(const QString& selection) {
  Display display;
  const xcb_atom_t atom = display.atom(selection.toUtf8().constData());
  // The display's own time is never older than the owner's claim, so the request always holds.
  xcb_set_selection_owner(display.get(), XCB_NONE, atom, XCB_CURRENT_TIME);
  // Answered only once the display has handled the request before it.
  std::free(xcb_get_input_focus_reply(display.get(), xcb_get_input_focus(display.get()), nullptr));
}

QStringList stackingOrder() {
  Display display;
  QStringList order;
  for (const xcb_window_t child : display.tree(display.root()).second) order << name(child);
  return order;
}

QStringList mappedTopLevels() {
  Display display;
  QStringList mapped;
  for (const xcb_window_t child : display.tree(display.root()).second)
    if (display.isViewable(child)) mapped << name(child);
  return mapped;
}

QString topLevelOf(const QString& window) {
  Display display;
  auto current = static_cast<xcb_window_t>(window.toUInt());
  while (true) {
    const xcb_window_t parent = display.tree(current).first;
    if (parent == XCB_NONE) return {};
    if (parent == display.root()) return name(current);
    current = parent;
  }
}

RecordingTerminal::RecordingTerminal(fs::path record) : m_record(std::move(record)) {
  m_process.start(QStringLiteral("xterm"),
                  {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                   QStringLiteral("stty raw -echo; exec cat > \"$0\""),
                   QString::fromStdString(m_record.string())});
}

RecordingTerminal::~RecordingTerminal() {
  m_process.kill();
  m_process.waitForFinished();
}

QString RecordingTerminal::window() {
  if (m_window.isEmpty())
    (void)QTest::qWaitFor(
        [&] {
          if (!fs::exists(m_record)) return false;
          m_window = searchWindows({QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                    QString::number(m_process.processId())})
                         .value(0);
          return !m_window.isEmpty();
        },
        20000);
  return m_window;
}

bool RecordingTerminal::clickInto() {
  const QString shown = window();
  if (shown.isEmpty()) return false;
  const QRect frame = windowFrame(shown);
  clickAt(frame.left() + 40, frame.center().y());
  return QTest::qWaitFor([&] { return topLevelOf(focusedWindow()) == topLevelOf(shown); }, 20000);
}

std::string RecordingTerminal::read() const {
  std::ifstream file(m_record);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

QString RunningProgram::panel() const {
  QStringList shown = windows(QStringLiteral("Tessra"));
  shown.removeAll(trayIcon());
  return shown.isEmpty() ? QString() : shown.front();
}

QStringList notificationPopups() {
  // xfce4-notifyd's and dunst's windows, by their class.
  return searchWindows({QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                        QStringLiteral("notifyd|dunst")});
}

QStringList coveredBy(const QString& window, const QStringList& windows) {
  const QStringList order = stackingOrder();
  const qsizetype above = order.indexOf(topLevelOf(window));
  const QRect frame = windowFrame(window);
  QStringList covered;
  for (const QString& other : windows) {
    if (order.indexOf(topLevelOf(other)) < above && windowFrame(other).intersects(frame))
      covered << other;
  }
  return covered;
}

QString RunningProgram::trayIcon() const {
  Display display;
  for (const QString& candidate : windows()) {
    auto window = static_cast<xcb_window_t>(candidate.toUInt());
    // An icon is embedded in the tray host's panel, a dock; the program's own windows stand in
    // the window manager's frames or on the root.
    for (xcb_window_t parent = display.tree(window).first;
         parent != XCB_NONE && parent != display.root(); parent = display.tree(parent).first)
      if (display.hasWindowType(parent, "_NET_WM_WINDOW_TYPE_DOCK")) return candidate;
  }
  return {};
}

QRect RunningProgram::trayIconFrame() const {
  if (!TestDesktop::current().hasDBusTray()) {
    const QRect icon = windowFrame(trayIcon());
    if (icon.isEmpty()) return {};
    // A tray that grows with its icons embeds a new one before it has grown to hold it: until
    // then the icon stands partly off the tray's bar, off the screen at the right edge, and a
    // click at its middle misses it.
    const std::optional<QRect> bar = Display().bottomDock();
    return bar && bar->contains(icon) ? icon : QRect();
  }
  if (!registeredInTray(m_pid)) return {};
  Display display;
  const std::optional<QRect> bar = display.bottomDock();
  if (!bar) return {};
  const QImage shown = QGuiApplication::primaryScreen()
                           ->grabWindow(0, bar->x(), bar->y(), bar->width(), bar->height())
                           .toImage();
  // The bar is empty but for the status tray at its right end: whatever differs from the bar's
  // own colour in the middle of its height is the icon.
  const QRgb background = shown.pixel(shown.width() / 4, shown.height() / 2);
  QRect icon;
  for (int y = 2; y < shown.height() - 2; ++y)
    for (int x = shown.width() / 2; x < shown.width(); ++x)
      if (shown.pixel(x, y) != background) icon |= QRect(x, y, 1, 1);
  return icon.translated(bar->topLeft());
}

QString copyAll(std::chrono::milliseconds timeout) {
  QGuiApplication::clipboard()->clear();
  xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
  xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")});
  QString text;
  (void)QTest::qWaitFor(
      [&] {
        text = QGuiApplication::clipboard()->text();
        return !text.isEmpty();
      },
      static_cast<int>(timeout.count()));
  return text;
}

RunningProgram::RunningProgram(QString binary, fs::path home)
    : m_binary(std::move(binary)),
      m_home(std::move(home)),
      m_environment(QProcessEnvironment::systemEnvironment()) {
  for (const char* folder : {"config", "data", "cache"}) fs::create_directories(m_home / folder);
  m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       QString::fromStdString(m_home / "config"));
  m_environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(m_home / "data"));
  m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromStdString(m_home / "cache"));
  // The program's own overrides from the caller's environment would lead it out of `home`.
  for (const char* variable :
       {"TESSRA_CONFIG_DIR", "TESSRA_DATA_DIR", "TESSRA_CACHE_DIR", "TESSRA_TELEMETRY_URL",
        "TESSRA_AI_BASE_URL", "TESSRA_UPDATE_FEED_URL"})
    m_environment.remove(QString::fromLatin1(variable));
  m_process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
  QObject::connect(&m_process, &QProcess::readyReadStandardError, [this] {
    const QByteArray text = m_process.readAllStandardError();
    m_log += QString::fromUtf8(text);
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
  });
  fs::create_directories(coreFolder());
  m_process.setWorkingDirectory(QString::fromStdString(coreFolder()));
  // A test session's limit is often 0, which would write no core at all.
  m_process.setChildProcessModifier([] {
    rlimit limit{};
    if (::getrlimit(RLIMIT_CORE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_CORE, &limit);
  });
  QObject::connect(&m_process, &QProcess::finished,
                   [this](int exitCode, QProcess::ExitStatus status) {
                     if (status == QProcess::CrashExit) reportCrash(exitCode);
                     removeCores();
                   });
}

RunningProgram::~RunningProgram() {
  if (!isRunning()) return;
  m_process.kill();
  m_process.waitForFinished(5000);
}

void RunningProgram::setEnvironment(const QString& name, const std::optional<QString>& value) {
  if (value) {
    m_environment.insert(name, *value);
  } else {
    m_environment.remove(name);
  }
}

void RunningProgram::start(const QStringList& arguments) {
  const fs::path defaults = configFolder() / "defaults.json";
  if (!fs::exists(defaults)) {
    fs::create_directories(configFolder());
    std::ofstream(defaults) << R"({"onboardingPresented": true})";
  }
  m_crashSignal = 0;
  m_crashReport.clear();
  m_process.setProcessEnvironment(m_environment);
  m_process.start(m_binary, arguments);
  ASSERT_TRUE(m_process.waitForStarted(10000)) << "cannot start " << m_binary.toStdString();
  m_pid = m_process.processId();
}

QStringList RunningProgram::windows(const QString& title) const {
  return searchWindows({QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--pid"), QString::number(m_pid), QStringLiteral("--name"),
                        QStringLiteral("^%1$").arg(QRegularExpression::escape(title))});
}

QStringList RunningProgram::windows() const {
  return searchWindows({QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--pid"), QString::number(m_pid), QStringLiteral(".*")});
}

QString RunningProgram::waitForWindow(const QString& title,
                                      std::chrono::milliseconds timeout) const {
  QString found;
  (void)QTest::qWaitFor(
      [&] {
        const QStringList shown = windows(title);
        if (!shown.isEmpty()) found = shown.front();
        return !found.isEmpty();
      },
      static_cast<int>(timeout.count()));
  return found;
}

bool RunningProgram::hasKeyboard() const {
  const QString focus = focusedWindow();
  if (focus.isEmpty()) return false;
  return xdotool({QStringLiteral("getwindowpid"), focus}) == QString::number(m_pid);
}

int RunningProgram::quitWith(int signalNumber) {
  if (!isRunning()) return waitForExit();
  ::kill(static_cast<pid_t>(m_pid), signalNumber);
  return waitForExit();
}

int RunningProgram::waitForExit(std::chrono::milliseconds timeout) {
  if (isRunning() && !m_process.waitForFinished(static_cast<int>(timeout.count()))) return -1;
  if (m_process.exitStatus() == QProcess::CrashExit) {
    // On Linux QProcess reports the terminating signal as the exit code of a crash.
    m_crashSignal = m_process.exitCode();
    return -1;
  }
  return m_process.exitCode();
}

void RunningProgram::reportCrash(int signalNumber) {
  if (std::find(kCoreSignals.begin(), kCoreSignals.end(), signalNumber) == kCoreSignals.end())
    return;
  m_crashReport = QStringLiteral("%1 (process %2) ended by signal %3 (SIG%4)")
                      .arg(m_binary)
                      .arg(m_pid)
                      .arg(signalNumber)
                      .arg(QString::fromLatin1(sigabbrev_np(signalNumber)));
  const std::expected<fs::path, std::string> core = coreOf(static_cast<pid_t>(m_pid), coreFolder());
  if (core) {
    m_crashReport += QStringLiteral("; its stacks, from its core:\n") + stacksIn(m_binary, *core);
  } else {
    m_crashReport += QStringLiteral("; no core could be read: ") +
                     QString::fromStdString(core.error()) + QLatin1Char('\n');
  }
  const QByteArray text = m_crashReport.toUtf8();
  std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

void RunningProgram::removeCores() {
  // A core holds what the program had in memory, the key among it, and may be large.
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(coreFolder(), error))
    fs::remove_all(entry.path(), error);
}

}  // namespace tessra::testing
