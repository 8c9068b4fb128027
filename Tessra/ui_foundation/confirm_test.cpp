#include "Tessra/ui_foundation/confirm.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace tessra {
namespace {

// Answers the box once it is up, with what `answer` does to it, and records what it showed.
struct Answerer {
  std::function<void(QMessageBox*)> answer;
  QString text;
  QString informativeText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  bool informativeOnOneLine = false;

  void arm() {
    QTimer::singleShot(0, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) {
        arm();
        return;
      }
      text = box->text();
      informativeText = box->informativeText();
      icon = box->icon();
      for (QAbstractButton* button : box->buttons()) buttons << button->text();
      if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informativeOnOneLine = label->height() <= label->heightForWidth(2000);
      answer(box);
    });
  }
};

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title) {
  for (QAbstractButton* button : box->buttons())
    if (button->text() == title) return button;
  return nullptr;
}

TEST(ConfirmTest, OnlyOkConfirms) {
  const struct {
    const char* name;
    std::function<void(QMessageBox*)> answer;
    bool expected;
  } cases[] = {
      {"OK", [](QMessageBox* box) { buttonTitled(box, "OK")->click(); }, true},
      {"Cancel", [](QMessageBox* box) { buttonTitled(box, "Cancel")->click(); }, false},
      {"Escape", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, false},
      {"Return on the default button",
       [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Answerer answerer;
    answerer.answer = c.answer;
    answerer.arm();
    EXPECT_EQ(confirm("Are you sure?", "Closing this window will quit Tessra Ai."), c.expected);
    EXPECT_EQ(answerer.text, "Are you sure?");
    EXPECT_EQ(answerer.informativeText, "Closing this window will quit Tessra Ai.");
    EXPECT_EQ(answerer.icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.buttons.size(), 2);
    EXPECT_TRUE(answerer.buttons.contains("OK") && answerer.buttons.contains("Cancel"));
    EXPECT_TRUE(answerer.informativeOnOneLine) << "the box is as wide as its text";
  }
}

}  // namespace
}  // namespace tessra
