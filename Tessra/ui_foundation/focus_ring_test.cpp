#include "Tessra/ui_foundation/focus_ring.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/ui_foundation/button_styles.h"

namespace tessra {
namespace {

TEST(FocusRing, FollowsTheKeyboardWhereTabTakesItAndGoesAtAClick) {
  FocusRing::install();
  QWidget window;
  auto* row = new QHBoxLayout(&window);
  row->setContentsMargins(0, 0, 0, 0);
  auto* field = new QLineEdit(&window);
  auto* cancel = new FlatButton(QStringLiteral("Cancel"), {}, &window);
  auto* confirm = new FlatButton(QStringLiteral("Save"), {}, &window);
  row->addWidget(field);
  row->addWidget(cancel);
  row->addWidget(confirm);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  field->setFocus(Qt::OtherFocusReason);
  const FocusRing& ring = *FocusRing::current();
  EXPECT_EQ(ring.target(), nullptr) << "the program's own focus shows no ring";

  for (QWidget* next : {static_cast<QWidget*>(cancel), static_cast<QWidget*>(confirm)}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), next);
    EXPECT_EQ(ring.target(), next);
    const QWidget* drawn = window.findChild<QWidget*>(QStringLiteral("focusRing"));
    ASSERT_NE(drawn, nullptr);
    const QRect around(next->mapTo(&window, QPoint(0, 0)), next->size());
    EXPECT_TRUE(drawn->geometry().contains(around.intersected(window.rect())));
    EXPECT_TRUE(window.rect().contains(drawn->geometry())) << "inside the window at its edge";
  }

  QTest::mouseClick(field, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), field);
  EXPECT_EQ(ring.target(), nullptr);
  field->resize(field->width() + 10, field->height());
  EXPECT_EQ(ring.target(), nullptr) << "a control without the ring that moves gets none";
}

TEST(ClickOnEscape, EscapeCancelsUnlessAControlUsedIt) {
  QWidget form;
  auto* field = new QLineEdit(&form);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &form);
  clickOnEscape(cancel, &form);
  int cancels = 0;
  QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancels; });
  form.show();

  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_EQ(cancels, 1);
  QTest::keyClick(field, Qt::Key_Escape, Qt::ShiftModifier);
  EXPECT_EQ(cancels, 1) << "Shift+Escape is no Cancel";
  cancel->setEnabled(false);
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_EQ(cancels, 1) << "a disabled Cancel is not pressed";
}

}  // namespace
}  // namespace tessra
