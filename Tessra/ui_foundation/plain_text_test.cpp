#include "Tessra/ui_foundation/plain_text.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include "Tessra/ui_foundation/widget_test_support.h"

namespace tessra {
namespace {

using namespace Qt::StringLiterals;

TEST(PlainTextTest, MenusAndTitlesShowTheTextAsTyped) {
  // What a menu shows of an item is its text with the mnemonic marks taken out.
  for (const QString& typed : {u"Tom & Jerry"_s, u"R&&D"_s, u"&"_s, u"tab\there"_s}) {
    SCOPED_TRACE(typed.toStdString());
    QAction item(menuText(typed));
    EXPECT_EQ(item.iconText(), QString(typed).replace(u'\t', u' '));
  }
  QWidget window;
  for (const QString& typed : {u"[*]"_s, u"a [*][*] b"_s, u"[*]x[*]"_s}) {
    SCOPED_TRACE(typed.toStdString());
    window.setWindowTitle(windowTitleText(typed));
    window.show();
    EXPECT_EQ(window.windowHandle()->title(), typed);
  }
}

TEST(PlainTextTest, OnlyLabelsThatStateTheirFormatPass) {
  QWidget window;
  window.setObjectName(QStringLiteral("window"));
  QLabel* name = plainLabel(QStringLiteral("<img src=/dev/zero>"), &window);
  auto* guessing = new QLabel(QStringLiteral("<b>ours</b>"), &window);
  guessing->setObjectName(QStringLiteral("heading"));
  (new QLabel(&window))->setTextFormat(Qt::RichText);
  EXPECT_EQ(name->textFormat(), Qt::PlainText);
  EXPECT_EQ(testing::labelsGuessingTheirFormat(window),
            std::vector<std::string>{"heading: \"<b>ours</b>\""});
}

// A clipboard whose owner went away lists no formats; Qt's own paste read the first of them.
TEST(PlainTextTest, ATextAreaPastesTheClipboardsTextOrNothing) {
  PlainTextArea area;
  area.setPlainText(u"kept"_s);
  area.moveCursor(QTextCursor::End);
  QGuiApplication::clipboard()->setMimeData(new QMimeData);
  area.paste();
  EXPECT_EQ(area.toPlainText(), u"kept"_s);

  auto* offered = new QMimeData;
  offered->setHtml(u"<b>bold</b>"_s);
  offered->setText(u" and more"_s);
  QGuiApplication::clipboard()->setMimeData(offered);
  area.paste();
  EXPECT_EQ(area.toPlainText(), u"kept and more"_s);
}

}  // namespace
}  // namespace tessra
