#include "platform/layout/constant_animation.h"

#include "platform/layout/view_layout.h"

namespace tessra::platform {

ConstantAnimation::ConstantAnimation(LayoutConstraintPtr constraint, double target, int durationMs,
                                     QEasingCurve easing, QObject* parent)
    : QVariantAnimation(parent), m_constraint(std::move(constraint)) {
  setStartValue(m_constraint->constant());
  setEndValue(target);
  setDuration(durationMs);
  setEasingCurve(easing);
}

void ConstantAnimation::updateCurrentValue(const QVariant& value) {
  m_constraint->setConstant(value.toDouble());
  if (QWidget* container = m_constraint->container()) layoutSubtreeIfNeeded(container);
}

}  // namespace tessra::platform
