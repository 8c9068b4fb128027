#include "Tessra/settings/settings_window.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "Tessra/settings/settings_view.h"

namespace tessra {

namespace {

std::function<void()>& becameKeyAction() {
  static std::function<void()> action;
  return action;
}

}  // namespace

SettingsWindow::SettingsWindow() : QWidget(nullptr, Qt::Window) {
  setObjectName(QString::fromLatin1(kIdentifier));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(kWidth, kHeight);
  setMinimumHeight(kMinimumHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_view = new SettingsView(this);
  layout->addWidget(m_view);
  setWindowTitle(localizedTitle(m_view->selectedPage().name));
  connect(m_view, &SettingsView::selectedPageChanged, this, &QWidget::setWindowTitle);
}

SettingsWindow::~SettingsWindow() = default;

SettingsWindow* SettingsWindow::current() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() != QLatin1String(kIdentifier)) continue;
    if (auto* window = qobject_cast<SettingsWindow*>(widget)) return window;
  }
  return nullptr;
}

SettingsWindow* SettingsWindow::present() {
  if (SettingsWindow* open = current()) {
    open->show();
    open->raise();
    open->activateWindow();
    return open;
  }
  auto* window = new SettingsWindow;
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect available = screen->availableGeometry();
    window->move(available.x() + (available.width() - window->width()) / 2,
                 available.y() + (available.height() - window->height()) / 2);
  }
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

void SettingsWindow::setOnBecameKey(std::function<void()> action) {
  becameKeyAction() = std::move(action);
}

bool SettingsWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && becameKeyAction()) becameKeyAction()();
  return QWidget::event(event);
}

}  // namespace tessra
