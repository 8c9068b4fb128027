#include "Tessra/settings/form_support.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/artwork.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {

class ReturnClicks : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    static_cast<QAbstractButton*>(watched)->click();
    return true;
  }
};

}  // namespace

void fillModelPicker(QComboBox* picker, ChatGPTModels selected) {
  for (const ChatGPTModels model : kOfferedModels)
    picker->addItem(QString::fromUtf8(displayTitle(model)), QString::fromUtf8(rawValue(model)));
  selectModel(picker, selected);
}

void selectModel(QComboBox* picker, ChatGPTModels selected) {
  picker->setCurrentIndex(picker->findData(QString::fromUtf8(rawValue(selected))));
}

RoundedCard::RoundedCard(QColor fill, QColor border, qreal radius, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_border(border), m_radius(radius) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void RoundedCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath path;
  path.addRoundedRect(box, m_radius, m_radius);
  painter.fillPath(path, m_fill);
  painter.setPen(QPen(m_border, 1));
  painter.drawPath(path);
}

FormCard addFormCard(QWidget* form, QMargins margins) {
  auto* card = new RoundedCard(palette::background(), palette::border(), 16, form);
  auto* outer = new QVBoxLayout(form);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(card);
  auto* column = new QVBoxLayout(card);
  column->setContentsMargins(margins);
  column->setSpacing(0);
  return {card, column};
}

QWidget* addFormFooter(QVBoxLayout* column, QWidget* card) {
  auto* divider = new QFrame(card);
  divider->setFixedHeight(1);
  divider->setStyleSheet(QStringLiteral("background: %1;").arg(palette::separator().name()));
  column->addWidget(divider);
  auto* footer = new QWidget(card);
  footer->setObjectName(QStringLiteral("formFooter"));
  footer->setAttribute(Qt::WA_StyledBackground);
  footer->setStyleSheet(
      QStringLiteral("QWidget#formFooter { background: %1; border-bottom-left-radius: 15px;"
                     " border-bottom-right-radius: 15px; }")
          .arg(palette::secondaryBackground().name()));
  column->addWidget(footer);
  return footer;
}

FormButtons addFormButtons(QBoxLayout* row, QWidget* parent, const QString& confirmTitle,
                           const QString& confirmName) {
  FormButtons buttons{
      new FlatButton(LocalizedText::General::cancel(),
                     {.prominent = true, .customBase = palette::secondaryBackground()}, parent),
      new FlatButton(confirmTitle, {.prominent = true}, parent)};
  buttons.cancel->setObjectName(QStringLiteral("cancel"));
  buttons.confirm->setObjectName(confirmName);
  for (FlatButton* button : {buttons.cancel, buttons.confirm}) {
    button->setFocusPolicy(Qt::StrongFocus);
    clickOnReturn(button);
  }
  row->addWidget(buttons.cancel);
  row->addStretch(1);
  row->addWidget(buttons.confirm);
  return buttons;
}

void clickOnReturn(QAbstractButton* button) {
  button->installEventFilter(new ReturnClicks(button));
}

void styleText(QWidget* widget, const QColor& color, int pixelSize, QFont::Weight weight) {
  QPalette colors = widget->palette();
  colors.setColor(QPalette::WindowText, color);
  colors.setColor(QPalette::Text, color);
  widget->setPalette(colors);
  QFont font = widget->font();
  if (pixelSize > 0) font.setPixelSize(pixelSize);
  font.setWeight(weight);
  widget->setFont(font);
}

QLabel* sectionHeader(const QString& text, QWidget* parent) {
  auto* label = plainLabel(text, parent);
  label->setObjectName(QStringLiteral("sectionHeader"));
  label->setContentsMargins(4, 0, 4, 0);
  styleText(label, palette::secondaryText(), 0, QFont::DemiBold);
  return label;
}

QWidget* sectionCard(QWidget* parent) {
  auto* card = new RoundedCard(palette::background(), palette::background(), 8, parent);
  card->setObjectName(QStringLiteral("sectionCard"));
  return card;
}

}  // namespace tessra

namespace tessra {

QString settingRowName(std::string_view key) {
  return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

SettingsToggleView* addToggleRow(QVBoxLayout* rows, const QString& label, UserSettings& settings,
                                 const Setting<bool>& flag) {
  auto* row = new SettingsToggleView(label,
                                     {[&settings, flag] { return settings.value(flag); },
                                      [&settings, flag](bool on) { settings.setValue(flag, on); }},
                                     rows->parentWidget());
  row->setObjectName(settingRowName(flag.key));
  settings.onValueChanged(flag, row, &SettingsToggleView::refresh);
  rows->addWidget(row);
  return row;
}

QString formStyleSheet() {
  return QStringLiteral(
             "QWidget#keyForm { background: %1; border-top-left-radius: 15px;"
             " border-top-right-radius: 15px; }"
             "QScrollArea#conversationSettingsForm, QWidget#formContent { background: %1; }"
             "QLabel { color: %2; }"
             "QLabel#title { color: %3; }"
             "QLabel#keyIcon { background: %4; border-radius: 22px; font-size: 16px; }"
             "QLineEdit { background: %4; color: white; border: none; border-radius: 8px;"
             " padding: 12px 8px; selection-background-color: %5; }"
             "QLineEdit#apiKey { background: %1; }"
             "QPlainTextEdit { background: %1; color: %2; border: 1px solid %6; }")
      .arg(palette::tertiaryBackground().name(), palette::text().name(),
           palette::headingText().name(), palette::secondaryBackground().name(),
           palette::selectedRow().name(), palette::border().name());
}

QLabel* addFormTitle(QVBoxLayout* column, QWidget* parent, const QString& text, int pixelSize) {
  auto* title = plainLabel(text, parent);
  title->setObjectName(QStringLiteral("title"));
  title->setAlignment(Qt::AlignCenter);
  title->setWordWrap(true);
  QFont font = title->font();
  font.setPixelSize(pixelSize);
  font.setBold(true);
  title->setFont(font);
  column->addWidget(title);
  return title;
}

QVBoxLayout* addSection(QVBoxLayout* page, QWidget* parent, const QString& header,
                        const SectionSpacing& spacing) {
  if (!header.isEmpty()) page->addWidget(sectionHeader(header, parent));
  QWidget* card = sectionCard(parent);
  auto* rows = new QVBoxLayout(card);
  rows->setContentsMargins(spacing.margins);
  rows->setSpacing(spacing.rowSpacing);
  page->addWidget(card);
  if (spacing.after > 0) page->addSpacing(spacing.after);
  return rows;
}

DoubleBinding boundTo(double& field) {
  return {[&field] { return field; }, [&field](double value) { field = value; }};
}

SettingsSlider* addSliderRow(QVBoxLayout* rows, SettingsSlider::Options options) {
  auto* slider = new SettingsSlider(std::move(options), rows->parentWidget());
  rows->addWidget(slider);
  return slider;
}

QComboBox* addModelPickerRow(QVBoxLayout* rows, const QString& label, ChatGPTModels& model) {
  QWidget* parent = rows->parentWidget();
  auto* row = new QHBoxLayout;
  row->addWidget(plainLabel(label, parent));
  row->addStretch(1);
  auto* picker = new QComboBox(parent);
  picker->setObjectName(QStringLiteral("model"));
  fillModelPicker(picker, model);
  QObject::connect(picker, &QComboBox::activated, picker, [&model](int index) {
    model = kOfferedModels[static_cast<std::size_t>(index)];
  });
  row->addWidget(picker);
  rows->addLayout(row);
  return picker;
}

QPlainTextEdit* addTextAreaRow(QVBoxLayout* rows, const QString& label, int minimumLines,
                               int maximumLines) {
  QWidget* parent = rows->parentWidget();
  auto* block = new QVBoxLayout;
  block->setSpacing(6);
  block->addWidget(plainLabel(label, parent));
  auto* field = new PlainTextArea(parent);
  field->setTabChangesFocus(true);
  const auto fit = [field, minimumLines, maximumLines] {
    const int lineHeight = field->fontMetrics().lineSpacing();
    const int lines = std::clamp(static_cast<int>(field->document()->size().height()), minimumLines,
                                 maximumLines);
    const int frame =
        2 * field->frameWidth() + static_cast<int>(2 * field->document()->documentMargin());
    field->setFixedHeight(lines * lineHeight + frame);
  };
  QObject::connect(field->document(), &QTextDocument::contentsChanged, field, fit);
  fit();
  block->addWidget(field);
  rows->addLayout(block);
  return field;
}

MessageWithLink addMessageWithLink(QVBoxLayout* rows, QWidget* parent, const QString& message,
                                   const QColor& color, const QString& linkTitle,
                                   const QString& url) {
  auto* text = new QLabel(message, parent);
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignCenter);
  styleText(text, color);
  rows->addWidget(text);
  auto* link = new FlatButton(
      linkTitle, {.prominent = true, .text = true, .customBase = palette::raisedBackground()},
      parent);
  link->setIcon(artwork::symbolIcon(QStringLiteral("arrow.up.right"), Qt::white));
  rows->addWidget(link, 0, Qt::AlignRight);
  QObject::connect(link, &QAbstractButton::clicked, link, [url] { openURL(url); });
  return {text, link};
}

}  // namespace tessra
