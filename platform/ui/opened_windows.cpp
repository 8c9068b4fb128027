#include "platform/ui/opened_windows.h"

#include <QApplication>
#include <QPointer>
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

void closeOpenedOver(const QWindow* over, bool takersOfTheKeyboardOnly) {
  if (over == nullptr) return;
  std::vector<std::pair<int, QPointer<QWidget>>> opened;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    const QWindow* window = widget->windowHandle();
    if (!widget->isVisible() || window == nullptr || window == over) continue;
    if (takersOfTheKeyboardOnly && window->flags().testFlag(Qt::WindowDoesNotAcceptFocus)) continue;
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
