#include "platform/ui/opened_windows.h"

#include <QApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>

namespace tessra::platform {
namespace {

QWidget* widgetOf(const QWindow* window) {
  if (window == nullptr) return nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->windowHandle() == window) return widget;
  return nullptr;
}

// The window `window` was opened over. Qt records it as the transient parent, but for a popup that
// it shows with no parent over the widget that keeps the keyboard for it (a completer's list under
// its line edit), which it ties to that widget only by handing it the popup's keys.
const QWindow* openedOver(const QWindow* window) {
  if (const QWindow* parent = window->transientParent()) return parent;
  if (window->type() != Qt::Popup) return nullptr;
  const QWidget* popup = widgetOf(window);
  const QWidget* keeper = popup != nullptr ? popup->focusProxy() : nullptr;
  if (keeper == nullptr || keeper->window() == popup) return nullptr;
  return keeper->window()->windowHandle();
}

// How many windows `window` was opened over, counting back to one opened over nothing.
int depth(const QWindow* window) {
  int count = 0;
  for (const QWindow* w = openedOver(window); w != nullptr; w = openedOver(w)) ++count;
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

bool takesTheKeyboard(const QWindow* window) {
  return !window->flags().testFlag(Qt::WindowDoesNotAcceptFocus);
}

// The shown windows opened over `over` of which `counts` holds, the innermost first: a submenu
// before its menu, a panel's popup before the panel.
std::vector<QPointer<QWidget>> shownOpenedOver(const QWindow* over,
                                               const std::function<bool(const QWindow*)>& counts) {
  std::vector<std::pair<int, QPointer<QWidget>>> opened;
  if (over == nullptr) return {};
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    const QWindow* window = widget->windowHandle();
    if (!widget->isVisible() || window == nullptr || window == over || !counts(window)) continue;
    if (isOpenedOver(window, over)) opened.emplace_back(depth(window), widget);
  }
  std::ranges::stable_sort(opened, std::greater{}, &std::pair<int, QPointer<QWidget>>::first);
  std::vector<QPointer<QWidget>> windows;
  for (auto& [ignored, widget] : opened) windows.push_back(std::move(widget));
  return windows;
}

void closeAll(const std::vector<QPointer<QWidget>>& windows) {
  // Each closes as the user would close it, from the top.
  for (const QPointer<QWidget>& widget : windows)
    if (widget && widget->isVisible()) widget->close();
}

// What `window` was opened from: the widget that opened it, else the window it was opened over.
QWidget* openedFrom(const QWidget& window) {
  if (QWidget* parent = window.parentWidget()) return parent;
  return widgetOf(window.windowHandle()->transientParent());
}

}  // namespace

bool isOpenedOver(const QWindow* window, const QWindow* over) {
  for (const QWindow* w = window; w != nullptr; w = openedOver(w)) {
    if (w == over) return true;
  }
  return false;
}

void closeWindowsOpenedOver(const QWindow* over) {
  closeAll(shownOpenedOver(over, [](const QWindow*) { return true; }));
}

void closeWindowsLeftBehind(const QWindow* over) {
  closeAll(shownOpenedOver(over, [](const QWindow* window) {
    return takesTheKeyboard(window) && !standsOnAScreen(window);
  }));
}

OpenedWindowPlaces::OpenedWindowPlaces(const QWindow* over) {
  const std::vector<QPointer<QWidget>> opened = shownOpenedOver(over, takesTheKeyboard);
  for (auto window = opened.rbegin(); window != opened.rend(); ++window) {
    QWidget* from = openedFrom(**window);
    if (from == nullptr) {
      m_closing.push_back(*window);
      continue;
    }
    m_places.push_back(
        {*window, from, (*window)->frameGeometry().topLeft() - from->mapToGlobal(QPoint(0, 0))});
  }
}

void OpenedWindowPlaces::followInto(const QRect& area) const {
  closeAll(m_closing);
  for (const auto& [window, from, offset] : m_places) {
    if (!window || !window->isVisible() || !from) continue;
    const QSize size = window->frameGeometry().size();
    if (size.width() > area.width() || size.height() > area.height()) {
      window->close();
      continue;
    }
    const QPoint beside = from->mapToGlobal(QPoint(0, 0)) + offset;
    window->move(std::clamp(beside.x(), area.left(), area.right() + 1 - size.width()),
                 std::clamp(beside.y(), area.top(), area.bottom() + 1 - size.height()));
  }
}

}  // namespace tessra::platform
