#include "platform/ui/opened_windows.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <utility>
#include <vector>

namespace tessra::platform {
namespace {

// How many windows `window` was opened over, counting back to one opened over nothing.
int depth(const QWindow* window) {
  int count = 0;
  for (const QWindow* w = window->transientParent(); w != nullptr; w = w->transientParent())
    ++count;
  return count;
}

// Whether a screen holds the middle of `window`: there the user still sees it and reaches it,
// even when a smaller monitor cuts off its edge.
bool standsOnAScreen(const QWindow* window) {
  const QPoint middle = window->frameGeometry().center();
  const QList<QScreen*> screens = QGuiApplication::screens();
  return std::ranges::any_of(
      screens, [&](const QScreen* screen) { return screen->geometry().contains(middle); });
}

void closeOpenedOver(const QWindow* over, bool leftBehindOnly) {
  if (over == nullptr) return;
  std::vector<std::pair<int, QPointer<QWidget>>> opened;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    const QWindow* window = widget->windowHandle();
    if (!widget->isVisible() || window == nullptr || window == over) continue;
    if (leftBehindOnly &&
        (window->flags().testFlag(Qt::WindowDoesNotAcceptFocus) || standsOnAScreen(window)))
      continue;
    if (isOpenedOver(window, over)) opened.emplace_back(depth(window), widget);
  }
  // A submenu before its menu, a panel's popup before the panel: each closes as the user would
  // close it, from the top.
  std::ranges::stable_sort(opened, std::greater{}, &std::pair<int, QPointer<QWidget>>::first);
  for (const auto& [ignored, widget] : opened)
    if (widget && widget->isVisible()) widget->close();
}

}  // namespace

bool isOpenedOver(const QWindow* window, const QWindow* over) {
  for (const QWindow* w = window; w != nullptr; w = w->transientParent()) {
    if (w == over) return true;
  }
  return false;
}

void closeWindowsOpenedOver(const QWindow* over) { closeOpenedOver(over, false); }

void closeWindowsLeftBehind(const QWindow* over) { closeOpenedOver(over, true); }

}  // namespace tessra::platform
