// Seeded random input through the whole program, as someone gives it who tries everything at
// once: letters and editing keys, the panel's shortcuts and the global one, pastes, and clicks
// inside the panel and on its side button, 0 to 300 ms apart, while the service answers every
// question. Whatever the input did, the program keeps running, Alt+Space still hides and shows
// the panel (tried every kEventsPerCheck events and at the end), a hidden panel leaves nothing of
// itself on screen, every file the program stored still reads, and a terminate ends it with 0.
//
//   TESSRA_RANDOM_INPUT_SEED     the run (kDefaultSeed when unset)
//   TESSRA_RANDOM_INPUT_SECONDS  how long the input goes on (kDefaultSeconds when unset)
//   TESSRA_RANDOM_INPUT_EVENTS   ends the input after that many events, to replay a failure's start
//
// Every event goes to the test's output with its index and time; a failure names the seed, the
// event and the events before it. The random numbers are drawn alike for every event whatever the
// program shows, so a seed replays the same input up to the program's timing. A run ends at its
// first failure.
//
// Nothing sent may change a file outside the test's folder. The program's folders, HOME included,
// are in it and the opener launches nothing. While a dialog of the program is open (Upload File's
// file dialog can make, rename and delete files anywhere; a question box) only Escape is sent. A
// click lands only on the panel, its sheets and menus, the side button or the bare desktop. There
// is no right click, no Delete and no Ctrl+Q.
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/json.h"
#include "testing/fake_opener.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr unsigned kDefaultSeed = 1208;
// With the program's start and the checks, the case takes under a minute in the suite.
constexpr int kDefaultSeconds = 45;
constexpr int kEventsPerCheck = 20;
constexpr int kMaxPauseMs = 300;
// How long the panel may take to slide in or out, and what goes with it to go, on a busy machine.
constexpr int kShowMs = 10000;
constexpr int kSettleMs = 3000;
constexpr auto kStill = 300ms;
// The Escapes that close any dialog of the program.
constexpr int kTries = 10;

// What a person presses, as xdotool names it, and how often, against one another. "letter",
// "paste", "click", "button" and "side button" are drawn further.
constexpr std::pair<const char*, int> kInputs[] = {
    {"letter", 24}, {"Return", 6},    {"Escape", 4}, {"Tab", 3},       {"Up", 2},
    {"Down", 2},    {"Left", 1},      {"Right", 1},  {"BackSpace", 4}, {"ctrl+k", 2},
    {"ctrl+t", 2},  {"ctrl+n", 2},    {"ctrl+f", 2}, {"ctrl+r", 2},    {"ctrl+comma", 1},
    {"paste", 4},   {"alt+space", 6}, {"click", 12}, {"button", 6},    {"side button", 3},
};
// Where the panel's buttons stand, from the corner of its frame they keep to: under the messages
// the model badge, the topics, the trash, the wide view and the pin; the paperclip beside the
// prompt; the gear and the plus under it; the side list's switch at the top. People aim at them,
// where a click anywhere in the frame mostly lands on text.
struct Spot {
  Qt::Corner corner;
  QPoint offset;
};
constexpr Spot kButtons[] = {
    {Qt::BottomLeftCorner, {50, -120}},  {Qt::BottomLeftCorner, {103, -120}},
    {Qt::BottomLeftCorner, {130, -120}}, {Qt::BottomLeftCorner, {158, -120}},
    {Qt::BottomLeftCorner, {186, -120}}, {Qt::BottomRightCorner, {-228, -68}},
    {Qt::BottomLeftCorner, {34, -30}},   {Qt::BottomLeftCorner, {75, -30}},
    {Qt::TopRightCorner, {-235, 25}},
};
// A paste is one of these; the longest passes the prompt's 100 lines and becomes an attachment.
const QString kPastes[] = {QStringLiteral("pasted words"), QStringLiteral("two\nlines"),
                           QStringLiteral("h\u00e9llo w\u00f6rld \U0001F44B"),
                           QStringLiteral("line\n").repeated(150)};

int numberFromEnvironment(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

// The program's windows as the rules above and the checks tell them apart.
enum class Role {
  panel,
  sideButton,
  trayIcon,
  // The panel's sheets, lists, menus and popups, titled with the program's name.
  sheet,
  tooltip,
  // A window that stands for another (WM_TRANSIENT_FOR) as a dialog: the file dialog, a question.
  dialog,
  // A window of its own that stays without the panel: the settings window, a detached answer.
  ownWindow,
};

const char* nameOf(Role role) {
  constexpr const char* kNames[] = {"panel",   "side button", "tray icon", "sheet",
                                    "tooltip", "dialog",      "window"};
  return kNames[static_cast<int>(role)];
}

struct Shown {
  QString id;
  // The child of the root that holds it (its frame, for a window the window manager decorates).
  QString top;
  QString transientFor;
  Role role = Role::ownWindow;
  QString title;
};

Shown shownOf(const QString& window) {
  Shown shown{window, testing::topLevelOf(window), testing::transientFor(window), Role::ownWindow,
              testing::windowTitle(window)};
  if (testing::hasWindowType(window, "_NET_WM_WINDOW_TYPE_TOOLTIP")) {
    shown.role = Role::tooltip;
  } else if (!shown.transientFor.isEmpty() &&
             testing::hasWindowType(window, "_NET_WM_WINDOW_TYPE_DIALOG")) {
    shown.role = Role::dialog;
  } else if (shown.title == u"Tessra Button") {
    shown.role = Role::sideButton;
  } else if (shown.title == u"Tessra") {
    shown.role = Role::sheet;
  }
  return shown;
}

std::string label(const Shown& window) {
  return std::string(nameOf(window.role)) + " \"" + window.title.toStdString() + "\"";
}

// The program's mapped windows and the keyboard's window, read at one moment.
struct Scene {
  std::vector<Shown> windows;
  QString focus;

  const Shown* find(Role role) const {
    for (const Shown& window : windows)
      if (window.role == role) return &window;
    return nullptr;
  }
  bool panelShown() const { return find(Role::panel) != nullptr; }
  const Shown* dialog() const { return find(Role::dialog); }
  const Shown* holding(const QString& window) const {
    if (window.isEmpty()) return nullptr;
    for (const Shown& shown : windows)
      if (shown.id == window || shown.top == window) return &shown;
    return nullptr;
  }
  bool ownWindowHasKeyboard() const {
    const Shown* focused = holding(focus);
    return focused && focused->role == Role::ownWindow;
  }
  // What is on screen of the panel while it is hidden: what stays by itself or with a window
  // that stays (a question of the settings window) is not the panel's.
  std::string leftovers() const {
    std::string left;
    for (const Shown& window : windows) {
      const bool stays = window.role == Role::sideButton || window.role == Role::trayIcon ||
                         window.role == Role::tooltip || window.role == Role::ownWindow;
      const Shown* owner = holding(window.transientFor);
      if (stays || (window.role == Role::dialog && owner && owner->role == Role::ownWindow))
        continue;
      const QRect frame = testing::windowFrame(window.id);
      left += (left.empty() ? "" : ", ") + label(window) + " " + std::to_string(frame.width()) +
              "x" + std::to_string(frame.height()) + "+" + std::to_string(frame.x()) + "+" +
              std::to_string(frame.y());
    }
    return left;
  }
};

class RandomInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-random-input", UserSettings::kOpenAiKeyItem).has_value());
    m_server.route("POST", "/v1/chat/completions",
                   chat_window_test::streamedAnswer({"Sure", ", here is", " an answer."}, 40ms));
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    m_tessra.setEnvironment(QStringLiteral("HOME"), m_home.path().string());
    // Two conversations, so that the lists have rows to pick.
    fs::create_directories(m_tessra.dataFolder());
    json list = {{"conversations", json::array()}, {"latestSessionID", "notes"}};
    for (const char* id : {"notes", "plans"}) {
      list["conversations"].push_back({{"id", id}, {"name", id}});
      std::ofstream(m_tessra.dataFolder() / (std::string(id) + ".json")) << json{
          {"id", id},
          {"name", id},
          {"messages", json::array({{{"id", std::string(id) + "1"},
                                     {"type", "message"},
                                     {"question", "How do I sort my notes?"},
                                     {"shortQuestion", "How do I sort my notes?"},
                                     {"answer", "By date, then by topic."},
                                     {"finished", true},
                                     {"endContext", false}}})}}.dump();
    }
    std::ofstream(m_tessra.dataFolder() / "conversations.json") << list.dump();
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kShowMs * 2);
    m_panel = testing::focusedWindow();
    // A tray that hosts items over D-Bus draws the icon itself, in no window of the program's.
    if (!testing::TestDesktop::current().hasDBusTray()) {
      ASSERT_EVENTUALLY(!m_tessra.trayIcon().isEmpty(), kShowMs);
    }
    m_trayIcon = m_tessra.trayIcon();
    m_frame = testing::windowFrame(m_panel);
  }

  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  Scene scene() const {
    Scene seen;
    seen.focus = testing::focusedWindow();
    for (const QString& id : m_tessra.windows()) {
      Shown shown = shownOf(id);
      if (shown.id == m_panel) shown.role = Role::panel;
      if (shown.id == m_trayIcon) shown.role = Role::trayIcon;
      seen.windows.push_back(shown);
    }
    return seen;
  }

  // Waits up to `ms` for `condition` of what is on screen, or for the program's end.
  template <typename Condition>
  bool waitFor(Condition condition, int ms) const {
    return QTest::qWaitFor([&] { return !m_tessra.isRunning() || condition(scene()); }, ms) &&
           m_tessra.isRunning();
  }

  void log(int index, const std::string& what) {
    char time[32];
    std::snprintf(
        time, sizeof time, " +%.3fs ",
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count());
    const std::string line = "random input #" + std::to_string(index) + time + what + "\n";
    std::fputs(line.c_str(), stderr);
    m_recent.push_back(line);
    if (m_recent.size() > 8) m_recent.pop_front();
  }

  std::string recentEvents() const {
    std::string lines;
    for (const std::string& line : m_recent) lines += "  " + line;
    return lines;
  }

  // Fails the run at event `index`, with what replays it; the run stops there.
  void fault(int index, const std::string& kind, const std::string& detail) {
    log(index, "FAULT " + kind + ": " + detail);
    m_failed = true;
    ADD_FAILURE() << "seed " << m_seed << ", event #" << index << ": " << kind << ": " << detail
                  << "\nthe events up to it:\n"
                  << recentEvents() << "replay: TESSRA_RANDOM_INPUT_SEED=" << m_seed
                  << " TESSRA_RANDOM_INPUT_EVENTS=" << index + 1;
  }

  void press(const QString& keys) { testing::xdotool({QStringLiteral("key"), keys}); }

  // Whatever of the panel is on screen while it is hidden must go with it.
  void expectNothingLeft(int index) {
    if (waitFor([](const Scene& now) { return now.panelShown() || now.leftovers().empty(); },
                kSettleMs))
      return;
    if (!m_tessra.isRunning()) return;
    fault(index, "left on screen while the panel is hidden", scene().leftovers());
  }

  // Waits until the panel has stood still, shown or hidden, for kStillMs: a check begun while
  // it slides would take the end of the slide for the shortcut's answer.
  void settle() const {
    std::optional<QRect> last;
    auto since = std::chrono::steady_clock::now();
    (void)QTest::qWaitFor(
        [&] {
          const QRect frame = scene().panelShown() ? testing::windowFrame(m_panel) : QRect();
          const auto now = std::chrono::steady_clock::now();
          if (frame != last) {
            last = frame;
            since = now;
          }
          return !m_tessra.isRunning() || now - since >= kStill;
        },
        kShowMs);
  }

  // Alt+Space hides the panel and shows it again, from whatever the input left open but a dialog
  // (closed with Escape) or a shortcut being recorded in the settings window (ended with Escape).
  void checkTheGlobalShortcut(int index) {
    for (int escapes = 0;
         escapes < kTries && (scene().dialog() || (escapes == 0 && scene().ownWindowHasKeyboard()));
         ++escapes) {
      log(index, "check: Escape");
      press(QStringLiteral("Escape"));
      (void)waitFor([](const Scene& now) { return !now.dialog(); }, 1000);
    }
    if (const Shown* dialog = scene().dialog())
      return fault(index, "Escape does not close a dialog", dialog->title.toStdString());
    std::vector<bool> steps = {false, true};
    if (!scene().panelShown()) steps.insert(steps.begin(), true);
    for (const bool shown : steps) {
      settle();
      log(index, std::string("check: alt+space to ") + (shown ? "show" : "hide"));
      press(QStringLiteral("alt+space"));
      if (!waitFor([&](const Scene& now) { return now.panelShown() == shown; }, kShowMs)) {
        if (!m_tessra.isRunning()) return;
        return fault(
            index,
            shown ? "Alt+Space does not show the panel" : "Alt+Space does not hide the panel",
            "what is shown: " + describe(scene()));
      }
      if (!shown) expectNothingLeft(index);
      if (m_failed) return;
    }
  }

  static std::string describe(const Scene& scene) {
    std::string text;
    for (const Shown& window : scene.windows)
      text += (text.empty() ? "" : ", ") + label(window) +
              (scene.holding(scene.focus) == &window ? " (keyboard)" : "");
    return text;
  }

  // One event of the run: the random numbers are drawn before the program is looked at.
  void sendEvent(int index) {
    std::vector<int> weights;
    for (const auto& input : kInputs) weights.push_back(input.second);
    const std::string drawn =
        kInputs[std::discrete_distribution<int>(weights.begin(), weights.end())(m_random)].first;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double a = unit(m_random);
    const double b = unit(m_random);
    const int pauseMs = std::uniform_int_distribution<int>(0, kMaxPauseMs)(m_random);

    Scene now = scene();
    if (!now.panelShown()) {
      expectNothingLeft(index);
      now = scene();
    }
    if (now.panelShown()) m_frame = testing::windowFrame(m_panel);
    std::string what = drawn;
    if (const Shown* dialog = now.dialog()) {
      what =
          "Escape (for " + drawn + ": the dialog \"" + dialog->title.toStdString() + "\" is open)";
      press(QStringLiteral("Escape"));
    } else if (drawn == "click" || drawn == "button" || drawn == "side button") {
      what = drawn + click(pointFor(now, drawn, a, b));
    } else if (now.ownWindowHasKeyboard() &&
               (drawn == "BackSpace" || drawn.starts_with("ctrl+") || drawn == "paste")) {
      // The settings window's shortcut field would take them for the global shortcut, which the
      // checks need.
      what = "alt+space (for " + drawn + ": \"" + now.holding(now.focus)->title.toStdString() +
             "\" has the keyboard)";
      press(QStringLiteral("alt+space"));
    } else if (drawn == "letter") {
      what = std::string(1, static_cast<char>('a' + static_cast<int>(a * 26)));
      press(QString::fromStdString(what));
    } else if (drawn == "paste") {
      if (b < 0.5) {
        const QString& text = kPastes[static_cast<int>(a * std::size(kPastes))];
        QGuiApplication::clipboard()->setText(text);
        what = "ctrl+v of " + std::to_string(text.size()) +
               " characters: " + text.left(20).replace(u'\n', u'|').toStdString();
      } else {
        what = "ctrl+v of the clipboard as it is";
      }
      press(QStringLiteral("ctrl+v"));
    } else {
      press(QString::fromStdString(drawn));
    }
    log(index, what);
    (void)QTest::qWaitFor([&] { return !m_tessra.isRunning(); }, pauseMs);
  }

  // Where a click drawn as (a, b) lands: in the panel's frame (where it was last shown), near one
  // of its buttons, or on the side button (in the frame while there is none).
  QPoint pointFor(const Scene& now, const std::string& drawn, double a, double b) const {
    if (drawn == "button") {
      const Spot& spot = kButtons[static_cast<std::size_t>(a * std::size(kButtons))];
      const QPoint corner = spot.corner == Qt::TopRightCorner      ? m_frame.topRight()
                            : spot.corner == Qt::BottomRightCorner ? m_frame.bottomRight()
                                                                   : m_frame.bottomLeft();
      return corner + spot.offset + QPoint(static_cast<int>(b * 9) - 4, 0);
    }
    QRect area = m_frame;
    if (const Shown* button = now.find(Role::sideButton); drawn == "side button" && button)
      area = testing::windowFrame(button->id);
    return {area.x() + static_cast<int>(a * area.width()),
            area.y() + static_cast<int>(b * area.height())};
  }

  // A left click where a person's click may land: on the program's panel, its sheets and menus, the
  // side button or the bare desktop.
  std::string click(QPoint at) {
    testing::xdotool(
        {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    const QString under = testing::topLevelUnderPointer();
    const Scene there = scene();
    const Shown* target = there.holding(under);
    const std::string where = " at " + std::to_string(at.x()) + "," + std::to_string(at.y());
    if (!under.isEmpty() && (!target || target->role == Role::trayIcon ||
                             target->role == Role::dialog || target->role == Role::ownWindow))
      return where +
             " not made: " + (target ? std::string(nameOf(target->role)) : "another program") +
             " there";
    testing::xdotool({QStringLiteral("click"), QStringLiteral("1")});
    return where + " on " + (target ? nameOf(target->role) : "the desktop");
  }

  // Every JSON file the program keeps still parses, and the list names sessions that do.
  void expectStoredFilesRead() {
    for (const fs::path& folder : {m_tessra.dataFolder(), m_tessra.configFolder()}) {
      for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".unreadable-"), std::string::npos)
            << "seed " << m_seed << ": the program found its own file unreadable: " << name;
        if (!entry.is_regular_file() || entry.path().extension() != ".json") continue;
        std::ifstream file(entry.path());
        EXPECT_FALSE(json::parse(file, nullptr, false).is_discarded())
            << "seed " << m_seed << ": " << entry.path() << " does not parse";
      }
    }
    std::ifstream listFile(m_tessra.dataFolder() / "conversations.json");
    const json list = json::parse(listFile, nullptr, false);
    ASSERT_TRUE(list.is_object() && list["conversations"].is_array()) << "seed " << m_seed;
    for (const json& conversation : list["conversations"]) {
      // A conversation without a file is an empty one, not yet saved.
      const fs::path session =
          m_tessra.dataFolder() / (conversation["id"].get<std::string>() + ".json");
      if (!fs::exists(session)) continue;
      std::ifstream file(session);
      const json read = json::parse(file, nullptr, false);
      EXPECT_TRUE(read.is_object() && read["messages"].is_array())
          << "seed " << m_seed << ": the session " << session << " of the list does not read";
    }
  }

  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::TempDir m_home;
  // Before the program, so that it inherits the opener's PATH: nothing it opens is launched.
  testing::FakeOpener m_opener;
  testing::HttpServer m_server;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  QString m_panel;
  QString m_trayIcon;
  QRect m_frame;
  const unsigned m_seed =
      static_cast<unsigned>(numberFromEnvironment("TESSRA_RANDOM_INPUT_SEED", kDefaultSeed));
  std::mt19937 m_random{m_seed};
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  std::deque<std::string> m_recent;
  bool m_failed = false;
};

TEST_F(RandomInput, KeepsTheProgramWhole) {
  const auto duration =
      std::chrono::seconds(numberFromEnvironment("TESSRA_RANDOM_INPUT_SECONDS", kDefaultSeconds));
  const int events = numberFromEnvironment("TESSRA_RANDOM_INPUT_EVENTS", -1);
  std::fprintf(stderr, "random input: seed %u, %lld s, events logged below as \"random input #\"\n",
               m_seed, static_cast<long long>(duration.count()));
  m_start = std::chrono::steady_clock::now();
  int index = 0;
  for (; std::chrono::steady_clock::now() - m_start < duration && index != events && !m_failed;
       ++index) {
    sendEvent(index);
    if (index % kEventsPerCheck == kEventsPerCheck - 1) checkTheGlobalShortcut(index);
    if (!m_tessra.isRunning()) {
      const int status = m_tessra.waitForExit();
      FAIL() << "seed " << m_seed << ", event #" << index << ": the program ended, status "
             << status << ", signal " << m_tessra.crashSignal() << "; the events up to it:\n"
             << recentEvents() << m_tessra.crashReport().toStdString();
    }
  }
  if (m_failed) return;
  checkTheGlobalShortcut(index);
  ASSERT_TRUE(m_tessra.isRunning()) << "seed " << m_seed << ": the program ended at the check";
  expectStoredFilesRead();
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0) << "seed " << m_seed;
}

}  // namespace
}  // namespace tessra
