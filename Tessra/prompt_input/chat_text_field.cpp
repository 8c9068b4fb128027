#include "Tessra/prompt_input/chat_text_field.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/prompt_input/borderless_window.h"
#include "Tessra/prompt_input/chat_text_field_completion_view.h"
#include "Tessra/prompt_input/custom_text_view.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {
constexpr qreal kCornerRadius = 8;
constexpr qreal kFocusedOutlineOpacity = 0.65;
constexpr qreal kOutlineOpacity = 0.2;
}  // namespace

ChatTextField::ChatTextField(QWidget* parent)
    : QWidget(parent),
      m_editor(new CustomTextView),
      m_placeholder(plainLabel(LocalizedText::Chat::promptPlaceholder())),
      m_completionView(new ChatTextFieldCompletionView),
      m_completionWindow(
          new BorderlessWindow(this, m_completionView, BorderlessWindowBehavior::applicationDefined,
                               QPointF(0.5, 0), QPointF(0.5, 1), QPoint(0, -kListGap))) {
  setAttribute(Qt::WA_TranslucentBackground);
  // The box is as high as its text; the chat lays out around it.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  m_placeholder->setFont(m_editor->font());
  QPalette placeholderPalette = m_placeholder->palette();
  placeholderPalette.setColor(QPalette::WindowText, palette::faintText());
  m_placeholder->setPalette(placeholderPalette);
  m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_placeholder->setStyleSheet(QStringLiteral("background: transparent"));
  m_placeholder->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // The placeholder lies under the editor, whose background is transparent.
  m_placeholder->setParent(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kHorizontalPadding, kVerticalPadding, kHorizontalPadding,
                             kVerticalPadding);
  layout->addWidget(m_editor);
  m_placeholder->lower();
  setFocusProxy(m_editor);

  m_editor->installEventFilter(this);
  connect(m_editor, &CustomTextView::sendRequested, this, &ChatTextField::submit);
  connect(m_editor, &CustomTextView::attachmentPasted, this, &ChatTextField::attachmentPasted);
  connect(m_editor, &CustomTextView::unreadableImagePasted, this,
          &ChatTextField::unreadableImagePasted);
  connect(m_editor, &QPlainTextEdit::textChanged, this, &ChatTextField::onTextChange);
  // The arrows reach the list only while it is shown.
  connect(m_editor, &CustomTextView::commandSelectionUp, this, [this] {
    if (m_completionView->isVisible()) m_completionView->moveSelectionUp();
  });
  connect(m_editor, &CustomTextView::commandSelectionDown, this, [this] {
    if (m_completionView->isVisible()) m_completionView->moveSelectionDown();
  });
  connect(m_completionView, &ChatTextFieldCompletionView::commandToBeExecutedChanged, this,
          [this](QAction* command) { m_commandToBeExecuted = command; });
  connect(m_completionWindow, &BorderlessWindow::shownChanged, this,
          [this](bool shown) { m_isSuggestionsVisible = shown; });
  m_hideObserver = platform::NotificationCenter::defaultCenter().addObserver(
      std::string(notification_names::kWillHideGptWindow), [this](const platform::Notification&) {
        // A half-typed command does not survive hiding the window; prose does.
        if (m_editor->startsWithSlash()) setText(QString());
      });
}

ChatTextField::~ChatTextField() = default;

QString ChatTextField::text() const { return m_editor->toPlainText(); }

void ChatTextField::setText(const QString& text) { m_editor->setText(text); }

void ChatTextField::setEnterToSend(std::optional<bool> enterToSend) {
  m_editor->setEnterToSend(enterToSend);
}

void ChatTextField::setCommands(const QList<QAction*>& actions) {
  m_completionView->setCommands(actions);
}

bool ChatTextField::isFocused() const { return m_editor->hasFocus(); }

void ChatTextField::focusInput() { m_editor->setFocus(Qt::OtherFocusReason); }

void ChatTextField::submit() {
  if (m_editor->startsWithSlash()) {
    if (m_commandToBeExecuted) emit commandChosen(m_commandToBeExecuted);
    m_commandToBeExecuted = nullptr;
    setText(QString());
    return;
  }
  emit sendRequested();
}

void ChatTextField::onTextChange() {
  const bool slash = m_editor->startsWithSlash();
  // The list filters before it shows, so showing it highlights the first matching command.
  if (slash) m_completionView->filterCommands(m_editor->toPlainText());
  m_isSuggestionsVisible = slash;
  m_completionWindow->setShown(slash);
  m_placeholder->setVisible(m_editor->document()->isEmpty());
  emit textChanged();
}

void ChatTextField::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
  painter.fillPath(shape, palette::colorFromHex("#1E1E1E"));
  QColor outline = palette::colorFromHex("#707070");
  outline.setAlphaF(isFocused() ? kFocusedOutlineOpacity : kOutlineOpacity);
  painter.setPen(QPen(outline, 1));
  painter.drawPath(shape);
}

void ChatTextField::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_placeholder->setGeometry(m_editor->geometry());
  m_completionView->setFixedWidth(width());
  m_completionWindow->place();
}

bool ChatTextField::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_editor &&
      (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
    update();
    emit focusedChanged(event->type() == QEvent::FocusIn);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tessra
