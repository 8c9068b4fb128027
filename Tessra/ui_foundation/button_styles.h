// The button styles several windows share: the flat rounded button of dialogs and forms, the
// round icon button and the row button of the conversation side list.
//
// Each is a button widget that draws its own look from its state: idle, hovered (the pointer is
// over it), pressed, selected or highlighted where the style has them, and disabled. The flat
// button eases from one look to the next over 0.17 s whenever it is hovered, pressed or let go
// of (a change of role shows at once); the round button
// eases its fill and scale over 0.2 s when the pointer enters or leaves, and changes at once on a
// press. `current...` is the look the state asks for, `displayed...` what is drawn on the way. The
// colours come from the dark palette (palette.h). The state-to-colour rules are plain functions so
// that windows and tests can ask what a state looks like without painting. GUI thread only.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPainter>
#include <QPushButton>
#include <QVariantAnimation>

#include <optional>

namespace tessra {

// The flat rounded button: a base colour from its role and flags, darkened on hover and press,
// faded while disabled. An icon, when set, follows the title.
struct FlatButtonStyle {
  bool prominent = false;  // accent base instead of the control colour
  bool outlined = false;   // clear until hovered, with a border
  bool text = false;       // no border even when outlined: a text link that gains a background
  std::optional<QColor> customBase = std::nullopt;  // replaces the base from role and prominent

  struct Look {
    QColor fill;
    QColor border;  // clear when no border is drawn
    QColor foreground;
  };

  static constexpr double kHoverSaturation = 0.96;
  static constexpr double kHoverBrightness = 0.76;
  static constexpr double kPressSaturation = 0.98;
  static constexpr double kPressBrightness = 0.67;

  QColor base(bool destructive) const;
  Look look(bool destructive, bool hovered, bool pressed) const;

  // The colour with its hue, saturation and brightness multiplied by the factors, alpha kept.
  static QColor adjusted(const QColor& color, double hue, double saturation, double brightness);
  // Black or white over a light or dark fill; the primary label colour over a mostly clear one.
  static QColor foreground(const QColor& fill);
};

class FlatButton : public QPushButton {
  Q_OBJECT

 public:
  explicit FlatButton(const QString& title, FlatButtonStyle style = {}, QWidget* parent = nullptr);

  const FlatButtonStyle& style() const { return m_style; }
  // A destructive button is based on the system red unless the style has its own base.
  void setDestructive(bool destructive);
  bool isDestructive() const { return m_destructive; }
  bool isHovered() const { return m_hovered; }
  FlatButtonStyle::Look currentLook() const;
  FlatButtonStyle::Look displayedLook() const;

  static constexpr int kTransitionMilliseconds = 170;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  FlatButtonStyle m_style;
  bool m_destructive = false;
  bool m_hovered = false;
  // The interaction state last drawn, and where the transition to it started.
  bool m_shownHovered = false;
  bool m_shownPressed = false;
  FlatButtonStyle::Look m_from;
  QVariantAnimation* m_transition;
};

// A round button around its label. Pressed wins over hovered; a disabled button keeps its idle
// colour and scale, is drawn at low contrast and keeps its hover state until enabled again.
class CircleButton : public QAbstractButton {
  Q_OBJECT

 public:
  CircleButton(const QString& label, QColor color, QColor hoverColor, QColor pressedColor,
               QColor textColor, QWidget* parent = nullptr);

  bool isHovering() const { return m_hovering; }
  QColor currentFill() const;
  double currentScale() const;
  double currentContrast() const { return isEnabled() ? 1.0 : 0.3; }
  QColor displayedFill() const;
  double displayedScale() const;

  static constexpr int kHoverTransitionMilliseconds = 200;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QColor m_color;
  QColor m_hoverColor;
  QColor m_pressedColor;
  QColor m_textColor;
  bool m_hovering = false;
  // The hover state last drawn, and where the hover transition under way started.
  bool m_shownHovering = false;
  QColor m_fromFill;
  double m_fromScale = 1.0;
  QVariantAnimation* m_transition;

  QColor fillFor(bool hovering) const;
  double scaleFor(bool hovering) const;
};

// A row of the conversation side list: 36 points high, its background marking selection and
// hover, its text marking the highlighted (current) row.
class DiscordChannelButton : public QAbstractButton {
  Q_OBJECT

 public:
  DiscordChannelButton(const QString& label, bool isSelected, bool isHighlighted,
                       QWidget* parent = nullptr);

  struct Look {
    QColor foreground;
    // With its opacity in the alpha channel.
    QColor background;
  };
  static Look look(bool isSelected, bool isHighlighted, bool isHovered);
  // Draws a row of that look into `rect`: the rounded background and the one-line text, cut
  // with an ellipsis when it does not fit. The list views' delegates paint their rows with it.
  static void paintRow(QPainter& painter, const QRectF& rect, const QString& text, const Look& look,
                       Qt::Alignment alignment);
  static constexpr int kHeight = 36;

  bool isSelected() const { return m_isSelected; }
  bool isHighlighted() const { return m_isHighlighted; }
  bool isHovered() const { return m_isHovered; }
  QColor currentForeground() const;
  QColor currentAccent() const;
  // The background with its opacity in the alpha channel.
  QColor currentBackground() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool m_isSelected;
  bool m_isHighlighted;
  bool m_isHovered = false;
};

// Escape that no control inside `scope` used (an open list keeps its own) clicks `cancel`, as
// Escape cancels a dialog: for the forms and sheets that are no QDialog.
void clickOnEscape(QAbstractButton* cancel, QWidget* scope);

}  // namespace tessra
