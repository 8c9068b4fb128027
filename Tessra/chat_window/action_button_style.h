// The square icon buttons of the chat window: a label (a symbol or a short text) in white,
// centred on a rounded square whose colour follows the pointer.
//
//   auto* pin = new ActionButton(QIcon(":/icons/pin.svg"), ActionButtonStyle{24,
//       palette::secondaryBackground(), palette::raisedBackground(),
//       palette::raisedBackground()}, row);
//
// The colour is the pressed one while the button is down, else the hover one while the pointer
// is over the square, else the normal one; hover changes fade in and out. The whole square takes
// clicks, not only the symbol. A button can show an action, as a tool button's default action:
// the action's icon and enabled state, and a click triggers it. GUI thread only.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QColor>
#include <QPointer>
#include <QVariantAnimation>

namespace tessra {

struct ActionButtonStyle {
  // Width and height of the square.
  double size = 24;
  QColor normalBgColor;
  QColor hoverBgColor;
  QColor pressedBgColor;

  static constexpr double kCornerRadius = 6;

  // The background of a button in that state: pressed wins over hovered.
  QColor background(bool hovered, bool pressed) const;
};

class ActionButton : public QAbstractButton {
  Q_OBJECT

 public:
  ActionButton(const QIcon& icon, ActionButtonStyle style, QWidget* parent = nullptr);
  ActionButton(const QString& text, ActionButtonStyle style, QWidget* parent = nullptr);
  // A button that shows `action` (`setDefaultAction`).
  ActionButton(QAction* action, ActionButtonStyle style, QWidget* parent = nullptr);

  // Shows the action's icon and enabled state from now on; a click triggers it.
  void setDefaultAction(QAction* action);
  QAction* defaultAction() const { return m_defaultAction; }

  const ActionButtonStyle& style() const { return m_style; }
  bool isHovered() const { return m_isHovered; }
  // The colour the square settles on in the current state.
  QColor currentBackground() const;
  // The colour painted now (during a hover fade it lies between two colours).
  QColor paintedBackground() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool hitButton(const QPoint& pos) const override;

 private:
  void setHovered(bool hovered);
  void showAction();

  ActionButtonStyle m_style;
  QPointer<QAction> m_defaultAction;
  bool m_isHovered = false;
  QVariantAnimation m_fade;
};

}  // namespace tessra
