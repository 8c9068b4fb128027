#include "Tessra/shell/status_item.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMenu>

#include <utility>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/app_version.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/shell/menu_bar_icon.h"
#include "Tessra/shell/open_tessra_global.h"
#include "Tessra/shell/updater.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"
#include "shortcuts/menu_item_shortcut.h"

namespace tessra {

namespace {

StatusItem* g_shared = nullptr;

// The menu's symbols: a mid grey, seen on the program's dark menu and on the light menus of the
// trays that draw the menu themselves.
const QColor kSymbolColor = palette::gray();

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

StatusItem::~StatusItem() = default;

bool StatusItem::trayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

QRect StatusItem::geometry() const {
  return m_statusItem.isVisible() ? m_statusItem.geometry() : QRect();
}

void StatusItem::start() {
  if (m_started) return;
  m_started = true;
  m_statusItem.setIcon(menuBarIcon());
  m_statusItem.setToolTip(LocalizedText::General::tessraAI());
  m_menu.reset(makeMenu());
  m_statusItem.setContextMenu(m_menu.get());
  connect(&m_statusItem, &QSystemTrayIcon::activated, this, &StatusItem::handleClick);
  UserSettings::shared().onValueChanged(setting::menuBarVisible, this,
                                        &StatusItem::visibilityChanged);
  visibilityChanged();
}

void StatusItem::visibilityChanged() {
  m_statusItem.setVisible(UserSettings::shared().value(setting::menuBarVisible));
}

void StatusItem::handleClick(QSystemTrayIcon::ActivationReason reason) {
  // A right click needs nothing here: the tray shows the context menu itself. A second click soon
  // after the first is a click too (an XEmbed tray reports it as a double click).
  if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
    openTessraAction();
}

QMenu* StatusItem::makeMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  QAction* open = menu->addAction(QString(), this, &StatusItem::openTessraAction);
  open->setShortcutVisibleInContextMenu(true);
  menu->addSeparator();

  QMenu* feedback = menu->addMenu(lineSymbol(u"envelope", kSymbolColor), QString());
  QAction* openEmail = feedback->addAction(QString(), this, &StatusItem::openEmailAction);
  QAction* copyEmail = feedback->addAction(QString(), this, &StatusItem::copyEmailAction);
  QAction* share = menu->addAction(lineSymbol(u"heart", kSymbolColor), QString(), this,
                                   &StatusItem::shareAction);
  menu->addSeparator();

  QAction* updates = menu->addAction(QString(), this, &StatusItem::checkForUpdatesAction);
  QAction* settings = menu->addAction(QString(), this, &StatusItem::showSettingsAction);
  menu->addSeparator();

  QAction* quit = menu->addAction(QString(), this, &StatusItem::quitApp);
  quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
  quit->setShortcutVisibleInContextMenu(true);

  // What the entries show and allow changes while the program runs: whether the program holds
  // its shortcut, whether updates can be looked for now.
  const auto refresh = [=] {
    open->setText(LocalizedText::General::openTessra());
    shortcuts::setShortcut(open, openTessraGlobal());
    feedback->setTitle(LocalizedText::General::sendFeedback());
    openEmail->setText(LocalizedText::General::openEmail());
    copyEmail->setText(LocalizedText::General::copyEmail());
    share->setText(LocalizedText::General::share());
    updates->setText(LocalizedText::General::checkForUpdates());
    const UpdaterController* updater =
        AppDelegate::shared() != nullptr ? AppDelegate::shared()->updaterController() : nullptr;
    updates->setEnabled(updater != nullptr && updater->canCheckForUpdates());
    settings->setText(LocalizedText::General::settings());
    settings->setEnabled(hasSettingsWindow());
    quit->setText(LocalizedText::General::quit());
  };
  refresh();
  connect(menu, &QMenu::aboutToShow, menu, refresh);
  // A tray that shows the exported menu may read the entries before it tells of the opening.
  if (AppDelegate::shared() != nullptr && AppDelegate::shared()->updaterController() != nullptr)
    connect(AppDelegate::shared()->updaterController(),
            &UpdaterController::canCheckForUpdatesChanged, menu, refresh);
  return menu;
}

void StatusItem::openTessraAction() {
  AppDelegate* delegate = AppDelegate::shared();
  if (delegate == nullptr) return;
  // Where the tray hosts the item over D-Bus, the program cannot know where the icon (or the
  // menu the tray shows) stands: the press of this very click closed the panel as a press
  // outside it, and this activation, which follows the release, must not show it again.
  if (FloatingWindow* panel = delegate->floatingWindow();
      panel != nullptr && panel->takeClosingPress(QCursor::pos()))
    return;
  delegate->toggleFloatingWindow();
}

void StatusItem::checkForUpdatesAction() {
  if (AppDelegate::shared() == nullptr) return;
  if (UpdaterController* updater = AppDelegate::shared()->updaterController())
    updater->checkForUpdates();
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
