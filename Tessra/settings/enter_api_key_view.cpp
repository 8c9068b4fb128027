#include "Tessra/settings/enter_api_key_view.h"

#include <algorithm>

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScrollArea>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

#include "Tessra/chat_engine/chat_gpt_api.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

EnterApiKeyView::EnterApiKeyView(bool isEditing, QWidget* parent)
    : EnterApiKeyView(isEditing, UserSettings::shared(), parent) {}

EnterApiKeyView::EnterApiKeyView(bool isEditing, UserSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_openAiModel(settings.value(setting::openAiModel)) {
  setObjectName(QStringLiteral("enterApiKey"));
  // The height is its host's: the form fits a window shorter than `kHeight` too.
  setFixedWidth(kWidth);
  setAttribute(Qt::WA_TranslucentBackground);
  build(isEditing);
}

void EnterApiKeyView::build(bool isEditing) {
  auto [card, column] = addFormCard(this, QMargins(1, 1, 1, 1));
  column->addWidget(buildForm(card, isEditing), 1);
  buildFooter(addFormFooter(column, card), isEditing);
  buildOverlay();

  setTabOrder(m_keyField, m_modelPicker);
  setTabOrder(m_modelPicker, m_cancel);
  setTabOrder(m_cancel, m_confirm);
  connect(m_keyField, &QLineEdit::textChanged, this, [this] { setValidationError(std::nullopt); });
  connect(m_keyField, &QLineEdit::returnPressed, this, &EnterApiKeyView::save);
  connect(m_confirm, &QAbstractButton::clicked, this, &EnterApiKeyView::save);
  connect(m_cancel, &QAbstractButton::clicked, this, &EnterApiKeyView::closeRequested);
  clickOnEscape(m_cancel, this);
  connect(&m_settings, &UserSettings::keyringAvailableChanged, this, &EnterApiKeyView::updateNote);
}

QWidget* EnterApiKeyView::buildForm(QWidget* card, bool isEditing) {
  using Text = LocalizedText;
  auto* form = new QWidget(card);
  form->setObjectName(QStringLiteral("keyForm"));
  form->setAttribute(Qt::WA_StyledBackground);
  form->setStyleSheet(formStyleSheet());
  auto* column = new QVBoxLayout(form);
  column->setContentsMargins(24, 28, 24, 20);
  column->setSpacing(0);

  auto* icon = plainLabel(QStringLiteral("\U0001F511"), form);
  icon->setObjectName(QStringLiteral("keyIcon"));
  icon->setAlignment(Qt::AlignCenter);
  icon->setFixedSize(44, 44);
  column->addWidget(icon, 0, Qt::AlignHCenter);
  column->addSpacing(10);
  addFormTitle(column, form,
               isEditing ? Text::ApiKey::updateApiKey() : Text::ApiKey::apiKeyRequired(), 24);
  column->addSpacing(16 + 12);

  QVBoxLayout* keyRows =
      addSection(column, form, {}, {.margins = {12, 12, 12, 12}, .rowSpacing = 6, .after = 12});
  keyRows->addWidget(plainLabel(Text::ApiKey::openAiApiKey(), form));
  m_keyField = new QLineEdit(form);
  m_keyField->setObjectName(QStringLiteral("apiKey"));
  keyRows->addWidget(m_keyField);
  m_note = plainLabel(QString(), form);
  m_note->setObjectName(QStringLiteral("note"));
  m_note->setWordWrap(true);
  m_note->setAlignment(Qt::AlignCenter);
  updateNote();
  keyRows->addWidget(m_note);

  QVBoxLayout* modelRows = addSection(column, form, {}, {.margins = {12, 8, 12, 8}, .after = 0});
  m_modelPicker = addModelPickerRow(modelRows, Text::General::model(), m_openAiModel);
  column->addStretch(1);
  return form;
}

void EnterApiKeyView::buildFooter(QWidget* footer, bool isEditing) {
  m_footerColumn = new QVBoxLayout(footer);
  m_footerColumn->setContentsMargins(16, 16, 16, 16);
  m_footerColumn->setSpacing(12);
  m_errorLabel = plainLabel({}, footer);
  m_errorLabel->setObjectName(QStringLiteral("validationError"));
  m_errorLabel->setWordWrap(true);
  m_errorLabel->setAlignment(Qt::AlignCenter);
  m_errorLabel->setStyleSheet(QStringLiteral("color: %1;").arg(palette::destructive().name()));
  // The service says where its keys are found: the user may copy the address.
  m_errorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_errorScroll = new QScrollArea(footer);
  m_errorScroll->setObjectName(QStringLiteral("validationErrorScroll"));
  m_errorScroll->setFrameShape(QFrame::NoFrame);
  m_errorScroll->setWidgetResizable(true);
  m_errorScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_errorScroll->setWidget(m_errorLabel);
  // On the footer's own colour: the area and the label it fills paint no background.
  m_errorScroll->viewport()->setAutoFillBackground(false);
  m_errorLabel->setAutoFillBackground(false);
  m_errorScroll->hide();
  m_errorScroll->installEventFilter(this);
  m_footerColumn->addWidget(m_errorScroll);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(0);
  const FormButtons formButtons =
      addFormButtons(buttons, footer,
                     isEditing ? LocalizedText::General::update() : LocalizedText::General::save(),
                     QStringLiteral("update"));
  m_cancel = formButtons.cancel;
  m_confirm = formButtons.confirm;
  m_footerColumn->addLayout(buttons);
}

void EnterApiKeyView::buildOverlay() {
  m_overlay = new QWidget(this);
  m_overlay->setObjectName(QStringLiteral("busyOverlay"));
  m_overlay->setAttribute(Qt::WA_StyledBackground);
  m_overlay->setStyleSheet(QStringLiteral(
      "QWidget#busyOverlay { background: rgba(0, 0, 0, 153); border-radius: 16px; }"));
  auto* overlayLayout = new QVBoxLayout(m_overlay);
  auto* spinner = new QProgressBar(m_overlay);
  spinner->setRange(0, 0);
  spinner->setTextVisible(false);
  spinner->setFixedSize(120, 6);
  overlayLayout->addWidget(spinner, 0, Qt::AlignCenter);
  m_overlay->hide();
}

int EnterApiKeyView::characterCount(const QString& text) {
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  int count = 0;
  while (finder.toNextBoundary() != -1) ++count;
  return count;
}

void EnterApiKeyView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_appeared) return;
  m_appeared = true;
  m_keyField->setFocus(Qt::OtherFocusReason);
}

void EnterApiKeyView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_overlay->setGeometry(rect());
}

bool EnterApiKeyView::isOpen() const { return isVisible(); }

void EnterApiKeyView::setLoading(bool loading) {
  m_isLoading = loading;
  m_overlay->setGeometry(rect());
  m_overlay->setVisible(loading);
  if (loading) m_overlay->raise();
}

void EnterApiKeyView::updateNote() {
  const bool kept = m_settings.keyringAvailable();
  m_note->setText(kept ? LocalizedText::ApiKey::apiKeyStoredSecurely()
                       : LocalizedText::ApiKey::keptForThisRunOnly());
  // Told before the key is typed: a warning where the promise of the keyring would stand.
  m_note->setStyleSheet(kept ? QStringLiteral("color: %1; font-size: 13px; margin-top: 4px;")
                                   .arg(palette::mutedText().name())
                             : QStringLiteral("color: %1; font-size: 13px; margin-top: 4px;")
                                   .arg(palette::warning().name()));
}

void EnterApiKeyView::setValidationError(std::optional<QString> error) {
  m_validationError = std::move(error);
  m_errorLabel->setText(m_validationError.value_or(QString()));
  m_errorScroll->setVisible(m_validationError.has_value());
  fitError();
}

void EnterApiKeyView::fitError() {
  // Hidden, the area has nothing to fit: an empty label has no height for a width.
  if (!m_validationError) return;
  // Before its first layout the area has no width of its own: the footer's column gives it.
  layout()->activate();
  const int width = m_errorScroll->viewport()->width() > 0 ? m_errorScroll->viewport()->width()
                                                           : m_footerColumn->contentsRect().width();
  const int whole = m_errorLabel->heightForWidth(width);
  const int most = kErrorLines * m_errorLabel->fontMetrics().lineSpacing();
  // A longer message scrolls within those lines.
  m_errorScroll->setFixedHeight(std::clamp(whole, 0, most));
}

bool EnterApiKeyView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_errorScroll && event->type() == QEvent::Resize &&
      static_cast<QResizeEvent*>(event)->oldSize().width() !=
          static_cast<QResizeEvent*>(event)->size().width())
    fitError();
  return QWidget::eventFilter(watched, event);
}

void EnterApiKeyView::save() {
  if (m_isLoading) return;
  setLoading(true);
  const QString key = m_keyField->text().trimmed();
  const int length = characterCount(key);
  if (length < kMinimumKeyLength || length > kMaximumKeyLength) {
    setValidationError(LocalizedText::ApiKey::validationErrorLength());
    setLoading(false);
    return;
  }
  QPointer<EnterApiKeyView> self(this);
  UserSettings::testApiKey(key.toStdString(), m_openAiModel, [self, key](Result<void> answer) {
    // On the client's thread: the form is reached only from the GUI thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, key, answer = std::move(answer)]() mutable {
          if (self) self->finishTest(key, std::move(answer));
        },
        Qt::QueuedConnection);
  });
}

void EnterApiKeyView::finishTest(const QString& key, Result<void> answer) {
  if (!isOpen()) return;
  if (!answer) {
    setValidationError(QString::fromStdString(messageText(answer.error())));
    setLoading(false);
    return;
  }
  QPointer<EnterApiKeyView> self(this);
  m_settings.setOpenAiKey(key.toStdString(), [self](Result<void> stored) {
    if (self) self->finishStore(std::move(stored));
  });
}

void EnterApiKeyView::finishStore(Result<void> stored) {
  if (!stored) {
    if (!isOpen()) return;
    setValidationError(QString::fromStdString(describe(stored.error())));
    setLoading(false);
    return;
  }
  // The keyring has the key by now, so the model goes with it even when the form closed meanwhile.
  m_settings.setValue(setting::openAiModel, m_openAiModel);
  if (!isOpen()) return;
  setLoading(false);
  emit closeRequested();
}

}  // namespace tessra
