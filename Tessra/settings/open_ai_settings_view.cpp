#include "Tessra/settings/open_ai_settings_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

#include <algorithm>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/artwork.h"
#include "Tessra/settings/enter_api_key_view.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {

constexpr int kCheckSize = 20;

}  // namespace

ModelRow::ModelRow(ChatGPTModels model, QWidget* parent) : QAbstractButton(parent), m_model(model) {
  setCursor(Qt::PointingHandCursor);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 12, kCheckSize + 8, 12);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  m_title = plainLabel(QString::fromUtf8(displayTitle(model)), this);
  m_description = plainLabel(QString::fromUtf8(displayDescription(model)), this);
  m_description->setWordWrap(true);
  styleText(m_description, palette::mutedText(), 12);
  for (QLabel* label : {m_title, m_description}) {
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Wrapped text follows the row's width instead of asking for its own.
    label->setMinimumWidth(1);
  }
  texts->addWidget(m_title);
  texts->addWidget(m_description);
  row->addLayout(texts, 1);
  setSelected(false);
}

void ModelRow::setSelected(bool selected) {
  m_selected = selected;
  QFont font = m_title->font();
  font.setWeight(selected ? QFont::DemiBold : QFont::Normal);
  m_title->setFont(font);
  update();
}

QSize ModelRow::sizeHint() const { return layout()->sizeHint(); }

void ModelRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor color = m_selected ? palette::highlightedText() : QColor(128, 128, 128, 26);
  const QPixmap check = artwork::symbol(
      m_selected ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("checkmark.circle"),
      color, kCheckSize, devicePixelRatioF());
  painter.drawPixmap(width() - kCheckSize, (height() - kCheckSize) / 2, check);
}

OpenAiSettingsView::OpenAiSettingsView(QWidget* parent)
    : OpenAiSettingsView(UserSettings::shared(), parent) {}

OpenAiSettingsView::OpenAiSettingsView(UserSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 20, 20, 20);
  page->setSpacing(6);

  QVBoxLayout* keySection = addSection(page, this, LocalizedText::ApiKey::openAiApiKey());
  m_keyLabel = plainLabel({}, this);
  m_keyLabel->setObjectName(QStringLiteral("maskedKey"));
  m_keyLabel->setAlignment(Qt::AlignCenter);
  styleText(m_keyLabel, palette::mutedText());
  m_keyLabel->setTextInteractionFlags(Qt::NoTextInteraction);
  keySection->addWidget(m_keyLabel);
  m_keychainError = plainLabel({}, this);
  m_keychainError->setObjectName(QStringLiteral("keychainError"));
  m_keychainError->setWordWrap(true);
  m_keychainError->setAlignment(Qt::AlignCenter);
  styleText(m_keychainError, palette::destructive());
  keySection->addWidget(m_keychainError);
  m_update = new FlatButton(
      LocalizedText::General::update(),
      {.prominent = true, .text = true, .customBase = palette::raisedBackground()}, this);
  m_update->setIcon(artwork::symbolIcon(QStringLiteral("key"), Qt::white));
  m_update->setObjectName(QStringLiteral("updateKey"));
  page->insertWidget(page->count() - 1, m_update, 0, Qt::AlignRight);
  connect(m_update, &QAbstractButton::clicked, this, &OpenAiSettingsView::presentKeyForm);

  QVBoxLayout* models = addSection(page, this, LocalizedText::General::model());
  models->setSpacing(0);
  for (const ChatGPTModels model : kOfferedModels) {
    auto* row = new ModelRow(model, this);
    connect(row, &QAbstractButton::clicked, this, [this, model] { select(model); });
    models->addWidget(row);
    m_rows.push_back(row);
  }
  page->addStretch(1);

  connect(&m_settings, &UserSettings::openAiKeyChanged, this, &OpenAiSettingsView::showKey);
  connect(&m_settings, &UserSettings::keychainErrorChanged, this, &OpenAiSettingsView::showKey);
  load();
}

QString OpenAiSettingsView::maskedApiKey(const QString& key) {
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, key);
  QList<int> boundaries{0};
  while (finder.toNextBoundary() != -1) boundaries << finder.position();
  const qsizetype count = boundaries.size() - 1;
  if (count < 8) return key;
  const int headEnd = boundaries[3];
  const int tailStart = boundaries[count - 4];
  return key.left(headEnd) + QString(count - 7, QLatin1Char('*')) + key.mid(tailStart);
}

void OpenAiSettingsView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  load();
}

void OpenAiSettingsView::load() {
  showKey();
  m_model = m_settings.value(setting::openAiModel);
  for (ModelRow* row : m_rows) row->setSelected(row->model() == m_model);
}

void OpenAiSettingsView::showKey() {
  m_keyLabel->setText(maskedApiKey(QString::fromStdString(m_settings.openAiKey())));
  const auto& error = m_settings.keychainError();
  m_keychainError->setText(error ? QString::fromStdString(*error) : QString());
  m_keychainError->setVisible(error.has_value());
}

void OpenAiSettingsView::select(ChatGPTModels model) {
  m_model = model;
  m_settings.setValue(setting::openAiModel, model);
  for (ModelRow* row : m_rows) row->setSelected(row->model() == m_model);
}

void OpenAiSettingsView::presentKeyForm() {
  if (m_sheet) return;
  // A dialog window but no QDialog: a QDialog presses its first button, Cancel, on a Return
  // that the key field passes on, and would close the form while its key is being tried.
  auto* sheet = new QWidget(window(), Qt::Dialog | Qt::FramelessWindowHint);
  sheet->setObjectName(QStringLiteral("keySheet"));
  sheet->setWindowModality(Qt::WindowModal);
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  sheet->setAttribute(Qt::WA_TranslucentBackground);
  auto* layout = new QVBoxLayout(sheet);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* form = new EnterApiKeyView(true, m_settings, sheet);
  layout->addWidget(form);
  connect(form, &EnterApiKeyView::closeRequested, sheet, &QWidget::close);
  connect(form, &EnterApiKeyView::closeRequested, this, &OpenAiSettingsView::keySheetClosed);
  m_sheet = sheet;
  placeKeySheet();
  window()->installEventFilter(this);
  sheet->show();
}

void OpenAiSettingsView::placeKeySheet() {
  if (!m_sheet) return;
  // As a sheet comes out of the title bar: the window's title stays in sight above it, and the
  // sheet never reaches below the window.
  const QRect client = window()->geometry();
  const int height = std::min(m_sheet->sizeHint().height(), client.height());
  m_sheet->setGeometry(client.x() + (client.width() - m_sheet->sizeHint().width()) / 2, client.y(),
                       m_sheet->sizeHint().width(), height);
}

bool OpenAiSettingsView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window() && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
    placeKeySheet();
  return QWidget::eventFilter(watched, event);
}

void OpenAiSettingsView::keySheetClosed() {
  window()->removeEventFilter(this);
  showKey();
}

}  // namespace tessra
