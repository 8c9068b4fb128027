#include "Tessra/shell/status_item.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMenu>

#include <utility>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/app_version.h"
#include "Tessra/shell/menu_bar_icon.h"
#include "Tessra/shell/open_tessra_global.h"
#include "Tessra/shell/updater.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/constants.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "shortcuts/menu_item_shortcut.h"

namespace tessra {

namespace {

StatusItem* g_shared = nullptr;

}  // namespace

StatusItem& StatusItem::shared() {
  if (g_shared != nullptr) return *g_shared;
  g_shared = new StatusItem;
  // Gone while the widget system still stands: the application runs its post routines first
  // thing in its destructor, and a tray icon destroyed after the widgets crashes the program.
  qAddPostRoutine([] { delete std::exchange(g_shared, nullptr); });
  return *g_shared;
}

StatusItem::StatusItem(QObject* parent)
    : QObject(parent), m_email(QString::fromLatin1(app_version::kSupportEmail)) {}

bool StatusItem::trayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

QRect StatusItem::geometry() const {
  return m_statusItem.isVisible() ? m_statusItem.geometry() : QRect();
}

void StatusItem::start() {
  if (m_started) return;
  m_started = true;
  m_statusItem.setIcon(menuBarIcon());
  m_statusItem.setToolTip(LocalizedText::General::tessraAI());
  connect(&m_statusItem, &QSystemTrayIcon::activated, this, &StatusItem::handleClick);
  connect(&UserSettings::shared(), &UserSettings::menuBarVisibleChanged, this,
          &StatusItem::visibilityChanged);
  visibilityChanged();
}

void StatusItem::visibilityChanged() {
  m_statusItem.setVisible(UserSettings::shared().menuBarVisible());
}

void StatusItem::handleClick(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::Context) {
    showMenu();
    return;
  }
  if (reason == QSystemTrayIcon::Trigger) openTessraAction();
}

void StatusItem::showMenu() {
  QMenu* menu = makeMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const QRect item = geometry();
  menu->popup(item.isValid() ? item.bottomLeft() : QCursor::pos());
}

QMenu* StatusItem::makeMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  QAction* open =
      menu->addAction(LocalizedText::General::openTessra(), this, &StatusItem::openTessraAction);
  // Shows the shortcut the user recorded and follows its changes.
  shortcuts::setShortcut(open, openTessraGlobal());
  open->setShortcutVisibleInContextMenu(true);
  menu->addSeparator();

  QMenu* feedback = menu->addMenu(QIcon::fromTheme(QStringLiteral("mail-send")),
                                  LocalizedText::General::sendFeedback());
  feedback->addAction(LocalizedText::General::openEmail(), this, &StatusItem::openEmailAction);
  feedback->addAction(LocalizedText::General::copyEmail(), this, &StatusItem::copyEmailAction);
  menu->addAction(QIcon::fromTheme(QStringLiteral("emblem-favorite")),
                  LocalizedText::General::share(), this, &StatusItem::shareAction);
  menu->addSeparator();

  QAction* updates = menu->addAction(LocalizedText::General::checkForUpdates());
  UpdaterController* updater =
      AppDelegate::shared() != nullptr ? AppDelegate::shared()->updaterController() : nullptr;
  updates->setEnabled(updater != nullptr && updater->canCheckForUpdates());
  if (updater != nullptr)
    connect(updates, &QAction::triggered, updater, &UpdaterController::checkForUpdates);
  QAction* settings =
      menu->addAction(LocalizedText::General::settings(), this, &StatusItem::showSettingsAction);
  settings->setEnabled(hasSettingsWindow());
  menu->addSeparator();

  QAction* quit = menu->addAction(LocalizedText::General::quit(), this, &StatusItem::quitApp);
  quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
  quit->setShortcutVisibleInContextMenu(true);
  return menu;
}

void StatusItem::openTessraAction() {
  if (AppDelegate* delegate = AppDelegate::shared()) delegate->toggleFloatingWindow();
}

void StatusItem::openEmailAction() { openURL(QStringLiteral("mailto:") + m_email); }

void StatusItem::copyEmailAction() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(m_email);
}

void StatusItem::shareAction() { openURL(QString::fromLatin1(app_version::kWebsite)); }

void StatusItem::showSettingsAction() { showSettingsWindow(); }

void StatusItem::quitApp() { tessra::quitApp(); }

}  // namespace tessra
