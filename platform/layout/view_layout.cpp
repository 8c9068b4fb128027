#include "platform/layout/view_layout.h"

#include <unordered_map>

#include "platform/layout/constraint_layout.h"

namespace tessra::platform {

namespace {

struct Attributes {
  bool translates = true;
  LayoutPriority hugging[2] = {kLayoutPriorityDefaultLow, kLayoutPriorityDefaultLow};
  LayoutPriority compression[2] = {kLayoutPriorityDefaultHigh, kLayoutPriorityDefaultHigh};
};

// The settings of the widgets that changed any, beside them rather than as properties on them: a
// layout pass reads them for each of its items several times, and a property found by its name is
// first looked for among every property of the widget's class. An entry ends with its widget.
std::unordered_map<const QWidget*, Attributes>& table() {
  static std::unordered_map<const QWidget*, Attributes> attributes;
  return attributes;
}

const Attributes& attributesOf(const QWidget* view) {
  static const Attributes defaults;
  const auto found = table().find(view);
  return found == table().end() ? defaults : found->second;
}

Attributes& changeAttributes(QWidget* view) {
  const auto [entry, added] = table().try_emplace(view);
  if (added) QObject::connect(view, &QObject::destroyed, [view] { table().erase(view); });
  return entry->second;
}

std::size_t axis(Qt::Orientation orientation) { return orientation == Qt::Horizontal ? 0 : 1; }

// The parent's layout solves this widget's frame, so it must look again.
void invalidateParentLayout(QWidget* view) {
  QWidget* parent = view->parentWidget();
  if (parent == nullptr) return;
  if (auto* layout = qobject_cast<ConstraintLayout*>(parent->layout())) layout->invalidate();
}

}  // namespace

bool translatesAutoresizingMaskIntoConstraints(const QWidget* view) {
  return attributesOf(view).translates;
}

void setTranslatesAutoresizingMaskIntoConstraints(QWidget* view, bool translates) {
  if (translatesAutoresizingMaskIntoConstraints(view) == translates) return;
  changeAttributes(view).translates = translates;
  invalidateParentLayout(view);
}

LayoutPriority contentHuggingPriority(const QWidget* view, Qt::Orientation orientation) {
  return attributesOf(view).hugging[axis(orientation)];
}

void setContentHuggingPriority(QWidget* view, LayoutPriority priority,
                               Qt::Orientation orientation) {
  changeAttributes(view).hugging[axis(orientation)] = priority;
  invalidateParentLayout(view);
}

LayoutPriority contentCompressionResistancePriority(const QWidget* view,
                                                    Qt::Orientation orientation) {
  return attributesOf(view).compression[axis(orientation)];
}

void setContentCompressionResistancePriority(QWidget* view, LayoutPriority priority,
                                             Qt::Orientation orientation) {
  changeAttributes(view).compression[axis(orientation)] = priority;
  invalidateParentLayout(view);
}

void layoutSubtreeIfNeeded(QWidget* view) {
  if (auto* layout = qobject_cast<ConstraintLayout*>(view->layout())) layout->layoutIfNeeded();
  for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->isWindow()) layoutSubtreeIfNeeded(child);
  }
}

}  // namespace tessra::platform
