// A one-emoji text field for a conversation's emoji, and the random emoji a new conversation
// starts with.
//
//   QString emoji = EmojiTextField::randomEmoji();
//   auto* field = new EmojiTextField(parent);
//   connect(field, &EmojiTextField::pickerRequested, picker, [=] { picker->showFor(field); });
//
// After every user edit the field holds exactly one emoji: the last one typed, or a random one
// when nothing typed is an emoji. Return and every normalising edit ask for the emoji picker (the
// desktop has no system character palette). GUI thread only, except
// `randomEmoji` and `lastEmoji`, which may be called from any thread.
#pragma once

#include <QLineEdit>
#include <QStringList>

#include <optional>

namespace tessra {

class EmojiTextField : public QLineEdit {
  Q_OBJECT

 public:
  explicit EmojiTextField(QWidget* parent = nullptr);

  // One emoji drawn uniformly from the assigned code points with emoji presentation in
  // U+1F600..U+1F64F, U+1F300..U+1F5FF and U+1F680..U+1F6FF.
  static QString randomEmoji();
  // Every emoji `randomEmoji` draws from, in code point order.
  static const QStringList& pool();
  // The last grapheme of `text` that is an emoji (a keycap digit, a flag, a toned face), never
  // a lone skin-tone modifier; none when there is none.
  static std::optional<QString> lastEmoji(const QString& text);

  // The single-emoji rule, run after each user edit.
  void normalizeText();

 signals:
  // The user's edit, after the rule, left this text (the binding's new value).
  void emojiChanged(const QString& emoji);
  void pickerRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
};

}  // namespace tessra
