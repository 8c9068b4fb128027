#include "Tessra/ui_foundation/animated_value.h"

#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "platform/ui/animations.h"

namespace tessra {

namespace {

// How close to the target a spring counts as settled, as a fraction of its way.
constexpr double kSpringSettled = 0.001;

// The way covered by a spring at time `t` (seconds), starting at rest: 0 at the start, 1 at rest
// on the target.
double springPosition(double omega, double damping, double t) {
  if (damping >= 1) return 1 - (1 + omega * t) * std::exp(-omega * t);
  const double damped = omega * std::sqrt(1 - damping * damping);
  return 1 - std::exp(-damping * omega * t) *
                 (std::cos(damped * t) + damping * omega / damped * std::sin(damped * t));
}

// The bound on the distance from the target after `t` seconds: the envelope of the swing.
double springEnvelope(double omega, double damping, double t) {
  if (damping >= 1) return (1 + omega * t) * std::exp(-omega * t);
  return std::exp(-damping * omega * t) / std::sqrt(1 - damping * damping);
}

}  // namespace

AnimatedValue::Timing AnimatedValue::Timing::eased(int milliseconds, const QEasingCurve& curve) {
  return {milliseconds, [curve](double progress) { return curve.valueForProgress(progress); }};
}

AnimatedValue::Timing AnimatedValue::Timing::spring(double response, double dampingFraction) {
  const double omega = 2 * std::numbers::pi / response;
  const double damping = std::max(dampingFraction, 0.01);
  double seconds = 0;
  while (springEnvelope(omega, damping, seconds) > kSpringSettled) seconds += 0.001;
  const double end = springPosition(omega, damping, seconds);
  return {static_cast<int>(std::lround(seconds * 1000)),
          [omega, damping, seconds, end](double progress) {
            return springPosition(omega, damping, progress * seconds) / end;
          }};
}

AnimatedValue::AnimatedValue(double initial, Timing timing, std::function<void(double)> onChange,
                             QObject* parent)
    : QObject(parent),
      m_timing(std::move(timing)),
      m_onChange(std::move(onChange)),
      m_value(initial),
      m_from(initial),
      m_to(initial) {}

bool AnimatedValue::isAnimating() const {
  return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

void AnimatedValue::animateTo(double target) { animateTo(target, m_timing.milliseconds); }

void AnimatedValue::animateTo(double target, int milliseconds) {
  if (target == m_to && (isAnimating() || m_value == target)) return;
  milliseconds = platform::animationDuration(milliseconds);
  if (milliseconds <= 0) {
    setValue(target);
    emit finished();
    return;
  }
  if (m_animation) m_animation->stop();
  m_from = m_value;
  m_to = target;
  if (!m_animation) {
    m_animation = new QVariantAnimation(this);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& progress) {
      const double eased =
          m_timing.curve ? m_timing.curve(progress.toDouble()) : progress.toDouble();
      apply(m_from + (m_to - m_from) * eased);
    });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
      apply(m_to);
      emit finished();
    });
  }
  // Linear progress: the curve is applied to it above.
  m_animation->setStartValue(0.0);
  m_animation->setEndValue(1.0);
  m_animation->setDuration(milliseconds);
  m_animation->start();
}

void AnimatedValue::setValue(double target) {
  if (m_animation) m_animation->stop();
  m_from = target;
  m_to = target;
  apply(target);
}

void AnimatedValue::apply(double value) {
  if (value == m_value) return;
  m_value = value;
  if (m_onChange) m_onChange(value);
}

}  // namespace tessra
