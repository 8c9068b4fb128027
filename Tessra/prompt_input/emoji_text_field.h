// A one-emoji text field for a conversation's emoji, and the random emoji a new conversation
// starts with.
//
//   QString emoji = EmojiTextField::randomEmoji();
//   auto* field = new EmojiTextField(parent);
//   field->setOpenPicker([field] { picker->showFor(field); });
//
// After every user edit the field holds exactly one emoji: the last one typed, or a random one
// when nothing typed is an emoji. Return and every normalising edit open the emoji picker when
// one is set (the desktop has no system character palette). GUI thread only, except
// `randomEmoji` and `lastEmoji`, which may be called from any thread.
#pragma once

#include <QLineEdit>

#include <functional>
#include <optional>

namespace tessra {

class EmojiTextField : public QLineEdit {
  Q_OBJECT

 public:
  explicit EmojiTextField(QWidget* parent = nullptr);

  // One emoji drawn uniformly from the assigned code points with emoji presentation in
  // U+1F600..U+1F64F, U+1F300..U+1F5FF and U+1F680..U+1F6FF.
  static QString randomEmoji();
  // The last grapheme of `text` that is an emoji (a keycap digit, a flag, a toned face), never
  // a lone skin-tone modifier; none when there is none.
  static std::optional<QString> lastEmoji(const QString& text);

  // The single-emoji rule, run after each user edit.
  void normalizeText();

  void setOpenPicker(std::function<void()> openPicker) { m_openPicker = std::move(openPicker); }

 signals:
  // The user's edit, after the rule, left this text (the binding's new value).
  void emojiChanged(const QString& emoji);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void openPicker();

  std::function<void()> m_openPicker;
};

}  // namespace tessra
