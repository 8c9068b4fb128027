// `SettingsView`: the settings window's content, a sidebar of pages beside the selected page's
// content in a scrolling column.
//
// The sidebar always has a page selected (General at first); choosing a row builds that page's
// content anew, dropping the previous one, and announces the page's title for the window. The
// sidebar is fixed at 215 pixels and cannot be hidden. GUI thread only.
#pragma once

#include <QWidget>

#include "Tessra/settings/settings_page.h"

class QListWidget;
class QScrollArea;

namespace tessra {

class SettingsView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSidebarWidth = 215;
  static constexpr int kDetailWidth = 500;

  explicit SettingsView(QWidget* parent = nullptr);

  const SettingsPage& selectedPage() const { return m_selectedPage; }
  // Selects the page of that name when the sidebar lists it.
  void select(SettingsPage::Name name);
  // The content shown for the selected page.
  QWidget* currentDetail() const;
  QListWidget* sidebar() const { return m_sidebar; }

  // The content of a page: General, OpenAI, About and Smart Text Selection have their own, every
  // other name the placeholder.
  static QWidget* detail(const SettingsPage& page, QWidget* parent = nullptr);

 signals:
  // The selected page changed; `title` is its localized name.
  void selectedPageChanged(const QString& title);

 private:
  void show(const SettingsPage& page);

  SettingsPage m_selectedPage;
  QListWidget* m_sidebar = nullptr;
  QScrollArea* m_detail = nullptr;
};

}  // namespace tessra
