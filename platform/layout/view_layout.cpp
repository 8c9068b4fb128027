#include "platform/layout/view_layout.h"

#include <QVariant>

#include "platform/layout/constraint_layout.h"

namespace tessra::platform {

namespace {

constexpr const char* kTranslatesProperty = "tessraTranslatesAutoresizingMask";

const char* huggingProperty(Qt::Orientation orientation) {
  return orientation == Qt::Horizontal ? "tessraHuggingHorizontal" : "tessraHuggingVertical";
}

const char* compressionProperty(Qt::Orientation orientation) {
  return orientation == Qt::Horizontal ? "tessraCompressionHorizontal"
                                       : "tessraCompressionVertical";
}

LayoutPriority readPriority(const QWidget* view, const char* name, LayoutPriority fallback) {
  const QVariant value = view->property(name);
  return value.isValid() ? value.toFloat() : fallback;
}

// The parent's layout solves this widget's frame, so it must look again.
void invalidateParentLayout(QWidget* view) {
  QWidget* parent = view->parentWidget();
  if (parent == nullptr) return;
  if (auto* layout = qobject_cast<ConstraintLayout*>(parent->layout())) layout->invalidate();
}

}  // namespace

bool translatesAutoresizingMaskIntoConstraints(const QWidget* view) {
  const QVariant value = view->property(kTranslatesProperty);
  return !value.isValid() || value.toBool();
}

void setTranslatesAutoresizingMaskIntoConstraints(QWidget* view, bool translates) {
  if (translatesAutoresizingMaskIntoConstraints(view) == translates) return;
  view->setProperty(kTranslatesProperty, translates);
  invalidateParentLayout(view);
}

LayoutPriority contentHuggingPriority(const QWidget* view, Qt::Orientation orientation) {
  return readPriority(view, huggingProperty(orientation), kLayoutPriorityDefaultLow);
}

void setContentHuggingPriority(QWidget* view, LayoutPriority priority,
                               Qt::Orientation orientation) {
  view->setProperty(huggingProperty(orientation), priority);
  invalidateParentLayout(view);
}

LayoutPriority contentCompressionResistancePriority(const QWidget* view,
                                                    Qt::Orientation orientation) {
  return readPriority(view, compressionProperty(orientation), kLayoutPriorityDefaultHigh);
}

void setContentCompressionResistancePriority(QWidget* view, LayoutPriority priority,
                                             Qt::Orientation orientation) {
  view->setProperty(compressionProperty(orientation), priority);
  invalidateParentLayout(view);
}

void layoutSubtreeIfNeeded(QWidget* view) {
  if (auto* layout = qobject_cast<ConstraintLayout*>(view->layout())) layout->layoutIfNeeded();
  for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->isWindow()) layoutSubtreeIfNeeded(child);
  }
}

}  // namespace tessra::platform
