#include "Tessra/settings/settings_slider.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
  auto* label = plainLabel(text, parent);
  label->setStyleSheet(QStringLiteral("color: %1;").arg(palette::mutedText().name()));
  return label;
}

}  // namespace

SettingsSlider::SettingsSlider(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)) {
  m_steps = std::max(
      1, static_cast<int>(std::lround((m_options.upper - m_options.lower) / m_options.step)));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6);

  auto* header = new QHBoxLayout;
  header->setSpacing(8);
  auto* title = plainLabel(m_options.title, this);
  header->addWidget(title);
  m_badge = plainLabel({}, this);
  m_badge->setObjectName(QStringLiteral("badge"));
  const QColor accent = palette::accent();
  m_badge->setStyleSheet(QStringLiteral("QLabel#badge { background: %1; color: white; "
                                        "border-radius: 9px; padding: 2px 6px; }")
                             .arg(accent.name()));
  header->addWidget(m_badge);
  header->addStretch(1);
  if (m_options.defaultValue) {
    m_reset = new QPushButton(LocalizedText::forKey(u"Reset"), this);
    connect(m_reset, &QPushButton::clicked, this, [this] { write(*m_options.defaultValue); });
    header->addWidget(m_reset);
  }
  column->addLayout(header);
  column->addSpacing(6);

  m_slider = new QSlider(Qt::Horizontal, this);
  m_slider->setRange(0, m_steps);
  m_slider->setSingleStep(1);
  m_slider->setPageStep(1);
  connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
    if (!m_syncing) write(valueAt(position));
  });
  column->addWidget(m_slider);

  if (m_options.leftHint || m_options.centerHint || m_options.rightHint) {
    auto* hints = new QHBoxLayout;
    if (m_options.leftHint) {
      auto* left = secondaryLabel(*m_options.leftHint, this);
      hints->addWidget(left, 1, Qt::AlignLeft);
    }
    if (m_options.centerHint) hints->addWidget(secondaryLabel(*m_options.centerHint, this));
    if (m_options.rightHint) {
      auto* right = secondaryLabel(*m_options.rightHint, this);
      right->setAlignment(Qt::AlignRight);
      hints->addWidget(right, 1, Qt::AlignRight);
    }
    column->addLayout(hints);
    column->addSpacing(6);
  }
  if (m_options.description) {
    auto* description = plainLabel(*m_options.description, this);
    description->setWordWrap(true);
    description->setStyleSheet(QStringLiteral("color: %1;").arg(palette::faintText().name()));
    QFont callout = description->font();
    callout.setPointSizeF(callout.pointSizeF() * 0.92);
    description->setFont(callout);
    column->addWidget(description);
  }
  refresh();
}

QString SettingsSlider::formattedValue(double value) { return QLocale().toString(value, 'f', 2); }

QString SettingsSlider::badgeText() const { return m_badge->text(); }

void SettingsSlider::refresh() {
  const double value = m_options.value.get ? m_options.value.get() : 0.0;
  std::optional<QString> text;
  if (m_options.customFormatter) text = m_options.customFormatter(value);
  m_badge->setText(text.value_or(formattedValue(value)));
  m_syncing = true;
  m_slider->setValue(positionOf(value));
  m_syncing = false;
}

double SettingsSlider::valueAt(int position) const {
  // Whole steps of a tenth come out as the decimal the user sees (0.5, not 0.5000000000000001),
  // so that a value set by hand compares equal to the same default.
  const double perUnit = std::round(1.0 / m_options.step);
  if (perUnit >= 1 && std::abs(perUnit * m_options.step - 1.0) < 1e-12)
    return (std::round(m_options.lower * perUnit) + position) / perUnit;
  return m_options.lower + position * m_options.step;
}

int SettingsSlider::positionOf(double value) const {
  const double clamped = std::clamp(value, m_options.lower, m_options.upper);
  return static_cast<int>(std::lround((clamped - m_options.lower) / m_options.step));
}

void SettingsSlider::write(double value) {
  if (m_options.value.set) m_options.value.set(value);
  refresh();
}

}  // namespace tessra
