// The tray as a user meets it, on an XEmbed tray (openbox with trayer) and on one that hosts items
// over D-Bus (xfce4-panel's status tray): a right click on the icon opens the program's menu,
// whose entries work, and a click on the icon opens and closes the panel.
#include <xcb/xcb.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "testing/keyboard_grab_watch.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using testing::RunningProgram;

constexpr int kWaitMs = 20000;

class TrayTest : public ::testing::Test {
 protected:
  // Starts the program as the user does, or as a login does (no panel then), and waits for its
  // icon in the tray.
  void start(const QStringList& arguments = {}) {
    m_tessra.start(arguments);
    ASSERT_EVENTUALLY(!m_tessra.trayIconFrame().isEmpty(), kWaitMs) << "no icon in the tray";
  }

  // Clicks the icon where it stands now: the tray may move it as other icons come and go.
  void clickIcon(int button) {
    QRect icon;
    ASSERT_EVENTUALLY(!(icon = m_tessra.trayIconFrame()).isEmpty(), kWaitMs)
        << "no icon in the tray";
    testing::clickAt(icon.center().x(), icon.center().y(), button);
  }

  // A right click on the icon; waits for the menu the tray shows (a window of the program on an
  // XEmbed tray, of the tray's panel on one that hosts items over D-Bus) and for it to take the
  // keyboard, which it does a moment after it is shown.
  void openMenu() {
    const QStringList before = testing::mappedTopLevels();
    testing::KeyboardGrabWatch grab;
    ASSERT_NO_FATAL_FAILURE(clickIcon(3));
    const auto menuShown = [&] {
      const QStringList now = testing::mappedTopLevels();
      return std::any_of(now.begin(), now.end(),
                         [&](const QString& window) { return !before.contains(window); });
    };
    ASSERT_EVENTUALLY(menuShown(), kWaitMs) << "no menu";
    ASSERT_EVENTUALLY(grab.grabbed(), kWaitMs) << "the menu never took the keyboard";
  }

  // The panel's window, once it is shown: on an XEmbed tray the icon's window has its title too.
  QString panelWindow() const {
    const QString icon = m_tessra.trayIcon();
    for (const QString& window : m_tessra.windows(QStringLiteral("Tessra")))
      if (window != icon) return window;
    return {};
  }
  bool panelShown() const { return !panelWindow().isEmpty(); }

  testing::TempDir m_home;
  RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
};

// One entry of a menu exported over D-Bus: its label ("" for a separator), whether it is enabled,
// and its shortcut as the keys' names ("Alt+space").
struct ExportedEntry {
  QString label;
  bool enabled = true;
  QString shortcut;
  bool operator==(const ExportedEntry&) const = default;
};

void PrintTo(const ExportedEntry& entry, std::ostream* out) {
  *out << '"' << entry.label.toStdString() << "\" " << (entry.enabled ? "enabled" : "disabled")
       << " \"" << entry.shortcut.toStdString() << '"';
}

// The top level of the menu that the program's tray item exports, read as the tray reads it.
std::vector<ExportedEntry> exportedMenu() {
  QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                         QStringLiteral("/StatusNotifierWatcher"),
                         QStringLiteral("org.kde.StatusNotifierWatcher"));
  const QStringList items = watcher.property("RegisteredStatusNotifierItems").toStringList();
  if (items.size() != 1) return {};
  const QString service = items.front().section(QLatin1Char('/'), 0, 0);
  QDBusInterface item(service, QStringLiteral("/StatusNotifierItem"),
                      QStringLiteral("org.kde.StatusNotifierItem"));
  const QString path = item.property("Menu").value<QDBusObjectPath>().path();
  QDBusMessage ask = QDBusMessage::createMethodCall(
      service, path, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
  ask << 0 << -1 << QStringList();
  const QDBusMessage reply = QDBusConnection::sessionBus().call(ask);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) return {};

  std::vector<ExportedEntry> entries;
  const auto readItem = [](const QDBusArgument& layout, QVariantMap& properties,
                           QVariantList& children) {
    int id = 0;
    layout.beginStructure();
    layout >> id >> properties;
    layout.beginArray();
    while (!layout.atEnd()) {
      QDBusVariant child;
      layout >> child;
      children << child.variant();
    }
    layout.endArray();
    layout.endStructure();
  };
  QVariantMap root;
  QVariantList children;
  readItem(reply.arguments().at(1).value<QDBusArgument>(), root, children);
  for (const QVariant& child : children) {
    QVariantMap properties;
    QVariantList grandchildren;
    readItem(child.value<QDBusArgument>(), properties, grandchildren);
    if (!properties.value(QStringLiteral("visible"), true).toBool()) continue;
    ExportedEntry entry{.label = properties.value(QStringLiteral("label")).toString(),
                        .enabled = properties.value(QStringLiteral("enabled"), true).toBool(),
                        .shortcut = {}};
    if (properties.contains(QStringLiteral("shortcut"))) {
      const auto keys = properties.value(QStringLiteral("shortcut")).value<QDBusArgument>();
      keys.beginArray();
      while (!keys.atEnd()) {
        QStringList combination;
        keys >> combination;
        entry.shortcut += combination.join(QLatin1Char('+'));
      }
      keys.endArray();
    }
    entries.push_back(entry);
  }
  return entries;
}

// Records whether a window is mapped or unmapped, in order, as the X server reports it.
class MapRecorder {
 public:
  explicit MapRecorder(const QString& window) : m_connection(xcb_connect(nullptr, nullptr)) {
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, window.toUInt(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);
  }
  ~MapRecorder() { xcb_disconnect(m_connection); }
  MapRecorder(const MapRecorder&) = delete;
  MapRecorder& operator=(const MapRecorder&) = delete;

  // What the server has reported so far: "map" and "unmap".
  std::vector<std::string> changes() {
    // A round trip: every event the server sent before it has arrived.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
      const auto type = event->response_type & ~0x80;
      if (type == XCB_MAP_NOTIFY) m_changes.emplace_back("map");
      if (type == XCB_UNMAP_NOTIFY) m_changes.emplace_back("unmap");
      std::free(event);
    }
    return m_changes;
  }

 private:
  xcb_connection_t* m_connection;
  std::vector<std::string> m_changes;
};

TEST_F(TrayTest, TheIconsMenuOffersTheEntriesAndTheyWork) {
  // As the tray reads the menu where it hosts items over D-Bus: the nine entries in order, the
  // shortcut the program holds beside the first, Ctrl+Q beside Quit.
  const std::vector<ExportedEntry> exported = {
      {"Open Tessra", true, "Alt+Space"},
      {"", true, ""},
      {"Send Feedback", true, ""},
      {"Share", true, ""},
      {"", true, ""},
      {"Check for Updates…", false, ""},  // no update feed here
      {"Settings", true, ""},
      {"", true, ""},
      {"Quit", true, "Control+Q"},
  };
  // Chosen with the keys from the bottom (separators are skipped), each in a program of its own:
  // a second right click soon after the first would be a double click.
  const struct {
    const char* entry;
    int upsFromTheBottom;
  } choices[] = {{"Settings", 2}, {"Quit", 1}};
  for (const auto& choice : choices) {
    SCOPED_TRACE(choice.entry);
    // Started as at login: no panel comes up to take the keyboard from the menu. The side button
    // stands once the program has started.
    ASSERT_NO_FATAL_FAILURE(start({QStringLiteral("--login-item")}));
    ASSERT_FALSE(m_tessra.waitForWindow(QStringLiteral("Tessra Button")).isEmpty());
    if (testing::TestDesktop::current().hasDBusTray()) {
      EXPECT_EQ(exportedMenu(), exported);
    }

    ASSERT_NO_FATAL_FAILURE(openMenu());
    for (int i = 0; i < choice.upsFromTheBottom; ++i) testing::pressKeys(QStringLiteral("Up"));
    testing::pressKeys(QStringLiteral("Return"));
    if (std::string_view(choice.entry) == "Quit") {
      EXPECT_EQ(m_tessra.waitForExit(), 0) << "crashed with signal " << m_tessra.crashSignal();
      continue;
    }
    EXPECT_FALSE(m_tessra.waitForWindow(QStringLiteral("General")).isEmpty())
        << "no settings window";
    EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
  }
}

TEST_F(TrayTest, AClickOnTheIconClosesThePanelAndTheNextOpensIt) {
  ASSERT_NO_FATAL_FAILURE(start());
  QString panel;
  ASSERT_EVENTUALLY(!(panel = panelWindow()).isEmpty(), kWaitMs);
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  MapRecorder recorder(panel);
  ASSERT_NO_FATAL_FAILURE(clickIcon(1));
  ASSERT_EVENTUALLY(!panelShown(), kWaitMs);
  ASSERT_NO_FATAL_FAILURE(clickIcon(1));
  ASSERT_EVENTUALLY(panelShown() && m_tessra.hasKeyboard(), kWaitMs);
  ASSERT_NO_FATAL_FAILURE(clickIcon(1));
  ASSERT_EVENTUALLY(!panelShown(), kWaitMs);
  ASSERT_EQ(m_tessra.quitWith(SIGTERM), 0);
  // Once the program has ended, every change of its panel is known: a panel that slid out and
  // straight back in would show here.
  EXPECT_EQ(recorder.changes(), (std::vector<std::string>{"unmap", "map", "unmap"}));
}

}  // namespace
}  // namespace tessra
