#include "Tessra/settings/about_settings_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaProperty>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/artwork.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/app_version.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "Tessra/ui_foundation/small_views.h"

namespace tessra {

namespace {

constexpr const char* kCanCheckProperty = "canCheckForUpdates";

QLabel* valueRow(QVBoxLayout* rows, QWidget* parent, const QString& label, const QString& value) {
  auto* row = new QHBoxLayout;
  row->addWidget(plainLabel(label, parent));
  row->addStretch(1);
  auto* text = plainLabel(value, parent);
  styleText(text, palette::mutedText());
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  row->addWidget(text);
  rows->addLayout(row);
  return text;
}

QLabel* pageTitle(const QString& text, int pixelSize, QWidget* parent) {
  auto* title = plainLabel(text, parent);
  title->setAlignment(Qt::AlignCenter);
  styleText(title, palette::headingText(), pixelSize, QFont::Bold);
  return title;
}

}  // namespace

AboutSettingsView::AboutSettingsView(QWidget* parent)
    : AboutSettingsView(
          AppDelegate::shared() ? AppDelegate::shared()->updaterController() : nullptr,
          QString::fromLatin1(app_version::kVersion), QString::fromLatin1(app_version::kBuild),
          parent) {}

AboutSettingsView::AboutSettingsView(QObject* updater, const QString& version, const QString& build,
                                     QWidget* parent)
    : QWidget(parent), m_updater(updater) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 28, 20, 20);
  page->setSpacing(4);
  auto* icon = plainLabel({}, this);
  icon->setObjectName(QStringLiteral("appIcon"));
  icon->setPixmap(artwork::image(QStringLiteral("AppIcon"), QSize(128, 128), devicePixelRatioF()));
  page->addWidget(icon, 0, Qt::AlignHCenter);
  page->addWidget(pageTitle(LocalizedText::General::tessraAI(), 26, this));
  page->addSpacing(16);

  QVBoxLayout* rows = addSection(page, this);
  m_version = valueRow(rows, this, LocalizedText::General::version(), version);
  m_build = valueRow(rows, this, LocalizedText::General::build(), build);

  m_check = new FlatButton(LocalizedText::General::checkForUpdates(),
                           {.customBase = palette::raisedBackground()}, this);
  m_check->setObjectName(QStringLiteral("checkForUpdates"));
  m_check->setIcon(artwork::symbolIcon(QStringLiteral("square.and.arrow.down"), Qt::white));
  page->addWidget(m_check, 0, Qt::AlignLeft);
  page->addStretch(1);
  connect(m_check, &QAbstractButton::clicked, this, [this] {
    if (m_updater) QMetaObject::invokeMethod(m_updater, "checkForUpdates");
  });
  followUpdater();
}

void AboutSettingsView::followUpdater() {
  readUpdater();
  if (!m_updater) return;
  const QMetaObject* meta = m_updater->metaObject();
  const int index = meta->indexOfProperty(kCanCheckProperty);
  if (index < 0 || !meta->property(index).hasNotifySignal()) return;
  // The property's own change signal, whatever it carries, leads to a fresh read.
  connect(m_updater, meta->property(index).notifySignal(), this,
          metaObject()->method(metaObject()->indexOfSlot("readUpdater()")));
}

void AboutSettingsView::readUpdater() {
  m_check->setEnabled(m_updater && m_updater->property(kCanCheckProperty).toBool());
}

SettingsUnimplementedView::SettingsUnimplementedView(QWidget* parent) : QWidget(parent) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 28, 20, 20);
  page->setSpacing(8);
  page->addWidget(pageTitle(LocalizedText::forKey(u"Soon 👀"), 22, this));
  page->addSpacing(12);
  QVBoxLayout* rows = addSection(page, this);
  const MessageWithLink section = addMessageWithLink(
      rows, this, LocalizedText::Settings::unimplementedMessage(), palette::secondaryText(),
      LocalizedText::Settings::visitOurWebsite(), QStringLiteral(TESSRA_WEBSITE));
  section.message->setObjectName(QStringLiteral("message"));
  m_website = section.link;
  m_website->setObjectName(QStringLiteral("visitOurWebsite"));
  page->addStretch(1);
}

SmartTextSelectionSettingsView::SmartTextSelectionSettingsView(QWidget* parent) : QWidget(parent) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 20, 20, 20);
  QVBoxLayout* rows = addSection(page, this, LocalizedText::forKey(u"Settings"));
  auto enabled = std::make_shared<bool>(false);
  rows->addWidget(new SettingsToggleView(
      LocalizedText::forKey(u"Enabled"),
      {[enabled] { return *enabled; }, [enabled](bool on) { *enabled = on; }}, this));
  rows->addWidget(plainLabel(LocalizedText::forKey(u"Hello"), this));
  page->addStretch(1);
}

}  // namespace tessra
