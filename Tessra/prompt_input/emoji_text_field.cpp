#include "Tessra/prompt_input/emoji_text_field.h"

#include <unicode/uchar.h>

#include <QKeyEvent>
#include <QTextBoundaryFinder>

#include <random>
#include <vector>

#include "Tessra/ui_foundation/color_emoji.h"

namespace tessra {

namespace {

bool hasProperty(char32_t scalar, UProperty property) {
  return u_hasBinaryProperty(static_cast<UChar32>(scalar), property);
}

const std::vector<char32_t>& emojiPool() {
  static const std::vector<char32_t> pool = [] {
    std::vector<char32_t> scalars;
    for (auto [first, last] : {std::pair<char32_t, char32_t>{0x1F600, 0x1F64F},
                               {0x1F300, 0x1F5FF},
                               {0x1F680, 0x1F6FF}}) {
      for (char32_t scalar = first; scalar <= last; ++scalar) {
        // A skin-tone modifier alone is no emoji a conversation could be named by.
        if (hasProperty(scalar, UCHAR_EMOJI_PRESENTATION) &&
            !hasProperty(scalar, UCHAR_EMOJI_MODIFIER))
          scalars.push_back(scalar);
      }
    }
    return scalars;
  }();
  return pool;
}

char32_t firstScalar(const QString& text) { return text.isEmpty() ? 0 : text.toUcs4().front(); }

bool isLoneModifier(const QString& grapheme) {
  const QList<uint> scalars = grapheme.toUcs4();
  return scalars.size() == 1 && hasProperty(scalars.front(), UCHAR_EMOJI_MODIFIER);
}

}  // namespace

EmojiTextField::EmojiTextField(QWidget* parent) : QLineEdit(parent) {
  QFont font = this->font();
  font.setPixelSize(32);
  setFont(colorEmojiFont(font));
  setFrame(false);
  setAttribute(Qt::WA_MacShowFocusRect, false);
  setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
  setAlignment(Qt::AlignCenter);
  connect(this, &QLineEdit::textEdited, this, &EmojiTextField::normalizeText);
}

QString EmojiTextField::randomEmoji() {
  const std::vector<char32_t>& pool = emojiPool();
  thread_local std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> index(0, pool.size() - 1);
  const char32_t scalar = pool[index(engine)];
  return QString::fromUcs4(&scalar, 1);
}

const QStringList& EmojiTextField::pool() {
  static const QStringList texts = [] {
    QStringList all;
    for (const char32_t scalar : emojiPool()) all.push_back(QString::fromUcs4(&scalar, 1));
    return all;
  }();
  return texts;
}

std::optional<QString> EmojiTextField::lastEmoji(const QString& text) {
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  graphemes.toEnd();
  qsizetype end = text.size();
  for (qsizetype start = graphemes.toPreviousBoundary(); start >= 0;
       end = start, start = graphemes.toPreviousBoundary()) {
    const QString grapheme = text.mid(start, end - start);
    if (hasProperty(firstScalar(grapheme), UCHAR_EMOJI) && !isLoneModifier(grapheme))
      return grapheme;
  }
  return std::nullopt;
}

void EmojiTextField::normalizeText() {
  const QString current = text();
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, current);
  const bool singleGrapheme = !current.isEmpty() && graphemes.toNextBoundary() == current.size();
  if (singleGrapheme && hasProperty(firstScalar(current), UCHAR_EMOJI_PRESENTATION) &&
      !isLoneModifier(current)) {
    end(false);
    emit emojiChanged(current);
    return;
  }
  setText(lastEmoji(current).value_or(randomEmoji()));
  end(false);
  emit emojiChanged(text());
  emit pickerRequested();
}

void EmojiTextField::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit pickerRequested();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void EmojiTextField::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  end(false);
}

}  // namespace tessra
