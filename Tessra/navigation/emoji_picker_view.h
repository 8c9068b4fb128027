// The round badge of the new-or-rename panel: the conversation's emoji in a dashed ring, typed
// or picked in place, and a "Random" button below it that draws a new one.
//
//   auto* picker = new EmojiPickerView(QStringLiteral("🐞"), parent);
//   connect(picker, &EmojiPickerView::emojiChanged, this, [this](const QString& e) { ... });
//
// Return in the badge (or an edit that is no emoji) opens the emoji palette; what the palette
// chooses goes through the field's own one-emoji rule. GUI thread only.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include "Tessra/navigation/emoji_palette.h"
#include "Tessra/prompt_input/emoji_text_field.h"

namespace tessra {

class EmojiPickerView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kSize = 72;
  static constexpr double kRadius = kSize / 2;
  static constexpr int kDotCount = 18;
  static constexpr double kDotLength = 6;
  // The gap that makes 18 dashes and 18 gaps fill the ring exactly.
  static constexpr double kSpaceLength =
      2 * 3.14159265358979323846 * kRadius / kDotCount - kDotLength;

  explicit EmojiPickerView(const QString& emoji, QWidget* parent = nullptr);

  QString emoji() const { return m_field->text(); }
  void setEmoji(const QString& emoji);

  EmojiTextField* field() const { return m_field; }
  QPushButton* randomButton() const { return m_random; }
  // The palette while it is open, else null.
  EmojiPalette* openPalette() const {
    return m_palette && m_palette->isVisible() ? m_palette.data() : nullptr;
  }

 signals:
  void emojiChanged(const QString& emoji);

 private:
  void showPalette();

  EmojiTextField* m_field;
  QPushButton* m_random;
  QPointer<EmojiPalette> m_palette;
};

}  // namespace tessra
