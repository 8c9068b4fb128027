// The General page's shortcut row, driven with real X key events on a focused window.
#include <xcb/xcb.h>
#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "Tessra/settings/general_settings_view.h"
#include "Tessra/settings/settings_test_support.h"
#include "Tessra/shell/open_tessra_global.h"
#include "shortcuts/global_shortcuts.h"
#include "shortcuts/recorder.h"
#include "shortcuts/recorder_cocoa.h"
#include "testing/fake_keyboard.h"

namespace tessra {
namespace {

using shortcuts::GlobalShortcuts;
using shortcuts::Key;
using shortcuts::Shortcut;
constexpr int kWait = 5000;

TEST(GeneralShortcutTest, ARecordedShortcutTakesOverTheHotKey) {
  settings_test::SettingsHarness harness;
  testing::FakeKeyboard keyboard;
  const shortcuts::Name& name = openTessraGlobal();
  name.setShortcut(Shortcut(Key::space, Qt::AltModifier));
  int toggles = 0;
  GlobalShortcuts::onKeyDown(name, [&] { ++toggles; });

  GeneralSettingsView page(*harness.settings, true);
  page.show();
  page.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
  shortcuts::RecorderCocoa* field = page.findChild<shortcuts::Recorder*>()->field();
  QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return field->isRecording(); }, kWait));
  keyboard.tap({"LCTL", "LALT", "AC08"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !field->isRecording(); }, kWait));
  EXPECT_EQ(name.shortcut(), Shortcut(Key::k, Qt::ControlModifier | Qt::AltModifier));
  EXPECT_EQ(field->text(), "Ctrl+Alt+K");
  EXPECT_EQ(toggles, 0);

  keyboard.tap({"LCTL", "LALT", "AC08"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return toggles == 1; }, kWait));
  // The old combination no longer opens the panel.
  keyboard.tap({"LALT", "SPCE"});
  QTest::qWait(200);  // a check that nothing happens: no toggle comes in this time
  EXPECT_EQ(toggles, 1);
  GlobalShortcuts::removeAllActionHandlers();
}

TEST(GeneralShortcutTest, AShortcutAnotherProgramHoldsIsShownWhole) {
  settings_test::SettingsHarness harness;
  testing::FakeKeyboard keyboard;
  testing::FakeKeyboard::ForeignGrab foreign(keyboard.keycode("SPCE"), XCB_MOD_MASK_1);
  const shortcuts::Name& name = openTessraGlobal();
  name.setShortcut(Shortcut(Key::space, Qt::AltModifier));
  GlobalShortcuts::onKeyDown(name, [] {});
  ASSERT_FALSE(GlobalShortcuts::isRegistered(*name.shortcut()));

  GeneralSettingsView page(*harness.settings, true);
  page.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  shortcuts::RecorderCocoa* field = page.findChild<shortcuts::Recorder*>()->field();
  EXPECT_EQ(field->text().toStdString(), "Alt+Space (in use by another program)");
  // A text wider than its field scrolls its start out of sight: the left edge would show
  // "nother program)".
  EXPECT_EQ(field->cursorPositionAt(QPoint(4, field->height() / 2)), 0);
  EXPECT_TRUE(page.rect().contains(QRect(field->mapTo(&page, QPoint(0, 0)), field->size())));
  GlobalShortcuts::removeAllActionHandlers();
}

}  // namespace
}  // namespace tessra
