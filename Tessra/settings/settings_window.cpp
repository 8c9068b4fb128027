#include "Tessra/settings/settings_window.h"

#include <QEvent>
#include <QVBoxLayout>

#include "Tessra/settings/settings_view.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/window_utilities.h"
#include "platform/ui/own_size_window.h"

namespace tessra {

SettingsWindow::SettingsWindow() : QWidget(nullptr, Qt::Window) {
  setObjectName(QString::fromLatin1(kIdentifier));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(kWidth, kHeight);
  setMinimumHeight(kMinimumHeight);
  platform::keepOwnSizeOnTilingManagers(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_view = new SettingsView(this);
  layout->addWidget(m_view);
  setWindowTitle(localizedTitle(m_view->selectedPage().name));
  connect(m_view, &SettingsView::selectedPageChanged, this, &QWidget::setWindowTitle);
  countDockWindowUp();
}

SettingsWindow::~SettingsWindow() { countDockWindowDown(); }

void SettingsWindow::registerWindow() {
  setSettingsWindowFactory([] { return new SettingsWindow; });
}

SettingsWindow* SettingsWindow::current() {
  return qobject_cast<SettingsWindow*>(windowWithIdentifier(QString::fromLatin1(kIdentifier)));
}

bool SettingsWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    if (AppDelegate* delegate = AppDelegate::shared()) delegate->closeSidebar();
  }
  return QWidget::event(event);
}

}  // namespace tessra
