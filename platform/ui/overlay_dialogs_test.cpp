// Dialogs and the keyboard among overlay windows, on a desktop with a window manager (openbox),
// which stacks the windows it manages below every override-redirect window.
#include "platform/ui/overlay_dialogs.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <gtest/gtest.h>

#include "platform/ui/overlay_panel.h"
#include "platform/ui/overlay_window.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"

namespace tessra::platform {
namespace {

using testing::focusedWindow;

QString id(const QWidget& window) { return QString::number(window.winId()); }

void type(const QString& keys) { testing::xdotool({QStringLiteral("type"), keys}); }

// An overlay like the floating panel, with a text field to type into.
class OverlayDialogsTest : public ::testing::Test {
 protected:
  OverlayDialogsTest() : m_field(new QLineEdit(&m_overlay)) {
    (new QVBoxLayout(&m_overlay))->addWidget(m_field);
    m_overlay.setGeometry(1300, 100, 500, 700);
  }

  void showOverlay() {
    m_overlay.show();
    ASSERT_EVENTUALLY(focusedWindow() == id(m_overlay), 5000);
  }
  // Types `text` and waits until the overlay's field shows it.
  void typeIntoOverlay(const QString& text) {
    const QString expected = m_field->text() + text;
    type(text);
    ASSERT_EVENTUALLY(m_field->text() == expected, 5000);
  }

  OverlayWindow m_overlay;
  QLineEdit* m_field;
};

TEST_F(OverlayDialogsTest, AQuestionOverAnOverlayStandsAboveItWithTheKeyboardAndGivesItBack) {
  showOverlay();
  QMessageBox question(QMessageBox::Warning, QStringLiteral("Question"), QStringLiteral("Delete?"),
                       QMessageBox::Ok | QMessageBox::Cancel, &m_overlay);
  question.open();
  ASSERT_EVENTUALLY(focusedWindow() == id(question), 5000);
  const QStringList order = testing::stackingOrder();
  EXPECT_GT(order.indexOf(testing::topLevelOf(id(question))), order.indexOf(id(m_overlay)));
  EXPECT_TRUE(question.windowHandle()->flags().testFlag(Qt::X11BypassWindowManagerHint));

  testing::xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
  ASSERT_EVENTUALLY(question.isHidden(), 5000);
  ASSERT_EVENTUALLY(focusedWindow() == id(m_overlay), 5000);
  typeIntoOverlay(QStringLiteral("a"));
}

TEST_F(OverlayDialogsTest, ADialogWithoutAnOverlayOnScreenStaysTheWindowManagers) {
  QDialog dialog;
  dialog.setGeometry(200, 200, 300, 200);
  dialog.show();
  // Openbox puts a window it manages into a frame of its own.
  ASSERT_EVENTUALLY(testing::topLevelOf(id(dialog)) != id(dialog), 5000);
  EXPECT_FALSE(dialog.windowHandle()->flags().testFlag(Qt::X11BypassWindowManagerHint));
}

TEST_F(OverlayDialogsTest, TheKeyboardComesBackFromAPanelAndWithAPressAfterAnotherProgram) {
  showOverlay();
  OverlayPanel panel;
  panel.present(QRect(1400, 300, 300, 200));
  ASSERT_EVENTUALLY(focusedWindow() == id(panel), 5000);
  panel.hide();
  ASSERT_EVENTUALLY(focusedWindow() == id(m_overlay), 5000);
  typeIntoOverlay(QStringLiteral("a"));

  // A click on a window of another program gives it the keyboard; a click on the overlay's field
  // (not the overlay's own background) takes the keyboard back.
  QWidget other;
  other.setGeometry(100, 100, 400, 300);
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  const QRect frame = testing::windowFrame(id(other));
  testing::clickAt(frame.center().x(), frame.center().y());
  ASSERT_EVENTUALLY(focusedWindow() == id(other), 5000);
  const QPoint field = m_field->mapToGlobal(m_field->rect().center());
  testing::clickAt(field.x(), field.y());
  ASSERT_EVENTUALLY(focusedWindow() == id(m_overlay), 5000);
  typeIntoOverlay(QStringLiteral("b"));
}

}  // namespace
}  // namespace tessra::platform
