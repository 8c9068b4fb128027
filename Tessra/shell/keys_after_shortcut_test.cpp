// Keys typed right after the global shortcut, as people type into a launcher: a terminal has the
// keyboard, and Alt+Space comes with a question at 20 ms a key and Return at its end. The panel
// takes the keyboard only a good while later, yet the question reaches the service whole and in
// order, as typed, and the terminal reads none of it.
//
// And the other way round, keys typed right after the panel hides, as people go back to their
// terminal: Escape or Alt+Space, then a command at 20 ms a key and Return. The panel slides out
// for a good while after, yet the terminal reads every key in order, and the panel none; so it
// does after a click back into it while the panel stays pinned, and so does the answer's own
// window the panel opens.
//
// And keys typed while a popup of the desktop has the keyboard: the shortcut's grab closes it, and
// the window manager gives the keyboard to the next window a moment after the panel took it; the
// panel holds it all the same, while a click elsewhere still sends it where the user clicked, and
// so does the pointer moved onto another window where the focus follows the mouse, or a modifier
// alone on which the desktop opens its menu.
#include <signal.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>

#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/json.h"
#include "testing/fake_keyboard.h"
#include "testing/http_server.h"
#include "testing/panel_user.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr int kWaitMs = 20000;
// 30 keys, capitals and digits among them.
const std::string kQuestion = "What is 17 plus 25, Tessra? Ok";
// 30 keys, shifted ones among them.
const std::string kCommand = "ls -la ~/Music && echo Done 42";

// Ends the thread of a stand-in for another client, which returns on any message sent to its
// window, and closes its connection.
void endStandIn(xcb_connection_t* x, xcb_window_t window, std::thread& thread) {
  xcb_client_message_event_t end{};
  end.response_type = XCB_CLIENT_MESSAGE;
  end.window = window;
  end.format = 32;
  xcb_send_event(x, 0, window, 0, reinterpret_cast<const char*>(&end));
  xcb_flush(x);
  thread.join();
  xcb_disconnect(x);
}

// A popup that has the keyboard and closes as a grab takes it, and the window manager's answer to
// its close as it came on a loaded desktop: the keyboard goes to the next window (`next`) right
// after the panel took it. On a thread of its own, which answers while the test waits for xdotool.
class ClosingPopup {
 public:
  ClosingPopup(xcb_window_t panel, xcb_window_t next) : m_panel(panel), m_next(next) {
    const std::uint32_t focusChanges = XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_create_window(m_x, XCB_COPY_FROM_PARENT, m_window, m_root, 700, 300, 400, 300, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &focusChanges);
    xcb_change_window_attributes(m_x, m_panel, XCB_CW_EVENT_MASK, &focusChanges);
    xcb_map_window(m_x, m_window);
    xcb_flush(m_x);
  }
  ~ClosingPopup() { endStandIn(m_x, m_window, m_thread); }
  QString window() const { return QString::number(m_window); }

 private:
  void answer() {
    bool closed = false;
    while (xcb_generic_event_t* event = xcb_wait_for_event(m_x)) {
      const auto focus = *reinterpret_cast<const xcb_focus_in_event_t*>(event);
      std::free(event);
      const std::uint8_t type = focus.response_type & 0x7f;
      if (type == XCB_CLIENT_MESSAGE) return;
      if (focus.detail == XCB_NOTIFY_DETAIL_POINTER || m_next == XCB_WINDOW_NONE) continue;
      if (type == XCB_FOCUS_OUT && focus.event == m_window) {
        xcb_unmap_window(m_x, m_window);
        closed = true;
      } else if (closed && type == XCB_FOCUS_IN && focus.event == m_panel) {
        xcb_set_input_focus(m_x, XCB_INPUT_FOCUS_PARENT, std::exchange(m_next, XCB_WINDOW_NONE),
                            XCB_CURRENT_TIME);
      }
      xcb_flush(m_x);
    }
  }

  xcb_connection_t* m_x = xcb_connect(nullptr, nullptr);
  xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
  xcb_window_t m_window = xcb_generate_id(m_x);
  xcb_window_t m_panel;
  xcb_window_t m_next;
  std::thread m_thread{[this] { answer(); }};
};

// A desktop that opens its menu on a modifier pressed and released alone, which it reads from
// the raw keyboard without a grab: the menu (here the window `menu`) gets the keyboard.
class MenuOnAModifierAlone {
 public:
  MenuOnAModifierAlone(std::uint8_t modifier, xcb_window_t menu)
      : m_modifier(modifier), m_menu(menu) {
    struct {
      xcb_input_event_mask_t header;
      std::uint32_t bits;
    } keys{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    const auto* input = xcb_get_extension_data(m_x, &xcb_input_id);
    m_inputOpcode = input != nullptr ? input->major_opcode : 0;
    std::free(
        xcb_input_xi_query_version_reply(m_x, xcb_input_xi_query_version(m_x, 2, 2), nullptr));
    std::free(
        xcb_request_check(m_x, xcb_input_xi_select_events_checked(m_x, m_root, 1, &keys.header)));
    // Never mapped: it only takes the message that ends the thread.
    xcb_create_window(m_x, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_flush(m_x);
    m_thread = std::thread([this] { answer(); });
  }
  ~MenuOnAModifierAlone() { endStandIn(m_x, m_window, m_thread); }
  bool listens() const { return m_inputOpcode != 0; }

 private:
  void answer() {
    bool alone = false;
    while (xcb_generic_event_t* event = xcb_wait_for_event(m_x)) {
      const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
      if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) return;
      const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
      if ((event->response_type & 0x7f) != XCB_GE_GENERIC || raw->extension != m_inputOpcode)
        continue;
      if (raw->event_type == XCB_INPUT_RAW_KEY_PRESS) {
        alone = raw->detail == m_modifier;
      } else if (raw->event_type == XCB_INPUT_RAW_KEY_RELEASE && alone &&
                 raw->detail == m_modifier) {
        alone = false;
        xcb_set_input_focus(m_x, XCB_INPUT_FOCUS_PARENT, m_menu, XCB_CURRENT_TIME);
        xcb_flush(m_x);
      }
    }
  }

  xcb_connection_t* m_x = xcb_connect(nullptr, nullptr);
  xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
  xcb_window_t m_window = xcb_generate_id(m_x);
  std::uint8_t m_inputOpcode = 0;
  std::uint8_t m_modifier;
  xcb_window_t m_menu;
  std::thread m_thread;
};

class KeysAfterTheShortcut : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-keys-at-once", UserSettings::kOpenAiKeyItem).has_value());
    m_server.route("POST", "/v1/chat/completions",
                   testing::ScriptedResponse::streamed({{"data: [DONE]\n\n"}}));
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    m_tessra.start();
    ASSERT_EVENTUALLY(
        m_tessra.hasKeyboard() && fs::exists(m_tessra.dataFolder() / "conversations.json"),
        kWaitMs);

    m_terminal.emplace(m_home.path() / "terminal-read");
    ASSERT_FALSE(m_terminal->window().isEmpty());
  }

  void TearDown() override {
    if (m_tessra.isRunning()) {
      EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
    }
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  std::string readByTerminal() const { return m_terminal->read(); }

  // The user clicks into the terminal (which closes the panel) and types `keys` from there.
  void typeFromTheTerminal(const QStringList& keys) {
    ASSERT_TRUE(m_terminal->clickInto());
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
    testing::xdotool(keys);
  }

  // The text of the service's `index`th question.
  std::string question(std::size_t index) const {
    const auto requests = m_server.requests();
    if (index >= requests.size()) return "none; the terminal read \"" + readByTerminal() + '"';
    return json::parse(requests[index].body)["messages"].back()["content"];
  }

  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::TempDir m_home;
  testing::HttpServer m_server;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  // Started once the program runs, as the user's terminal is.
  std::optional<testing::RecordingTerminal> m_terminal;
};

TEST_F(KeysAfterTheShortcut, ReachThePromptInOrderAndNoneTheTerminal) {
  ASSERT_EQ(kQuestion.size(), 30u);
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal(
      {"key", "alt+space", "type", "--delay", "20", QString::fromStdString(kQuestion)}));
  testing::pressKeys("Return");
  ASSERT_EVENTUALLY_EQ(question(0), kQuestion, kWaitMs);
  // Return among the keys held for the panel sends what was typed before it.
  ASSERT_NO_FATAL_FAILURE(
      typeFromTheTerminal({"key", "--delay", "20", "alt+space", "h", "i", "Return"}));
  ASSERT_EVENTUALLY_EQ(question(1), "hi", kWaitMs);
  EXPECT_EQ(readByTerminal(), "");
}

TEST_F(KeysAfterTheShortcut, AfterTheHideReachTheTerminalInOrderAndNoneThePanel) {
  ASSERT_EQ(kCommand.size(), 30u);
  std::string typed;
  std::size_t asked = 0;
  for (const QString hidingKey : {"Escape", "alt+space"}) {
    SCOPED_TRACE(hidingKey.toStdString());
    ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && m_tessra.hasKeyboard(), kWaitMs);
    // A carriage return types Return.
    testing::xdotool(
        {"key", hidingKey, "type", "--delay", "20", QString::fromStdString(kCommand + '\r')});
    typed += kCommand + '\r';
    ASSERT_EVENTUALLY_EQ(readByTerminal(), typed, kWaitMs);
    EXPECT_EQ(m_server.requests().size(), asked);
    // Nothing waits in the prompt for the next show.
    ASSERT_NO_FATAL_FAILURE(
        typeFromTheTerminal({"key", "--delay", "20", "alt+space", "o", "k", "Return"}));
    ASSERT_EVENTUALLY_EQ(question(asked), "ok", kWaitMs);
    ++asked;
  }
  EXPECT_EQ(readByTerminal(), typed);
}

TEST_F(KeysAfterTheShortcut, AfterAClickBackIntoTheTerminalReachItWholeAndNoneThePanel) {
  const QRect frame = testing::windowFrame(m_terminal->window());
  std::string typed;
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && m_tessra.hasKeyboard(), kWaitMs);
    // The user goes back to the terminal 0 to 450 ms after the panel took the keyboard, while it
    // still slides in or a moment after, and types at once.
    const QString word = QStringLiteral("word%1\r").arg(i);
    testing::xdotool({"sleep", QString::number(i * 0.05), "mousemove",
                      QString::number(frame.left() + 40), QString::number(frame.center().y()),
                      "click", "1", "type", "--delay", "30", word});
    typed += word.toStdString();
    ASSERT_EVENTUALLY_EQ(readByTerminal(), typed, kWaitMs);
    // Gone before the next click, which a busy program would otherwise read as made on the next
    // panel.
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
  }
  EXPECT_EQ(m_server.requests().size(), 0u);
  // Nothing waits in the prompt for the next show.
  ASSERT_NO_FATAL_FAILURE(
      typeFromTheTerminal({"key", "--delay", "20", "alt+space", "o", "k", "Return"}));
  ASSERT_EVENTUALLY_EQ(question(0), "ok", kWaitMs);
}

// Pinned, the panel stays while the user clicks back into the terminal and types there at once,
// also where the window manager holds that the terminal never lost the keyboard; a click on the
// prompt brings the keyboard back to the panel.
TEST_F(KeysAfterTheShortcut, WhileThePanelIsPinnedAClickBackIntoTheTerminalGivesItTheKeys) {
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  testing::xdotool({"type", "--delay", "20", "/pin\r"});
  const QRect terminal = testing::windowFrame(m_terminal->window());
  const QRect panel = testing::windowFrame(m_tessra.panel());
  const QPoint prompt(panel.left() + 250, panel.bottom() - 78);
  std::string typed;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const QString word = QStringLiteral("word%1\r").arg(i);
    testing::xdotool({"mousemove", QString::number(terminal.left() + 40),
                      QString::number(terminal.center().y()), "click", "1", "type", "--delay", "30",
                      word});
    typed += word.toStdString();
    ASSERT_EVENTUALLY_EQ(readByTerminal(), typed, kWaitMs);
    EXPECT_EQ(testing::windowFrame(m_tessra.panel()), panel) << "the pinned panel went";
    testing::xdotool(testing::clickThen(prompt));
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  }
  testing::xdotool({"type", "--delay", "20", "ok\r"});
  ASSERT_EVENTUALLY_EQ(question(0), "ok", kWaitMs);
  EXPECT_EQ(m_server.requests().size(), 1u);
}

// A click on the tray icon hides the panel, pinned or not, as Alt+Space does: a pin keeps it open
// against clicks elsewhere, never against its icon. The keyboard goes back to the terminal, which
// reads what the user types there a moment after the click.
TEST_F(KeysAfterTheShortcut, AClickOnTheTrayIconHidesThePanelPinnedOrNot) {
  std::string typed;
  for (const bool pinned : {false, true}) {
    SCOPED_TRACE(pinned ? "pinned" : "not pinned");
    ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && m_tessra.hasKeyboard(), kWaitMs);
    if (pinned) {
      testing::xdotool({"type", "--delay", "20", "/pin\r"});
      // Pinned for sure: a click back into the terminal leaves the panel, and a click on its
      // prompt gives it the keyboard again.
      const QRect panel = testing::windowFrame(m_tessra.panel());
      ASSERT_TRUE(m_terminal->clickInto());
      testing::xdotool({"type", "--delay", "30", "pinned\r"});
      typed += "pinned\r";
      ASSERT_EVENTUALLY_EQ(readByTerminal(), typed, kWaitMs);
      ASSERT_FALSE(m_tessra.panel().isEmpty()) << "the pin did not hold";
      testing::xdotool(testing::clickThen({panel.left() + 250, panel.bottom() - 78}));
      ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
    }
    QRect icon;
    ASSERT_EVENTUALLY(!(icon = m_tessra.trayIconFrame()).isEmpty(), kWaitMs);
    const QString word = QStringLiteral("word%1\r").arg(pinned);
    testing::xdotool(testing::clickThen(icon.center()) +
                     QStringList{"sleep", "0.3", "type", "--delay", "30", word});
    typed += word.toStdString();
    ASSERT_EVENTUALLY_EQ(readByTerminal(), typed, kWaitMs);
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs) << "the panel stayed";
  }
  EXPECT_EQ(m_server.requests().size(), 0u);
}

// A window opened from the panel, the answer's own, gets the keys typed next, pinned or not, also
// where the window manager stamps its focus with the time of the click on the terminal, before
// the program last moved the keyboard itself (i3); so does a click into it after the prompt had
// them. None of them reaches the prompt or the terminal.
TEST_F(KeysAfterTheShortcut, AWindowOpenedFromThePanelGetsTheKeys) {
  // A returning user's conversation, whose one message the user opens.
  ASSERT_EQ(m_tessra.quitWith(SIGTERM), 0);
  testing::writeReturningUsersConversations(m_tessra.dataFolder());
  m_tessra.start();
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  // At the top left, where the answer's window, placed in the middle, leaves it to be clicked.
  testing::xdotool({"windowmove", m_terminal->window(), "0", "0"});
  const QString title = QStringLiteral("How do I sort my notes?");
  const QRect panel = testing::windowFrame(m_tessra.panel());
  const QPoint prompt(panel.left() + 250, panel.bottom() - 78);
  const QPoint openInWindow = panel.topLeft() + testing::kOpenInWindowFromTopLeft;
  // Until the page has drawn the message (its question light on the dark page), the button is not
  // there to be clicked.
  ASSERT_EVENTUALLY(
      [&] {
        const QImage question = QGuiApplication::primaryScreen()
                                    ->grabWindow(0, panel.left() + 20, panel.top() + 80, 152, 30)
                                    .toImage()
                                    .convertToFormat(QImage::Format_Grayscale8);
        return std::ranges::any_of(std::span(question.constBits(), question.sizeInBytes()),
                                   [](uchar gray) { return gray > 180; });
      }(),
      kWaitMs);
  const auto hasTheKeyboard = [](const QString& window) {
    return testing::topLevelOf(testing::focusedWindow()) == testing::topLevelOf(window);
  };
  // Opens the message in a window of its own, which gets the keyboard, and types into it.
  const auto openAndType = [&](QString& opened) {
    const QStringList before = m_tessra.windows(title);
    testing::xdotool(testing::clickThen(openInWindow));
    ASSERT_EVENTUALLY(
        [&] {
          for (const QString& window : m_tessra.windows(title))
            if (!before.contains(window)) opened = window;
          return !opened.isEmpty();
        }(),
        kWaitMs);
    ASSERT_EVENTUALLY(hasTheKeyboard(opened), kWaitMs);
    testing::xdotool({"type", "--delay", "20", "word"});
  };
  // Not pinned, the panel goes as the window opens.
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
  ASSERT_FALSE(testing::stillPanelHeader(panel).isNull());
  QString opened;
  ASSERT_NO_FATAL_FAILURE(openAndType(opened));
  // Pinned, it stays, and gets the keys again at a click on the prompt, as the window does at a
  // click into it.
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  testing::xdotool({"type", "--delay", "20", "/pin\r"});
  ASSERT_TRUE(m_terminal->clickInto());
  QString pinnedOver;
  ASSERT_NO_FATAL_FAILURE(openAndType(pinnedOver));
  testing::xdotool(testing::clickThen(prompt));
  ASSERT_EVENTUALLY(hasTheKeyboard(m_tessra.panel()), kWaitMs);
  const QRect frame = testing::windowFrame(pinnedOver);
  testing::xdotool(testing::clickThen(QPoint(frame.left() + 40, frame.center().y())));
  ASSERT_EVENTUALLY(hasTheKeyboard(pinnedOver), kWaitMs);
  testing::xdotool({"type", "--delay", "20", "word"});
  testing::xdotool(testing::clickThen(prompt));
  ASSERT_EVENTUALLY(hasTheKeyboard(m_tessra.panel()), kWaitMs);
  testing::xdotool({"type", "--delay", "20", "/pin\r"});
  ASSERT_NO_FATAL_FAILURE(
      typeFromTheTerminal({"key", "--delay", "20", "alt+space", "o", "k", "Return"}));
  ASSERT_EVENTUALLY_EQ(question(0), "ok", kWaitMs);
  EXPECT_EQ(m_server.requests().size(), 1u);
  EXPECT_EQ(readByTerminal(), "");
}

TEST_F(KeysAfterTheShortcut, MakeTheAccentsOfDeadKeys) {
  // The apostrophe key is a dead key on this layout: with "e" after it, it types "é".
  ASSERT_EQ(QProcess::execute("setxkbmap", {"us", "-variant", "intl"}), 0);
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "--delay", "20", "alt+space", "dead_acute",
                                               "e", "t", "dead_acute", "e", "space", "c", "a", "f",
                                               "dead_acute", "e", "Return"}));
  ASSERT_EVENTUALLY_EQ(question(0), "été café", kWaitMs);
  EXPECT_EQ(readByTerminal(), "");
}

TEST_F(KeysAfterTheShortcut, ReachThePromptThoughTheWindowManagerHandsTheKeyboardOnAfterAPopup) {
  const QString panel = m_tessra.panel();
  ASSERT_FALSE(panel.isEmpty());
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(m_terminal->clickInto());
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
    ClosingPopup popup(panel.toUInt(), m_terminal->window().toUInt());
    ASSERT_EVENTUALLY(testing::focusedWindow() == popup.window(), kWaitMs);
    const QString word = QStringLiteral("word%1").arg(i);
    testing::xdotool({"key", "alt+space", "type", "--delay", "20", word});
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
    testing::xdotool({"type", "--delay", "20", "ok\r"});
    ASSERT_EVENTUALLY_EQ(question(i), word.toStdString() + "ok", kWaitMs);
  }
  EXPECT_EQ(readByTerminal(), "");
  // A click into the terminal right after the shortcut leaves the keyboard there.
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"type", "--delay", "20", "ok"}));
  ASSERT_EVENTUALLY_EQ(readByTerminal(), "ok", kWaitMs);
  // So do the window manager's switch keys (openbox's Alt+Tab goes to the one window there is).
  if (testing::TestDesktop::current().kind() != testing::TestDesktop::Kind::Openbox) return;
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  testing::pressKeys("alt+Tab");
  ASSERT_EVENTUALLY(!m_tessra.hasKeyboard(), kWaitMs);
  testing::typeText("ok");
  ASSERT_EVENTUALLY_EQ(readByTerminal(), "okok", kWaitMs);
}

// Right after the shortcut the user goes elsewhere without a click: the pointer onto another
// window where the focus follows the mouse, or the desktop's menu opened by its modifier alone.
// The keyboard goes there, and what is typed next reaches that window, never the prompt.
TEST_F(KeysAfterTheShortcut, GoWhereTheUserSendsTheKeyboardRightAfterTheShortcut) {
  auto& desktop = testing::TestDesktop::current();
  desktop.focusFollowsMouse();
  testing::RecordingTerminal other(m_home.path() / "other-read");
  ASSERT_FALSE(other.window().isEmpty());
  // Below the first, where a window manager that floats it may have put it over the first.
  const QRect first = testing::windowFrame(m_terminal->window());
  testing::xdotool({"windowmove", other.window(), QString::number(first.left()),
                    QString::number(first.bottom() + 40)});
  const auto otherHasTheKeyboard = [&] {
    return testing::topLevelOf(testing::focusedWindow()) == testing::topLevelOf(other.window());
  };
  testing::FakeKeyboard keyboard;
  MenuOnAModifierAlone menu(keyboard.keycode("LWIN"), other.window().toUInt());
  ASSERT_TRUE(menu.listens());
  std::string typed;
  for (const char* way : {"pointer", "super"}) {
    SCOPED_TRACE(way);
    ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
    // A moment after the panel shows, as a person who has seen it goes elsewhere: what is typed
    // before the program has taken in its keyboard, however slow it is, is held for the prompt.
    QStringList goElsewhere{"sleep", "0.3"};
    if (std::string_view(way) == "pointer") {
      const QRect frame = testing::windowFrame(other.window());
      const QPoint onto(frame.left() + 40, frame.center().y());
      ASSERT_FALSE(testing::windowFrame(m_tessra.panel()).contains(onto));
      goElsewhere += {"mousemove", QString::number(onto.x()), QString::number(onto.y())};
    } else {
      goElsewhere += {"key", "super"};
    }
    testing::xdotool(goElsewhere);
    ASSERT_EVENTUALLY(otherHasTheKeyboard(), kWaitMs);
    testing::xdotool({"type", "--delay", "20", "hello\r"});
    typed += "hello\r";
    ASSERT_EVENTUALLY_EQ(other.read(), typed, kWaitMs);
    EXPECT_TRUE(otherHasTheKeyboard());
  }
  EXPECT_TRUE(m_server.requests().empty()) << question(0);
  EXPECT_EQ(readByTerminal(), "");
}

}  // namespace
}  // namespace tessra
