// The recorder field driven with real X key events on a focused window.
#include "shortcuts/recorder_cocoa.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/foundation/queue.h"
#include "platform/ui/event_loop_queue.h"
#include "shortcuts/recorder.h"
#include "shortcuts/recorder_texts.h"
#include "testing/fake_keyboard.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::shortcuts {
namespace {

using testing::FakeKeyboard;

constexpr int kWait = 5000;
const Shortcut kAltSpace(Key::space, Qt::AltModifier);

class RecorderField : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::runMainQueueOnEventLoop();
    auto* layout = new QVBoxLayout(&m_window);
    m_field = new RecorderCocoa(m_name);
    QObject::connect(m_field, &RecorderCocoa::shortcutChanged,
                     [this](std::optional<Shortcut> s) { m_changes.push_back(s); });
    m_next = new QLineEdit();
    m_button = new QPushButton("Elsewhere");
    layout->addWidget(m_field);
    layout->addWidget(m_next);
    layout->addWidget(m_button);
    m_window.show();
    m_window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
  }
  void TearDown() override { GlobalShortcuts::removeAllActionHandlers(); }

  void startRecording() {
    QTest::mouseClick(m_field, Qt::LeftButton, {}, m_field->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_field->isRecording(); }, kWait));
  }

  // Answers the next alert with its button at `index` once it shows.
  void answerAlert(int index, QString* title = nullptr) {
    auto* timer = new QTimer(&m_window);
    QObject::connect(timer, &QTimer::timeout, [timer, index, title] {
      QMessageBox* box = nullptr;
      for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == "shortcutRecorderAlert" && widget->isVisible()) {
          box = qobject_cast<QMessageBox*>(widget);
        }
      }
      if (!box) return;
      if (title) *title = box->text();
      box->buttons().size() > index ? box->buttons().at(index)->click() : box->reject();
      timer->deleteLater();
    });
    timer->start(20);
  }

  testing::TempDir m_config;
  testing::ScopedEnv m_configDir{"TESSRA_CONFIG_DIR", m_config.path().string()};
  FakeKeyboard m_keyboard;
  const Name m_name{"recorded", kAltSpace};
  QWidget m_window;
  RecorderCocoa* m_field = nullptr;
  QLineEdit* m_next = nullptr;
  QPushButton* m_button = nullptr;
  std::vector<std::optional<Shortcut>> m_changes;
};

TEST_F(RecorderField, OpeningTheWindowNeverRecordsAndShowsTheStoredShortcut) {
  EXPECT_FALSE(m_field->isRecording());
  EXPECT_FALSE(GlobalShortcuts::isPaused());
  EXPECT_EQ(m_field->text(), "Alt+Space");
  EXPECT_GE(m_field->sizeHint().width(), RecorderCocoa::minimumWidth);
}

TEST_F(RecorderField, KeyRules) {
  const Shortcut ctrlAltK(Key::k, Qt::ControlModifier | Qt::AltModifier);
  const struct {
    const char* what;
    std::vector<std::vector<const char*>> taps;
    std::optional<Shortcut> stored;
    bool recording;
    const char* text;
  } cases[] = {
      {"Tab moves on", {{"TAB"}}, kAltSpace, false, "Alt+Space"},
      {"Escape keeps", {{"ESC"}}, kAltSpace, false, "Alt+Space"},
      {"a plain letter beeps", {{"AC01"}}, kAltSpace, true, "Alt+Space"},
      {"Shift with a letter beeps", {{"LFSH", "AC01"}}, kAltSpace, true, "Alt+Space"},
      {"Caps Lock is no modifier", {{"CAPS"}, {"AC01"}, {"CAPS"}}, kAltSpace, true, "Alt+Space"},
      {"Return alone beeps", {{"RTRN"}}, kAltSpace, true, "Alt+Space"},
      {"F5 alone is taken", {{"FK05"}}, Shortcut(Key::f5, {}), false, "F5"},
      {"Shift+F5 is taken",
       {{"LFSH", "FK05"}},
       Shortcut(Key::f5, Qt::ShiftModifier),
       false,
       "Shift+F5"},
      {"Ctrl+Alt+K is taken", {{"LCTL", "LALT", "AC08"}}, ctrlAltK, false, "Ctrl+Alt+K"},
      {"Backspace clears and keeps recording", {{"BKSP"}}, std::nullopt, true, ""},
      {"Delete clears and keeps recording", {{"DELE"}}, std::nullopt, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m_name.setShortcut(kAltSpace);
    m_field->setFocus(Qt::OtherFocusReason);
    startRecording();
    for (const auto& keys : c.taps) {
      if (keys.size() == 1) m_keyboard.tap({keys[0]});
      if (keys.size() == 2) m_keyboard.tap({keys[0], keys[1]});
      if (keys.size() == 3) m_keyboard.tap({keys[0], keys[1], keys[2]});
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_name.shortcut() == c.stored && m_field->isRecording() == c.recording; },
        kWait));
    // The taps' events are all handled: nothing changes later.
    QCoreApplication::processEvents();
    EXPECT_EQ(m_field->text(), c.text);
    EXPECT_EQ(GlobalShortcuts::isPaused(), c.recording);
  }
  EXPECT_TRUE(m_next->hasFocus() || m_field->hasFocus());
}

TEST_F(RecorderField, TheShortcutPressedWhileRecordingIsStoredAndDoesNotFire) {
  int toggles = 0;
  GlobalShortcuts::onKeyDown(m_name, [&] { ++toggles; });
  m_name.setShortcut(Shortcut(Key::k, Qt::ControlModifier | Qt::AltModifier));
  startRecording();
  m_keyboard.tap({"LALT", "SPCE"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_field->isRecording(); }, kWait));
  EXPECT_EQ(m_name.shortcut(), kAltSpace);
  EXPECT_EQ(m_changes.back(), kAltSpace);
  EXPECT_EQ(m_field->text(), "Alt+Space");
  EXPECT_EQ(toggles, 0);
  // Recording over: the stored shortcut fires.
  m_keyboard.tap({"LALT", "SPCE"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return toggles == 1; }, kWait));
}

TEST_F(RecorderField, RecordingHidesTheCaretAndGivesItBackAfter) {
  // A steady caret in an empty field: a grab shows it whenever it is drawn, as the inverse of the
  // field's background.
  const int flashTime = QApplication::cursorFlashTime();
  QApplication::setCursorFlashTime(0);
  m_name.setShortcut(std::nullopt);
  const QColor base = m_field->palette().color(QPalette::Base);
  const QColor caret(255 - base.red(), 255 - base.green(), 255 - base.blue());
  const auto caretPixels = [&] {
    const QImage image = m_field->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == caret;
    return count;
  };

  startRecording();
  EXPECT_EQ(caretPixels(), 0) << "no caret in a field nothing can be typed into";
  // Another window comes to the front and goes: recording has ended, and the field that has the
  // keyboard again shows its caret.
  QWidget other;
  other.setGeometry(m_window.geometry().translated(0, m_window.height() + 40));
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_FALSE(m_field->isRecording());
  m_window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
  ASSERT_TRUE(m_field->hasFocus());
  EXPECT_FALSE(m_field->isRecording());
  EXPECT_GT(caretPixels(), 5);
  QApplication::setCursorFlashTime(flashTime);
}

TEST_F(RecorderField, AnEmptyFieldThatRecordsSaysWhatToDo) {
  const QColor placeholder(0, 255, 0);
  QPalette colors = m_field->palette();
  colors.setColor(QPalette::PlaceholderText, placeholder);
  m_field->setPalette(colors);
  m_name.setShortcut(std::nullopt);
  startRecording();
  EXPECT_EQ(m_field->placeholderText(), recorderText("press_shortcut"));
  const QImage image = m_field->grab().toImage();
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) drawn += image.pixelColor(x, y) == placeholder;
  EXPECT_GT(drawn, 10) << "the placeholder is shown while the field has the keyboard";
}

TEST_F(RecorderField, AClickOutsideEndsRecordingAndIsDelivered) {
  int clicks = 0;
  QObject::connect(m_button, &QPushButton::clicked, [&] { ++clicks; });
  startRecording();
  // Inside the 3-pixel margin: swallowed, still recording.
  QTest::mouseClick(m_field, Qt::LeftButton, {}, QPoint(m_field->width() + 2, 5));
  EXPECT_TRUE(m_field->isRecording());
  QTest::mouseClick(m_button, Qt::LeftButton, {}, m_button->rect().center());
  EXPECT_FALSE(m_field->isRecording());
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(GlobalShortcuts::isPaused());
}

TEST_F(RecorderField, AHiddenRecorderReleasesItsPause) {
  startRecording();
  m_window.hide();
  EXPECT_FALSE(m_field->isRecording());
  EXPECT_FALSE(GlobalShortcuts::isPaused());
}

TEST_F(RecorderField, ADestroyedRecorderReleasesItsPause) {
  startRecording();
  delete m_field;
  EXPECT_FALSE(GlobalShortcuts::isPaused());
}

TEST_F(RecorderField, AShortcutOfAMenuItemIsRefusedWithAnAlert) {
  QMainWindow main;
  QAction* item = main.menuBar()->addMenu("&Edit")->addAction("&Mark");
  item->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_M));
  QString title;
  answerAlert(0, &title);
  startRecording();
  m_keyboard.tap({"LCTL", "LALT", "AB07"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !title.isEmpty() && m_field->isRecording(); }, kWait));
  EXPECT_TRUE(title.contains("Mark")) << title.toStdString();
  EXPECT_EQ(m_name.shortcut(), kAltSpace);
}

TEST_F(RecorderField, AShortcutAnotherProgramHoldsIsStoredOnlyWhenForced) {
  FakeKeyboard::ForeignGrab foreign(m_keyboard.keycode("AC06"),
                                    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
  const Shortcut held(Key::h, Qt::ControlModifier | Qt::AltModifier);
  for (const int button : {0, 1}) {
    SCOPED_TRACE(button);
    QString title;
    answerAlert(button, &title);
    startRecording();
    m_keyboard.tap({"LCTL", "LALT", "AC06"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !title.isEmpty(); }, kWait));
    if (button == 0) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return m_field->isRecording(); }, kWait));
      EXPECT_EQ(m_name.shortcut(), kAltSpace);
      m_keyboard.tap({"ESC"});
      ASSERT_TRUE(QTest::qWaitFor([&] { return !m_field->isRecording(); }, kWait));
      continue;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_name.shortcut() == held; }, kWait));
    // Stored, but another program has it: never shown as set.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_field->isRecording(); }, kWait));
    EXPECT_NE(m_field->text(), "Ctrl+Alt+H");
    EXPECT_TRUE(m_field->text().startsWith("Ctrl+Alt+H"));
  }
}

TEST(RecorderView, ALabelIsShownAsGivenAndTheNameCanChange) {
  testing::TempDir config;
  testing::ScopedEnv configDir("TESSRA_CONFIG_DIR", config.path().string());
  const Name first("labelledFirst", Shortcut(Key::f2, Qt::ControlModifier));
  const Name second("labelledSecond", Shortcut(Key::f4, Qt::ControlModifier));
  Recorder recorder("record_shortcut", first);
  ASSERT_TRUE(recorder.hasLabel());
  EXPECT_EQ(static_cast<QLabel*>(recorder.label())->text(), "record_shortcut");
  EXPECT_EQ(recorder.field()->text(), "Ctrl+F2");
  recorder.setName(second);
  EXPECT_EQ(recorder.field()->text(), "Ctrl+F4");
  EXPECT_FALSE(Recorder(first).hasLabel());
}

TEST(RecorderView, ATitleKeyIsReadFromTheProgramsTableAndATextIsNot) {
  testing::TempDir config;
  testing::ScopedEnv configDir("TESSRA_CONFIG_DIR", config.path().string());
  const Name name("keyedLabel", Shortcut(Key::f2, Qt::ControlModifier));
  const auto labelOf = [](const Recorder& recorder) {
    return static_cast<QLabel*>(recorder.label())->text();
  };
  // Before the program hands its table over, a key shows as itself.
  EXPECT_EQ(labelOf(Recorder(Recorder::TitleKey{"Shortcut.open"}, name)), "Shortcut.open");
  Recorder::setStringTable(
      [](const QString& key) { return key == "Shortcut.open" ? QStringLiteral("Öffnen") : key; });
  EXPECT_EQ(labelOf(Recorder(Recorder::TitleKey{"Shortcut.open"}, name)), "Öffnen");
  EXPECT_EQ(labelOf(Recorder(QStringLiteral("Shortcut.open"), name)), "Shortcut.open");
  Recorder::setStringTable({});
}

TEST(KeyboardShortcutWatchers, ListenWhileTheirWidgetIsShown) {
  platform::runMainQueueOnEventLoop();
  testing::TempDir config;
  testing::ScopedEnv configDir("TESSRA_CONFIG_DIR", config.path().string());
  const Name name("watched", Shortcut(Key::w, Qt::ControlModifier | Qt::AltModifier));
  FakeKeyboard keyboard;
  // Grabbed again only once the watchers' streams are in place.
  GlobalShortcuts::disableShortcuts({name});
  QWidget panel;
  std::vector<EventType> all;
  int ups = 0;
  new KeyboardShortcutWatcher(&panel, name, [&](EventType e) { all.push_back(e); });
  new KeyboardShortcutWatcher(&panel, name, EventType::keyUp, [&] { ++ups; });
  panel.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return GlobalShortcuts::isRegistered(*name.shortcut()); }));
  keyboard.tap({"LCTL", "LALT", "AD02"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return ups == 1 && all.size() == 2; }, kWait));
  EXPECT_EQ(all, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
  panel.hide();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !GlobalShortcuts::isRegistered(*name.shortcut()); }));
  keyboard.tap({"LCTL", "LALT", "AD02"});
  QCoreApplication::processEvents();
  EXPECT_EQ(ups, 1);
}

}  // namespace
}  // namespace tessra::shortcuts
