#include "Tessra/settings/settings_view.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Tessra/settings/about_settings_view.h"
#include "Tessra/settings/artwork.h"
#include "Tessra/settings/general_settings_view.h"
#include "Tessra/settings/open_ai_settings_view.h"
#include "Tessra/ui_foundation/palette.h"

namespace tessra {

namespace {

constexpr int kPageRole = Qt::UserRole + 1;

QIcon pageIcon(const SettingsPage::Icon& icon) {
  if (const auto* system = std::get_if<SettingsPage::Icon::System>(&icon.icon))
    return artwork::symbolIcon(system->name, Qt::white, 16);
  const auto& asset = std::get<SettingsPage::Icon::Asset>(icon.icon);
  return QIcon(artwork::image(asset.name, QSize(16, 16), 2.0));
}

}  // namespace

SettingsView::SettingsView(QWidget* parent)
    : QWidget(parent), m_selectedPage(SettingsPage::sidebar()[0].children[0]) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  m_sidebar = new QListWidget(this);
  m_sidebar->setObjectName(QStringLiteral("sidebar"));
  m_sidebar->setFixedWidth(kSidebarWidth);
  m_sidebar->setIconSize(QSize(16, 16));
  m_sidebar->setFrameShape(QFrame::NoFrame);
  m_sidebar->setStyleSheet(
      QStringLiteral("QListWidget#sidebar { background: %1; color: %2; padding: 8px 6px;"
                     " outline: none; }"
                     "QListWidget#sidebar::item { padding: 5px 4px; border-radius: 6px; }"
                     "QListWidget#sidebar::item:selected { background: %3; color: white; }"
                     "QListWidget#sidebar::item:disabled { color: %4; }")
          .arg(palette::secondaryBackground().name(), palette::text().name(),
               palette::selectedRow().name(), palette::mutedText().name()));
  for (const SettingsPage& section : SettingsPage::sidebar()) {
    if (m_sidebar->count() > 0) {
      auto* gap = new QListWidgetItem(m_sidebar);
      gap->setFlags(Qt::NoItemFlags);
      gap->setSizeHint(QSize(0, 8));
    }
    if (section.showName) {
      auto* header = new QListWidgetItem(localizedTitle(section.name), m_sidebar);
      header->setFlags(Qt::NoItemFlags);
      QFont font = header->font();
      font.setPointSizeF(font.pointSizeF() * 0.85);
      font.setBold(true);
      header->setFont(font);
    }
    for (const SettingsPage& page : section.children) {
      auto* item = new QListWidgetItem(localizedTitle(page.name), m_sidebar);
      item->setData(kPageRole, page.id());
      if (page.icon) item->setIcon(pageIcon(*page.icon));
    }
  }
  row->addWidget(m_sidebar);

  m_detail = new QScrollArea(this);
  m_detail->setObjectName(QStringLiteral("detail"));
  m_detail->setWidgetResizable(true);
  m_detail->setFrameShape(QFrame::NoFrame);
  m_detail->setMinimumWidth(kDetailWidth);
  m_detail->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_detail->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Colours through the palette: a style sheet here would slow every page built under it.
  QPalette colors = m_detail->palette();
  colors.setColor(QPalette::Window, palette::tertiaryBackground());
  colors.setColor(QPalette::WindowText, palette::text());
  m_detail->setPalette(colors);
  m_detail->setAutoFillBackground(true);
  m_detail->viewport()->setAutoFillBackground(true);
  row->addWidget(m_detail, 1);

  connect(m_sidebar, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* current, QListWidgetItem* previous) {
            const auto name = current ? settingsPageNameFromRawValue(
                                            current->data(kPageRole).toString().toStdString())
                                      : std::nullopt;
            // The selection is always a page: a header, a gap or nothing puts it back.
            if (!name) {
              if (previous) m_sidebar->setCurrentItem(previous);
              return;
            }
            for (const SettingsPage& section : SettingsPage::sidebar())
              for (const SettingsPage& page : section.children)
                if (page.name == *name) show(page);
          });
  select(m_selectedPage.name);
  show(m_selectedPage);
}

void SettingsView::select(SettingsPage::Name name) {
  const QString id = QString::fromUtf8(rawValue(name));
  for (int i = 0; i < m_sidebar->count(); ++i) {
    if (m_sidebar->item(i)->data(kPageRole).toString() == id) {
      m_sidebar->setCurrentRow(i);
      return;
    }
  }
}

QWidget* SettingsView::currentDetail() const { return m_detail->widget(); }

void SettingsView::show(const SettingsPage& page) {
  const bool changed = !(page == m_selectedPage) || !m_detail->widget();
  m_selectedPage = page;
  if (!changed) return;
  QWidget* content = detail(page);
  content->setObjectName(QStringLiteral("page"));
  // The column's width holds: wrapped texts wrap to it instead of widening the page.
  content->setMinimumWidth(1);
  // A page of wrapped texts is as high as they are at the column's width. Its minimum height
  // would be their height at the narrowest width, an empty stretch below a page that fits.
  if (content->hasHeightForWidth()) {
    QSizePolicy policy = content->sizePolicy();
    policy.setVerticalPolicy(QSizePolicy::Ignored);
    content->setSizePolicy(policy);
  }
  // The previous page is dropped with its state.
  delete m_detail->takeWidget();
  m_detail->setWidget(content);
  emit selectedPageChanged(localizedTitle(page.name));
}

QWidget* SettingsView::detail(const SettingsPage& page, QWidget* parent) {
  switch (page.name) {
    case SettingsPage::Name::general:
      return new GeneralSettingsView(parent);
    case SettingsPage::Name::smartTextSelection:
      return new SmartTextSelectionSettingsView(parent);
    case SettingsPage::Name::openAi:
      return new OpenAiSettingsView(parent);
    case SettingsPage::Name::about:
      return new AboutSettingsView(parent);
    default:
      return new SettingsUnimplementedView(parent);
  }
}

}  // namespace tessra
