#include "Tessra/prompt_input/custom_text_view.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMimeData>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

#include "Tessra/prompt_input/attachment_sources.h"
#include "Tessra/prompt_input/monospaced_font.h"
#include "Tessra/storage/notification_names.h"
#include "platform/ui/held_keys.h"

namespace tessra {

CustomTextView::CustomTextView(QWidget* parent) : QPlainTextEdit(parent) {
  setFont(monospacedFont(kFontPixelSize));
  setFrameShape(QFrame::NoFrame);
  setAttribute(Qt::WA_TranslucentBackground);
  viewport()->setAutoFillBackground(false);
  setStyleSheet(QStringLiteral(
      "QPlainTextEdit { background: transparent; color: white; }"
      "QScrollBar:vertical { width: 6px; background: transparent; margin: 0; }"
      "QScrollBar::handle:vertical { background: #5a5d63; border-radius: 3px; min-height: 20px; }"
      "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
      "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }"));
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setTabChangesFocus(true);
  setUndoRedoEnabled(true);
  setAcceptDrops(false);
  viewport()->setAcceptDrops(false);
  document()->setDocumentMargin(0);
  setFixedHeight(minHeight());
  connect(this, &QPlainTextEdit::textChanged, this, &CustomTextView::updateHeight);
  m_forwardObserver = platform::NotificationCenter::defaultCenter().addObserver(
      std::string(notification_names::kFocusOnPromptInput),
      [this](const platform::Notification& notification) { appendInputedText(notification); });
}

CustomTextView::~CustomTextView() = default;

bool CustomTextView::startsWithSlash() const {
  return document()->firstBlock().text().startsWith(u'/');
}

void CustomTextView::setText(const QString& text) {
  if (text == toPlainText()) return;
  const int anchor = textCursor().anchor();
  const int position = textCursor().position();
  setPlainText(text);
  // A selection made in a longer text must not point past the end of the new one.
  const int end = static_cast<int>(text.size());
  QTextCursor cursor(document());
  cursor.setPosition(std::min(anchor, end));
  cursor.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

void CustomTextView::updateHeight() {
  if (startsWithSlash()) return;
  // The plain-text layout counts wrapped lines incrementally, so this stays cheap in a long text.
  const qreal lines = document()->documentLayout()->documentSize().height();
  const int used = static_cast<int>(
      std::ceil(lines * fontMetrics().lineSpacing() + 2 * document()->documentMargin()));
  const int height = std::clamp(used, minHeight(), maxHeight());
  // Only a text taller than the box scrolls.
  setVerticalScrollBarPolicy(used > maxHeight() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  if (height != this->height()) setFixedHeight(height);
}

void CustomTextView::resizeToDefaultSize() {
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFixedHeight(minHeight());
}

void CustomTextView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Return while an input method composes confirms the composition; it never sends.
      if (commitComposition()) return;
      insertNewline(event);
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (startsWithSlash() && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (event->key() == Qt::Key_Up) {
          emit commandSelectionUp();
        } else {
          emit commandSelectionDown();
        }
        return;
      }
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // Reached only without a widget to move to: a tab is never typed.
      return;
    default:
      break;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void CustomTextView::insertNewline(QKeyEvent* event) {
  if (!m_enterToSend ||
      !isSignalConnected(QMetaMethod::fromSignal(&CustomTextView::sendRequested))) {
    textCursor().insertText(QStringLiteral("\n"));
    ensureCursorVisible();
    return;
  }
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (shift == *m_enterToSend) {
    textCursor().insertText(QStringLiteral("\n"));
    ensureCursorVisible();
    return;
  }
  // After the key event is done, so the action sees the box as the user left it. The keys typed
  // meanwhile came after the Return: they wait for the send, and go where it leaves the keyboard.
  auto held = std::make_shared<platform::HeldKeys>();
  QTimer::singleShot(0, this, [this, held] {
    emit sendRequested();
    resizeToDefaultSize();
    held->giveTo(*this);
  });
}

bool CustomTextView::commitComposition() {
  const QString composing = textCursor().block().layout()->preeditAreaText();
  if (composing.isEmpty()) return false;
  QInputMethodEvent commit;
  commit.setCommitString(composing);
  inputMethodEvent(&commit);
  QGuiApplication::inputMethod()->reset();
  return true;
}

bool CustomTextView::canInsertFromMimeData(const QMimeData* source) const {
  return source->hasUrls() || source->hasImage() || QPlainTextEdit::canInsertFromMimeData(source);
}

void CustomTextView::insertFromMimeData(const QMimeData* source) {
  const std::unique_ptr<QMimeData> pasted = copyForPaste(source);
  const AttachmentOffer offer = fromPasteboard(pasted.get());
  if (const auto* attachment = std::get_if<ChatAttachment>(&offer)) {
    emit attachmentPasted(*attachment);
    return;
  }
  if (const auto* image = std::get_if<UnreadableImage>(&offer)) {
    emit unreadableImagePasted(*image);
    return;
  }
  // Qt's own paste reads the first format without looking whether there is one; a source that
  // served nothing pastes nothing.
  if (!pasted->formats().isEmpty()) QPlainTextEdit::insertFromMimeData(pasted.get());
}

void CustomTextView::appendInputedText(const platform::Notification& notification) {
  const auto text = notification.payload.find(std::string(notification_names::kInputedTextKey));
  if (text != notification.payload.end() && text->is_string()) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromStdString(text->get<std::string>()));
    setTextCursor(end);
    updateHeight();
    setFocus(Qt::OtherFocusReason);
    return;
  }
  if (const auto* attachment = std::any_cast<ChatAttachment>(&notification.object))
    emit attachmentPasted(*attachment);
  if (const auto* image = std::any_cast<UnreadableImage>(&notification.object))
    emit unreadableImagePasted(*image);
}

}  // namespace tessra
