#include "Tessra/shell/window_utilities.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPropertyAnimation>
#include <QScreen>

#include "Tessra/shell/app_delegate.h"
#include "platform/ui/animations.h"
#include "platform/ui/held_keys.h"
#include "platform/ui/screens.h"

namespace tessra {
namespace {

constexpr int kFadeInMilliseconds = 250;

std::function<QWidget*()>& settingsWindowFactory() {
  static std::function<QWidget*()> factory;
  return factory;
}

}  // namespace

QWidget* windowWithIdentifier(const QString& identifier) {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (!identifier.isEmpty() && window->objectName() == identifier) return window;
  return nullptr;
}

void centerInWorkArea(QWidget* window) {
  QScreen* screen = window->isVisible() ? window->screen() : nullptr;
  if (screen == nullptr) screen = platform::Screens::screenWithMouseOrMain();
  if (screen == nullptr) return;
  const QRect area = platform::Screens::workArea(screen);
  const QSize size = window->frameGeometry().size();
  window->move(area.x() + (area.width() - size.width()) / 2,
               area.y() + (area.height() - size.height()) / 2);
}

void setSettingsWindowFactory(std::function<QWidget*()> factory) {
  settingsWindowFactory() = std::move(factory);
}

bool hasSettingsWindow() { return static_cast<bool>(settingsWindowFactory()); }

void showSettingsWindow() {
  QWidget* window = windowWithIdentifier(kSettingsWindowIdentifier.toString());
  if (window == nullptr) {
    if (!hasSettingsWindow()) return;
    window = settingsWindowFactory()();
    if (window == nullptr) return;
    window->setObjectName(kSettingsWindowIdentifier.toString());
    window->adjustSize();
    centerInWorkArea(window);
  }
  window->show();
  window->raise();
  window->activateWindow();
  // Until the window manager has activated the window, the keys typed at once after Ctrl+, or the
  // click would reach the panel, and from there its prompt.
  platform::holdKeysFor(window);
}

StandaloneChatWindow::StandaloneChatWindow(QWidget* parent) : QWidget(parent, Qt::Window) {}

StandaloneChatWindow::~StandaloneChatWindow() {
  if (m_counted) countDockWindowDown();
}

void StandaloneChatWindow::showWindow() {
  centerInWorkArea(this);
  setWindowOpacity(0);
  show();
  auto* fadeIn = new QPropertyAnimation(this, "windowOpacity", this);
  fadeIn->setEndValue(1.0);
  fadeIn->setDuration(platform::animationDuration(kFadeInMilliseconds));
  fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
  countDockWindowUp();
  m_counted = true;
}

void StandaloneChatWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && m_counted) {
    m_counted = false;
    countDockWindowDown();
  }
}

}  // namespace tessra
