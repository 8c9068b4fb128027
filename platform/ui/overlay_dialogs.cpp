#include "platform/ui/overlay_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "platform/ui/held_keys.h"
#include "platform/ui/keyboard_focus.h"

namespace tessra::platform {
namespace {

// The edge of a lifted dialog, which no window manager frames: a faint line in the dialog's text
// colour, drawn over the dialog's margins, so the dialog stands out from the panel behind it.
class Outline final : public QWidget {
 public:
  explicit Outline(QWidget* dialog) : QWidget(dialog) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    dialog->installEventFilter(this);
    follow();
    show();
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) follow();
    return false;
  }

  void paintEvent(QPaintEvent*) override {
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.3);
    QPainter painter(this);
    painter.setPen(line);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }

 private:
  void follow() {
    setGeometry(parentWidget()->rect());
    raise();
  }
};

// A `QDialog`, or any window of dialog or sheet type.
bool isDialog(const QWidget& widget) {
  const Qt::WindowType type = widget.windowType();
  return qobject_cast<const QDialog*>(&widget) != nullptr || type == Qt::Dialog ||
         type == Qt::Sheet;
}

// Whether a window that holds the keyboard and stands above all others is on screen: a shown
// top-level of the program that bypasses the window manager, other than menus, tooltips and
// windows shown without taking the keyboard (the side button).
bool isOverlayOnScreen() {
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (!widget->isVisible() || widget->testAttribute(Qt::WA_ShowWithoutActivating)) continue;
    const Qt::WindowType type = widget->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip) continue;
    const QWindow* window = widget->windowHandle();
    if (window != nullptr && bypassesWindowManager(*window)) return true;
  }
  return false;
}

}  // namespace

void OverlayDialogs::install() {
  static QPointer<OverlayDialogs> filter;
  if (filter || qApp == nullptr) return;
  filter = new OverlayDialogs(qApp);
  qApp->installEventFilter(filter);
}

bool OverlayDialogs::eventFilter(QObject* watched, QEvent* event) {
  // A window's show event comes before its window is mapped.
  if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (!widget->isWindow() || !isDialog(*widget)) return false;
  QWindow* window = widget->windowHandle();
  if (window == nullptr) return false;
  if (bypassesWindowManager(*window) || !isOverlayOnScreen()) return false;
  // Before the map: an override-redirect window is mapped where Qt put it, above all others.
  window->setFlags(window->flags() | Qt::X11BypassWindowManagerHint);
  KeyboardKeeper::of(window);
  // It takes the keyboard once it is mapped: the keys typed at once after the key or click that
  // asked for it are its own, not the overlay's behind it.
  holdKeysFor(widget);
  new Outline(widget);
  return false;
}

}  // namespace tessra::platform
