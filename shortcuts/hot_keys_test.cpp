// Global shortcuts against the session's X server, pressed with real XTEST key events.
#include <gtest/gtest.h>

#include <poll.h>
#include <xcb/xcb.h>
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/foundation/queue.h"
#include "platform/ui/event_loop_queue.h"
#include "platform/ui/hot_keys.h"
#include "platform/ui/keyboard_focus.h"
#include "shortcuts/carbon_hot_keys.h"
#include "shortcuts/global_shortcuts.h"
#include "shortcuts/menu_item_shortcut.h"
#include "testing/fake_keyboard.h"
#include "testing/log_capture.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::shortcuts {
namespace {

using namespace std::chrono_literals;
using platform::HotKeys;
using testing::FakeKeyboard;

constexpr int kWait = 5000;

class GlobalHotKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::runMainQueueOnEventLoop();
    ASSERT_TRUE(HotKeys::shared().isConnected());
  }
  void TearDown() override { GlobalShortcuts::removeAllActionHandlers(); }

  // Counts the presses and releases of a name's shortcut.
  struct Counts {
    int down = 0;
    int up = 0;
  };
  std::shared_ptr<Counts> count(const Name& name) {
    auto counts = std::make_shared<Counts>();
    GlobalShortcuts::onKeyDown(name, [counts] { ++counts->down; });
    GlobalShortcuts::onKeyUp(name, [counts] { ++counts->up; });
    return counts;
  }

  // Presses and releases a combination, and waits until its release went through the server.
  void tapAndSettle(std::initializer_list<const char*> keys) {
    m_keyboard.tap(keys);
    QSignalSpy settled(&HotKeys::shared(), &HotKeys::released);
    settled.wait(300);
  }

  testing::TempDir m_config;
  testing::ScopedEnv m_configDir{"TESSRA_CONFIG_DIR", m_config.path().string()};
  FakeKeyboard m_keyboard;
};

TEST_F(GlobalHotKeys, AHeldShortcutFiresDownOnceAndUpOnceWhateverTheLocks) {
  const Name name("held", Shortcut(Key::space, Qt::AltModifier));
  const auto counts = count(name);
  const std::vector<const char*> locks{nullptr, "CAPS", "NMLK"};
  for (const char* lock : locks) {
    SCOPED_TRACE(lock ? lock : "no lock");
    if (lock) m_keyboard.tap({lock});
    *counts = {};
    m_keyboard.press({"LALT", "SPCE"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return counts->down == 1; }, kWait)) << "counts->down";
    // A check that nothing happens: held past the server's auto-repeat delay, the repeats must
    // not fire.
    QTest::qWait(700);
    m_keyboard.release({"SPCE", "LALT"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return counts->up == 1; }, kWait)) << "counts->up";
    EXPECT_EQ(counts->down, 1);
    if (lock) m_keyboard.tap({lock});
  }
}

// The key presses a window gets, as text, with "Alt+" before those typed with Alt.
class KeyLog final : public QObject {
 public:
  explicit KeyLog(QWidget* window) { window->installEventFilter(this); }
  QStringList typed;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!key->text().isEmpty())
      typed << (key->modifiers() & Qt::AltModifier ? "Alt+" : "") + key->text();
    return false;
  }
};

TEST_F(GlobalHotKeys, KeysHeldForAWindowReachItInOrderOnceItHasTheKeyboard) {
  QWidget window(nullptr, Qt::X11BypassWindowManagerHint);
  window.setGeometry(100, 100, 200, 100);
  window.winId();
  platform::KeyboardKeeper::of(window.windowHandle());
  const KeyLog log(&window);
  const Name name("holding", Shortcut(Key::space, Qt::AltModifier));
  GlobalShortcuts::onKeyDown(name, [&] {
    EXPECT_TRUE(HotKeys::shared().holdKeyboardFor(window.windowHandle()));
    // Shown a good while after the press, as the panel is.
    QTimer::singleShot(200, &window, &QWidget::show);
  });
  m_keyboard.press({"LALT", "SPCE"});
  m_keyboard.release({"SPCE"});
  // The shortcut's Alt, not let go yet, is no part of the letter; Alt pressed anew is.
  m_keyboard.tap({"AC01"});
  m_keyboard.release({"LALT"});
  m_keyboard.tap({"LFSH", "AC02"});
  m_keyboard.tap({"LALT", "AC03"});
  ASSERT_EVENTUALLY(window.isVisible() && !HotKeys::shared().isHoldingKeyboard(), kWait);
  m_keyboard.tap({"AC04"});
  ASSERT_EVENTUALLY_EQ(log.typed.join(' ').toStdString(), "a S Alt+d f", kWait);
}

// Another program, whose window has the keyboard.
class OtherProgram {
 public:
  OtherProgram() : m_connection(xcb_connect(nullptr, nullptr)) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const xcb_window_t window = xcb_generate_id(m_connection);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_KEY_PRESS};
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(m_connection, window);
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
  }
  ~OtherProgram() { xcb_disconnect(m_connection); }

  // Types the key again and again until the window gets it; false when it has not reached the
  // window `within`. Reads the window's events itself: the GUI thread may be stuck.
  bool getsKeyTyped(FakeKeyboard& keyboard, const char* key, std::chrono::milliseconds within) {
    const auto keycode = keyboard.keycode(key);
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < deadline) {
      keyboard.tap({key});
      pollfd socket{xcb_get_file_descriptor(m_connection), POLLIN, 0};
      (void)::poll(&socket, 1, 100);
      while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const bool typed = (event->response_type & 0x7f) == XCB_KEY_PRESS &&
                           reinterpret_cast<xcb_key_press_event_t*>(event)->detail == keycode;
        std::free(event);
        if (typed) return true;
      }
    }
    return false;
  }

 private:
  xcb_connection_t* m_connection;
};

TEST_F(GlobalHotKeys, WhileAHandlerOfThePressIsStuckTheKeyboardGoesOnSoonHeldOrNot) {
  OtherProgram other;
  QWidget neverShown(nullptr, Qt::X11BypassWindowManagerHint);
  neverShown.winId();
  const Name name("stuck", Shortcut(Key::space, Qt::AltModifier));
  std::vector<bool> reached;
  GlobalShortcuts::onKeyDown(name, [&] {
    // The second press holds the keys for a window that never shows.
    const bool holds = !reached.empty();
    if (holds) {
      EXPECT_TRUE(HotKeys::shared().holdKeyboardFor(neverShown.windowHandle()));
    }
    // The handler does not return until a key reaches the other program.
    reached.push_back(
        other.getsKeyTyped(m_keyboard, holds ? "AC02" : "AC01", HotKeys::kHoldLimit + 2s));
  });
  m_keyboard.tap({"LALT", "SPCE"});
  ASSERT_EVENTUALLY(reached.size() == 1, kWait);
  m_keyboard.tap({"LALT", "SPCE"});
  ASSERT_EVENTUALLY(reached.size() == 2, 2 * kWait);
  EXPECT_EQ(reached, (std::vector<bool>{true, true}));
}

TEST_F(GlobalHotKeys, RegistrationsAreNumberedAndARefusalConsumesANumber) {
  FakeKeyboard::ForeignGrab foreign(m_keyboard.keycode("FK09"),
                                    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT);
  const Shortcut taken(Key::f9, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  const Shortcut free1(Key::f10, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  const Shortcut free2(Key::f11, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  const std::int64_t before = CarbonHotKeys::hotKeyIdCounter();

  const Name first("numberedFirst", free1);
  EXPECT_EQ(CarbonHotKeys::hotKeyId(free1), before + 1);
  const Name refused("numberedRefused", taken);
  EXPECT_EQ(CarbonHotKeys::hotKeyId(taken), std::nullopt);
  EXPECT_FALSE(GlobalShortcuts::isRegistered(taken));
  EXPECT_TRUE(taken.isTakenBySystem());
  // Our own grab is not taken by anyone else.
  EXPECT_FALSE(free1.isTakenBySystem());
  const Name second("numberedSecond", free2);
  EXPECT_EQ(CarbonHotKeys::hotKeyId(free2), before + 3);
  if (before == 0) {
    EXPECT_EQ(CarbonHotKeys::hotKeyId(free1), 1);
  }
  GlobalShortcuts::disableShortcuts({first, second});
}

TEST_F(GlobalHotKeys, ARefusedShortcutIsTriedAgainWhenEnabled) {
  const Shortcut shortcut(Key::f8, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  std::shared_ptr<Counts> counts;
  {
    FakeKeyboard::ForeignGrab foreign(m_keyboard.keycode("FK08"),
                                      XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT);
    const Name name("retried", shortcut);
    counts = count(name);
    EXPECT_FALSE(GlobalShortcuts::isRegistered(shortcut));
  }
  GlobalShortcuts::setEnabled(false);
  GlobalShortcuts::setEnabled(true);
  EXPECT_TRUE(GlobalShortcuts::isRegistered(shortcut));
  m_keyboard.tap({"LCTL", "LALT", "LFSH", "FK08"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts->down == 1; }, kWait)) << "counts->down";
}

TEST_F(GlobalHotKeys, ARefusalIsLoggedOnceHoweverOftenItIsTriedAgain) {
  const Shortcut shortcut(Key::f7, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  const std::string line =
      "Global shortcut " + shortcut.description() + " is in use by another program";
  const auto logged = [&](const testing::LogCapture& log) {
    const auto lines = log.lines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.find(line) != std::string::npos; });
  };
  FakeKeyboard::ForeignGrab foreign(m_keyboard.keycode("FK07"),
                                    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT);
  testing::LogCapture log;
  const Name name("loggedOnce", shortcut);
  count(name);
  // Each closed menu and each switch back on tries the refused shortcut again.
  for (int i = 0; i < 3; ++i) {
    QMenu menu;
    menu.addAction("Item");
    menu.popup(QPoint(200, 200));
    ASSERT_TRUE(QTest::qWaitFor([&] { return GlobalShortcuts::isMenuOpen(); }, kWait));
    menu.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !GlobalShortcuts::isMenuOpen(); }, kWait));
    GlobalShortcuts::setEnabled(false);
    GlobalShortcuts::setEnabled(true);
  }
  EXPECT_FALSE(GlobalShortcuts::isRegistered(shortcut));
  EXPECT_EQ(logged(log), 1);
}

TEST_F(GlobalHotKeys, AKeymapChangeGrabsAgain) {
  const Name name("keymap", Shortcut(Key::k, Qt::ControlModifier | Qt::AltModifier));
  const auto counts = count(name);
  QSignalSpy changed(&HotKeys::shared(), &HotKeys::layoutChanged);
  ASSERT_EQ(QProcess::execute("setxkbmap", {"-layout", "fr"}), 0);
  ASSERT_TRUE(changed.wait(kWait));
  m_keyboard.tap({"LCTL", "LALT", "AC08"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts->down == 1; }, kWait)) << "counts->down";
  EXPECT_EQ(Shortcut(Key::a, Qt::AltModifier).description(), "Alt+Q");
  changed.clear();
  ASSERT_EQ(QProcess::execute("setxkbmap", {"-layout", "us"}), 0);
  ASSERT_TRUE(changed.wait(kWait));
  m_keyboard.tap({"LCTL", "LALT", "AC08"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts->down == 2; }, kWait)) << "counts->down";
}

TEST_F(GlobalHotKeys, AltAndSuperAreTheModifiersTheirKeysymsAreOn) {
  std::vector<std::string> fired;
  const Name alt("movedAlt", Shortcut(Key::space, Qt::AltModifier));
  const Name super("movedSuper", Shortcut(Key::space, Qt::MetaModifier));
  GlobalShortcuts::onKeyDown(alt, [&] { fired.push_back("Alt"); });
  GlobalShortcuts::onKeyDown(super, [&] { fired.push_back("Super"); });
  const auto changeKeyboard = [&](const char* program, const QStringList& arguments) {
    QSignalSpy changed(&HotKeys::shared(), &HotKeys::layoutChanged);
    return QProcess::execute(program, arguments) == 0 && changed.wait(kWait);
  };
  const QStringList usual{"-layout", "us", "-option", ""};
  auto restore = qScopeGuard([&] { (void)changeKeyboard("setxkbmap", usual); });
  struct Case {
    const char* program;
    QStringList arguments;
    std::vector<std::string> firedByAltKeyThenWindowsKey;
  };
  const Case cases[] = {
      // As on keyboards made for another system: the Alt key types Super, the Windows key Alt.
      {"setxkbmap", {"-layout", "us", "-option", "altwin:swap_alt_win"}, {"Super", "Alt"}},
      // The keys stay, their modifiers trade places: each grab moves to the other's.
      {"xmodmap",
       {"-e", "clear mod1", "-e", "clear mod4", "-e", "add mod1 = Super_L Super_R", "-e",
        "add mod4 = Alt_L Alt_R Meta_L"},
       {"Alt", "Super"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    ASSERT_TRUE(changeKeyboard(c.program, c.arguments));
    fired.clear();
    m_keyboard.tap({"LALT", "SPCE"});
    m_keyboard.tap({"LWIN", "SPCE"});
    ASSERT_EVENTUALLY(fired.size() == 2u, kWait);
    EXPECT_EQ(fired, c.firedByAltKeyThenWindowsKey);
    ASSERT_TRUE(changeKeyboard("setxkbmap", usual));
  }
  restore.dismiss();
}

TEST_F(GlobalHotKeys, WithAMenuOpenTheShortcutFiresAndOtherKeysReachTheMenu) {
  // With Alt, which a Qt menu takes for its own close: the shortcut acts at its first press.
  const Name name("menuOpen", Shortcut(Key::space, Qt::AltModifier | Qt::ShiftModifier));
  const auto counts = count(name);
  QMenu menu;
  QAction* firstAction = menu.addAction("First");
  QAction* secondAction = menu.addAction("Second");
  menu.popup(QPoint(200, 200));
  ASSERT_TRUE(QTest::qWaitFor([&] { return GlobalShortcuts::isMenuOpen(); }, kWait));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return QWidget::keyboardGrabber() == &menu || menu.isActiveWindow(); }, kWait));
  menu.setActiveAction(firstAction);
  // The menu holds the keyboard: nobody else can, and its keys stay its own.
  EXPECT_FALSE(HotKeys::shared().holdKeyboardFor(menu.windowHandle()));

  m_keyboard.tap({"LALT", "LFSH", "SPCE"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts->up == 1; }, kWait)) << "counts->up";
  EXPECT_EQ(counts->down, 1);
  EXPECT_TRUE(menu.isVisible());
  m_keyboard.tap({"DOWN"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu.activeAction() == secondAction; }, kWait))
      << "menu.activeAction()";

  m_keyboard.tap({"ESC"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !GlobalShortcuts::isMenuOpen(); }, kWait));
  m_keyboard.tap({"LALT", "LFSH", "SPCE"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts->down == 2; }, kWait)) << "counts->down";
}

TEST_F(GlobalHotKeys, WithAnotherPopupOpenTheShortcutFiresAndOtherKeysReachIt) {
  // A popup that is no menu (a preview beside its card) holds the keyboard just as well.
  const Name name("popupOpen", Shortcut(Key::space, Qt::AltModifier | Qt::ShiftModifier));
  const auto counts = count(name);
  QWidget popup(nullptr, Qt::Popup);
  auto* field = new QLineEdit(&popup);
  popup.setGeometry(200, 200, 200, 40);
  popup.show();
  field->setFocus();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return GlobalShortcuts::isMenuOpen() && QWidget::keyboardGrabber() == nullptr; },
      kWait));
  ASSERT_TRUE(QTest::qWaitFor([&] { return popup.isActiveWindow(); }, kWait));

  m_keyboard.tap({"LALT", "LFSH", "SPCE"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts->down == 1; }, kWait)) << "counts->down";
  m_keyboard.tap({"AC01"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return field->text() == u"a"; }, kWait))
      << field->text().toStdString();
}

TEST_F(GlobalHotKeys, WhilePausedNoActionRunsAndNoStreamYields) {
  const Name name("paused", Shortcut(Key::p, Qt::ControlModifier | Qt::AltModifier));
  const auto counts = count(name);
  auto stream = GlobalShortcuts::eventStream(name);
  std::vector<EventType> events;
  stream.forEach(
      platform::mainQueue(), [&](EventType e) { events.push_back(e); }, [](ErrorPtr) {});
  {
    const GlobalShortcuts::Pause outer;
    { const GlobalShortcuts::Pause inner; }
    // One pause ending leaves the other in force.
    EXPECT_TRUE(GlobalShortcuts::isPaused());
    tapAndSettle({"LCTL", "LALT", "AD10"});
    EXPECT_EQ(counts->down, 0);
    EXPECT_TRUE(events.empty());
  }
  m_keyboard.tap({"LCTL", "LALT", "AD10"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() == 2u; }, kWait)) << "events.size()";
  EXPECT_EQ(events, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
  EXPECT_EQ(counts->down, 1);
}

TEST_F(GlobalHotKeys, TwoNamesOnOneShortcutBothFireAndReplacingOneReleasesOnlyAnUnsharedGrab) {
  const Shortcut shared(Key::j, Qt::ControlModifier | Qt::AltModifier);
  const Name a("sharedA", shared);
  const Name b("sharedB", shared);
  const auto countsA = count(a);
  const auto countsB = count(b);
  m_keyboard.tap({"LCTL", "LALT", "AC07"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return countsA->down == 1; }, kWait)) << "countsA->down";
  ASSERT_TRUE(QTest::qWaitFor([&] { return countsB->down == 1; }, kWait)) << "countsB->down";

  a.setShortcut(Shortcut(Key::h, Qt::ControlModifier | Qt::AltModifier));
  ASSERT_TRUE(GlobalShortcuts::isRegistered(shared));
  m_keyboard.tap({"LCTL", "LALT", "AC07"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return countsB->down == 2; }, kWait)) << "countsB->down";
  EXPECT_EQ(countsA->down, 1);
}

TEST_F(GlobalHotKeys, TheLastStreamOfANameReleasesItsGrab) {
  const Shortcut shortcut(Key::u, Qt::ControlModifier | Qt::AltModifier);
  const Name name("streams", shortcut);
  GlobalShortcuts::disableShortcuts({name});
  const auto combination = *shortcut.combination();
  auto first = GlobalShortcuts::eventStream(name);
  auto second = GlobalShortcuts::eventStream(EventType::keyUp, name);
  ASSERT_TRUE(QTest::qWaitFor([&] { return HotKeys::shared().isGrabbed(combination); }, kWait));
  std::vector<EventType> upsOnly;
  second.forEach(
      platform::mainQueue(), [&](EventType e) { upsOnly.push_back(e); }, [](ErrorPtr) {});
  first.cancel();
  m_keyboard.tap({"LCTL", "LALT", "AD07"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return upsOnly.size() == 1u; }, kWait)) << "upsOnly.size()";
  EXPECT_EQ(upsOnly.front(), EventType::keyUp);
  second.cancel();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !HotKeys::shared().isGrabbed(combination); }, kWait));
}

}  // namespace
}  // namespace tessra::shortcuts

namespace tessra::shortcuts {
namespace {

TEST(MenuItemShortcut, ShowsTheNamesShortcutAndFollowsItsChangesUntilUnbound) {
  testing::TempDir config;
  testing::ScopedEnv configDir("TESSRA_CONFIG_DIR", config.path().string());
  const Name name("boundItem", Shortcut(Key::k, Qt::MetaModifier | Qt::ShiftModifier));
  const Name other("otherItem");
  QAction item("Open");
  setShortcut(&item, name);
  setShortcut(&item, name);
  EXPECT_EQ(item.shortcut(), QKeySequence(Qt::META | Qt::SHIFT | Qt::Key_K));
  EXPECT_EQ(item.children().size(), 1);

  int changes = 0;
  QObject::connect(&item, &QAction::changed, [&] { ++changes; });
  other.setShortcut(Shortcut(Key::j, Qt::ControlModifier));
  name.setShortcut(Shortcut(Key::f5, Qt::AltModifier));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return item.shortcut() == QKeySequence(Qt::ALT | Qt::Key_F5); }));
  EXPECT_EQ(changes, 1);

  // A combination another program holds would do nothing: the item shows none.
  FakeKeyboard keyboard;
  FakeKeyboard::ForeignGrab foreign(keyboard.keycode("FK08"),
                                    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT);
  name.setShortcut(Shortcut(Key::f8, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier));
  ASSERT_TRUE(QTest::qWaitFor([&] { return changes == 2; }));
  EXPECT_TRUE(item.shortcut().isEmpty());

  setShortcut(&item, std::nullopt);
  EXPECT_TRUE(item.shortcut().isEmpty());
  name.setShortcut(Shortcut(Key::f6, Qt::AltModifier));
  // The update would be a posted call: run what is posted.
  QCoreApplication::processEvents();
  EXPECT_TRUE(item.shortcut().isEmpty());
  GlobalShortcuts::disableShortcuts({name, other});
}

}  // namespace
}  // namespace tessra::shortcuts
