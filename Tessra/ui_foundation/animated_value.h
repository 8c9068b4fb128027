// A number that moves to each new target over a set time along a curve, telling its owner at
// every frame: the hover shades, the growing buttons and the springing layouts of the windows.
//
//   AnimatedValue m_shade{0, AnimatedValue::Timing::eased(350, easeInOut),
//                         [this](double) { update(); }, this};
//   m_shade.animateTo(hovered ? 0.3 : 0);
//
// A new target while it moves starts from where the value is at that moment. A duration of 0
// jumps to the target at once: one change, no timer, `finished` right away; so does every
// duration while the program's animations are off (platform/ui/animations.h). GUI thread only.
#pragma once

#include <QEasingCurve>
#include <QObject>
#include <QPointer>

#include <functional>

class QVariantAnimation;

namespace tessra {

class AnimatedValue : public QObject {
  Q_OBJECT

 public:
  // Progress over time, both from 0 to 1; the curve may overshoot 1 on its way.
  using Curve = std::function<double(double progress)>;

  struct Timing {
    int milliseconds = 0;
    Curve curve;

    // Along one of Qt's curves.
    static Timing eased(int milliseconds, const QEasingCurve& curve);
    // A spring released at the start and settling on the target: `response` is the time in
    // seconds of one undamped swing, `dampingFraction` 1 settles without overshoot and less than
    // 1 overshoots before it settles. It lasts until it is within a thousandth of its way from
    // the target, where it lands exactly.
    static Timing spring(double response, double dampingFraction);
  };

  AnimatedValue(double initial, Timing timing, std::function<void(double)> onChange,
                QObject* parent = nullptr);

  double value() const { return m_value; }
  double target() const { return m_to; }
  bool isAnimating() const;
  const Timing& timing() const { return m_timing; }

  // Moves to `target` over the timing's duration, or over `milliseconds` when given.
  void animateTo(double target);
  void animateTo(double target, int milliseconds);
  // Jumps to `target` without animation, stopping a running one.
  void setValue(double target);

 signals:
  // The value has reached its target (at once for a duration of 0).
  void finished();

 private:
  void apply(double value);

  Timing m_timing;
  std::function<void(double)> m_onChange;
  double m_value;
  double m_from;
  double m_to;
  QPointer<QVariantAnimation> m_animation;
};

}  // namespace tessra
