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
#include "Tessra/settings/form_support.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

EnterApiKeyView::EnterApiKeyView(bool isEditing, QWidget* parent)
    : EnterApiKeyView(isEditing, UserSettings::shared(), parent) {}

EnterApiKeyView::EnterApiKeyView(bool isEditing, UserSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_openAiModel(settings.openAiModel()) {
  setObjectName(QStringLiteral("enterApiKey"));
  // The height is its host's: the form fits a window shorter than `kHeight` too.
  setFixedWidth(kWidth);
  setAttribute(Qt::WA_TranslucentBackground);
  build(isEditing);
}

void EnterApiKeyView::build(bool isEditing) {
  using Text = LocalizedText;
  auto [card, column] = addFormCard(this, QMargins(1, 1, 1, 1));

  // The form part.
  auto* form = new QWidget(card);
  form->setObjectName(QStringLiteral("keyForm"));
  form->setAttribute(Qt::WA_StyledBackground);
  form->setStyleSheet(
      QStringLiteral("QWidget#keyForm { background: %1; border-top-left-radius: 15px;"
                     " border-top-right-radius: 15px; }"
                     "QLabel { color: %2; }"
                     "QLineEdit { background: %3; color: white; border: none; border-radius: 8px;"
                     " padding: 12px 8px; selection-background-color: %4; }")
          .arg(palette::tertiaryBackground().name(), palette::text().name(),
               palette::secondaryBackground().name(), palette::selectedRow().name()));
  auto* formColumn = new QVBoxLayout(form);
  formColumn->setContentsMargins(24, 28, 24, 20);
  formColumn->setSpacing(0);

  auto* icon = plainLabel(QStringLiteral("\U0001F511"), form);
  icon->setAlignment(Qt::AlignCenter);
  icon->setFixedSize(44, 44);
  icon->setStyleSheet(QStringLiteral("background: %1; border-radius: 22px; font-size: 16px;")
                          .arg(palette::secondaryBackground().name()));
  formColumn->addWidget(icon, 0, Qt::AlignHCenter);
  formColumn->addSpacing(10);
  auto* title =
      plainLabel(isEditing ? Text::ApiKey::updateApiKey() : Text::ApiKey::apiKeyRequired(), form);
  title->setObjectName(QStringLiteral("title"));
  title->setAlignment(Qt::AlignCenter);
  title->setStyleSheet(QStringLiteral("color: %1; font-size: 24px; font-weight: bold;")
                           .arg(palette::headingText().name()));
  formColumn->addWidget(title);
  formColumn->addSpacing(16 + 12);

  auto* section = sectionCard(form);
  auto* sectionColumn = new QVBoxLayout(section);
  sectionColumn->setContentsMargins(12, 12, 12, 12);
  sectionColumn->setSpacing(6);
  sectionColumn->addWidget(plainLabel(Text::ApiKey::openAiApiKey(), section));
  m_keyField = new QLineEdit(section);
  m_keyField->setObjectName(QStringLiteral("apiKey"));
  m_keyField->setStyleSheet(
      QStringLiteral("background: %1;").arg(palette::tertiaryBackground().name()));
  sectionColumn->addWidget(m_keyField);
  m_note = plainLabel(QString(), section);
  m_note->setObjectName(QStringLiteral("note"));
  m_note->setWordWrap(true);
  m_note->setAlignment(Qt::AlignCenter);
  updateNote();
  connect(&m_settings, &UserSettings::keyringAvailableChanged, this, &EnterApiKeyView::updateNote);
  sectionColumn->addWidget(m_note);
  formColumn->addWidget(section);
  formColumn->addSpacing(12);

  auto* modelSection = sectionCard(form);
  auto* modelRow = new QHBoxLayout(modelSection);
  modelRow->setContentsMargins(12, 8, 12, 8);
  modelRow->addWidget(plainLabel(Text::General::model(), modelSection));
  modelRow->addStretch(1);
  m_modelPicker = new QComboBox(modelSection);
  m_modelPicker->setObjectName(QStringLiteral("model"));
  // A stored model that is not offered selects no row, and stays the model until one is picked.
  fillModelPicker(m_modelPicker, m_openAiModel);
  connect(m_modelPicker, &QComboBox::activated, this,
          [this](int index) { m_openAiModel = kOfferedModels[static_cast<std::size_t>(index)]; });
  modelRow->addWidget(m_modelPicker);
  formColumn->addWidget(modelSection);
  formColumn->addStretch(1);
  column->addWidget(form, 1);

  QWidget* footer = addFormFooter(column, card);
  auto* footerColumn = new QVBoxLayout(footer);
  footerColumn->setContentsMargins(16, 16, 16, 16);
  footerColumn->setSpacing(12);
  m_footerColumn = footerColumn;
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
  footerColumn->addWidget(m_errorScroll);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(0);
  const FormButtons formButtons =
      addFormButtons(buttons, footer, isEditing ? Text::General::update() : Text::General::save(),
                     QStringLiteral("update"));
  m_cancel = formButtons.cancel;
  m_confirm = formButtons.confirm;
  footerColumn->addLayout(buttons);

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

  setTabOrder(m_keyField, m_modelPicker);
  setTabOrder(m_modelPicker, m_cancel);
  setTabOrder(m_cancel, m_confirm);
  connect(m_keyField, &QLineEdit::textChanged, this, [this] { setValidationError(std::nullopt); });
  connect(m_keyField, &QLineEdit::returnPressed, this, &EnterApiKeyView::save);
  connect(m_confirm, &QAbstractButton::clicked, this, &EnterApiKeyView::save);
  connect(m_cancel, &QAbstractButton::clicked, this, &EnterApiKeyView::closeRequested);
  clickOnEscape(m_cancel, this);
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
  // Before its first layout the area has no width of its own: the footer's column gives it.
  layout()->activate();
  const int width = m_errorScroll->viewport()->width() > 0 ? m_errorScroll->viewport()->width()
                                                           : m_footerColumn->contentsRect().width();
  const int whole = m_errorLabel->heightForWidth(width);
  const int most = kErrorLines * m_errorLabel->fontMetrics().lineSpacing();
  // A longer message scrolls within those lines.
  m_errorScroll->setFixedHeight(std::min(whole, most));
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
  m_settings.setOpenAiModel(m_openAiModel);
  if (!isOpen()) return;
  setLoading(false);
  emit closeRequested();
}

}  // namespace tessra
