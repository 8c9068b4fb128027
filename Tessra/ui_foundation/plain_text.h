// Text from data shown as it is: labels that never read their text as markup, and the forms a
// text takes for the widgets that give some of its characters a meaning of their own.
//
// A QLabel left to guess takes a text with a tag in it for rich text and loads what the tag
// names: a conversation called `<img src=/dev/zero>` would read that file until memory runs out.
// So every label of the windows states its format, plain unless the text is ours, and data in a
// rich text is escaped with `QString::toHtmlEscaped`:
//
//   auto* title = plainLabel(conversationName, parent);
//   menu->addAction(menuText(conversationName));            // "Tom & Jerry" keeps its "&"
//   window->setWindowTitle(windowTitleText(shortQuestion));  // "[*]" stays in the title
//
// The widget tests check the rule with `labelsGuessingTheirFormat`
// (Tessra/ui_foundation/widget_test_support.h).
//
// A text box of the windows is a `PlainTextArea`, whose paste takes the clipboard's text and
// nothing else. Another program's clipboard is read from that program while Qt waits, and it may
// serve one read only or go away meanwhile; Qt's own paste then reads the first of the formats
// it listed without looking whether there still is one, and the program would crash.
//
// GUI thread only.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QString>

namespace tessra {

// A label that shows `text` exactly, whatever tags or entities it holds.
QLabel* plainLabel(const QString& text = {}, QWidget* parent = nullptr);

// `text` for a menu title or a menu item: a single "&" would mark the next letter as the
// mnemonic and vanish, and the part after a tab would be shown as the item's shortcut.
QString menuText(const QString& text);

// `text` for a window title, where Qt takes "[*]" for the place of the modified mark.
QString windowTitleText(const QString& text);

class PlainTextArea : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace tessra
