#include "platform/layout/layout_guide.h"

namespace tessra::platform {

LayoutGuide::LayoutGuide(QWidget* owningView) : QObject(owningView) {}

QWidget* LayoutGuide::owningView() const { return qobject_cast<QWidget*>(parent()); }

}  // namespace tessra::platform
