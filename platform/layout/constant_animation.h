// Animates the constant of a layout constraint, laying the container out on every frame.
//
// The floating panel slides by animating one edge constraint; each animation frame sets the
// constant and runs the container's layout pass at once, so every painted frame shows the
// frames the constraints give for that constant. The animation does not own the constraint: if
// the constraint is deactivated or its container goes away, the remaining frames only set the
// constant. GUI thread only.
#pragma once

#include <QEasingCurve>
#include <QVariantAnimation>

#include "platform/layout/layout_constraint.h"

namespace tessra::platform {

class ConstantAnimation : public QVariantAnimation {
  Q_OBJECT

 public:
  // From the constraint's present constant to `target`.
  ConstantAnimation(LayoutConstraintPtr constraint, double target, int durationMs,
                    QEasingCurve easing = QEasingCurve::OutCubic, QObject* parent = nullptr);

  const LayoutConstraintPtr& constraint() const { return m_constraint; }

 protected:
  void updateCurrentValue(const QVariant& value) override;

 private:
  LayoutConstraintPtr m_constraint;
};

}  // namespace tessra::platform
