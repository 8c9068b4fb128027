#include "platform/layout/layout_constraint.h"

#include <QSet>

#include <cmath>

#include <fmt/format.h>

#include "platform/foundation/logger.h"
#include "platform/layout/constraint_layout.h"
#include "platform/layout/layout_guide.h"

namespace tessra::platform {

namespace {

std::string itemName(const LayoutItem& item) {
  const QObject* object = item.object();
  if (object == nullptr) return "(gone)";
  const std::string className = object->metaObject()->className();
  const QString name = object->objectName();
  if (name.isEmpty()) return fmt::format("{}({})", className, static_cast<const void*>(object));
  return fmt::format("{}({})", className, name.toStdString());
}

const char* attributeName(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
      return "left";
    case LayoutAttribute::right:
      return "right";
    case LayoutAttribute::top:
      return "top";
    case LayoutAttribute::bottom:
      return "bottom";
    case LayoutAttribute::leading:
      return "leading";
    case LayoutAttribute::trailing:
      return "trailing";
    case LayoutAttribute::width:
      return "width";
    case LayoutAttribute::height:
      return "height";
    case LayoutAttribute::centerX:
      return "centerX";
    case LayoutAttribute::centerY:
      return "centerY";
    case LayoutAttribute::notAnAttribute:
      break;
  }
  return "notAnAttribute";
}

const char* relationSymbol(LayoutRelation relation) {
  switch (relation) {
    case LayoutRelation::lessThanOrEqual:
      return "<=";
    case LayoutRelation::greaterThanOrEqual:
      return ">=";
    case LayoutRelation::equal:
      break;
  }
  return "==";
}

// The widget in whose coordinates the item's frame lives, and whose layout places it.
QWidget* frameSpace(const LayoutItem& item) {
  if (LayoutGuide* guide = item.guide()) return guide->owningView();
  if (QWidget* view = item.view()) return view->isWindow() ? nullptr : view->parentWidget();
  return nullptr;
}

bool expressibleIn(const LayoutItem& item, QWidget* container) {
  return container != nullptr && (item.view() == container || frameSpace(item) == container);
}

bool isDirectional(LayoutAttribute attribute) {
  return attribute == LayoutAttribute::leading || attribute == LayoutAttribute::trailing;
}

// Why the constraint cannot be installed, or empty when it can.
std::string invalidReason(const LayoutConstraint& constraint) {
  if (constraint.firstItem().isNull()) return "its first item is gone";
  const LayoutAxisKind firstKind = axisKind(constraint.firstAttribute());
  if (firstKind == LayoutAxisKind::none) return "its first attribute is not an attribute";
  if (!std::isfinite(constraint.multiplier()) || !std::isfinite(constraint.constant())) {
    return "its multiplier or constant is not a finite number";
  }
  if (constraint.secondAttribute() == LayoutAttribute::notAnAttribute) {
    if (firstKind != LayoutAxisKind::dimension) {
      return "a position can only be related to another item's position";
    }
    return {};
  }
  if (constraint.secondItem().isNull()) return "its second item is gone";
  if (axisKind(constraint.secondAttribute()) != firstKind) {
    return "it relates attributes of different kinds";
  }
  if (firstKind == LayoutAxisKind::horizontal &&
      isDirectional(constraint.firstAttribute()) != isDirectional(constraint.secondAttribute())) {
    return "it mixes leading or trailing with left, right or centre";
  }
  return {};
}

QWidget* findContainer(const LayoutConstraint& constraint) {
  const LayoutItem& first = constraint.firstItem();
  if (constraint.secondAttribute() == LayoutAttribute::notAnAttribute) return frameSpace(first);
  const LayoutItem& second = constraint.secondItem();
  for (QWidget* candidate : {frameSpace(first), first.view()}) {
    if (expressibleIn(first, candidate) && expressibleIn(second, candidate)) return candidate;
  }
  return nullptr;
}

}  // namespace

LayoutConstraintPtr LayoutConstraint::make(LayoutItem firstItem, LayoutAttribute firstAttribute,
                                           LayoutRelation relation, LayoutItem secondItem,
                                           LayoutAttribute secondAttribute, double multiplier,
                                           double constant) {
  return std::make_shared<LayoutConstraint>(std::move(firstItem), firstAttribute, relation,
                                            std::move(secondItem), secondAttribute, multiplier,
                                            constant);
}

LayoutConstraint::LayoutConstraint(LayoutItem firstItem, LayoutAttribute firstAttribute,
                                   LayoutRelation relation, LayoutItem secondItem,
                                   LayoutAttribute secondAttribute, double multiplier,
                                   double constant)
    : m_firstItem(std::move(firstItem)),
      m_firstAttribute(firstAttribute),
      m_relation(relation),
      m_secondItem(std::move(secondItem)),
      m_secondAttribute(secondAttribute),
      m_multiplier(multiplier),
      m_constant(constant) {}

LayoutConstraint::~LayoutConstraint() = default;

void LayoutConstraint::setConstant(double constant) {
  if (!std::isfinite(constant)) {
    logError("Ignoring a constant that is not a finite number for {}", description());
    return;
  }
  if (constant == m_constant) return;
  m_constant = constant;
  if (!m_layout.isNull()) m_layout->constantChanged();
}

void LayoutConstraint::setPriority(LayoutPriority priority) {
  LayoutPriority clamped = priority;
  if (std::isnan(priority)) {
    clamped = kLayoutPriorityRequired;
  } else if (priority < 1) {
    clamped = 1;
  } else if (priority > kLayoutPriorityRequired) {
    clamped = kLayoutPriorityRequired;
  }
  if (clamped != priority) {
    logError("Layout priority {} is outside 1...1000; using {} for {}", priority, clamped,
             description());
  }
  if (clamped == m_priority) return;
  m_priority = clamped;
  changed();
}

bool LayoutConstraint::isActive() const { return !m_layout.isNull(); }

void LayoutConstraint::setActive(bool active) {
  if (active == isActive()) return;
  if (!active) {
    m_layout->uninstall(this);
    return;
  }
  const LayoutConstraintPtr self = weak_from_this().lock();
  if (!self) {
    logError("Unable to activate {}: it was not made by LayoutConstraint::make", description());
    return;
  }
  if (const std::string reason = invalidReason(*this); !reason.empty()) {
    logError("Unable to activate {}: {}", description(), reason);
    return;
  }
  QWidget* container = findContainer(*this);
  if (container == nullptr) {
    logError("Unable to activate {}: its items have no common container", description());
    return;
  }
  ConstraintLayout* layout = ConstraintLayout::forContainer(container);
  if (layout == nullptr) {
    logError("Unable to activate {}: {} is run by another kind of layout", description(),
             itemName(container));
    return;
  }
  layout->install(self);
}

QWidget* LayoutConstraint::container() const {
  return m_layout.isNull() ? nullptr : m_layout->parentWidget();
}

std::string LayoutConstraint::description() const {
  std::string text = fmt::format("{}.{} {} ", itemName(m_firstItem),
                                 attributeName(m_firstAttribute), relationSymbol(m_relation));
  if (m_secondAttribute == LayoutAttribute::notAnAttribute) {
    text += fmt::format("{}", m_constant);
  } else {
    if (m_multiplier != 1.0) text += fmt::format("{} x ", m_multiplier);
    text += fmt::format("{}.{}", itemName(m_secondItem), attributeName(m_secondAttribute));
    if (m_constant != 0.0)
      text += fmt::format(" {} {}", m_constant < 0 ? '-' : '+', std::abs(m_constant));
  }
  return text + fmt::format(" @{}", m_priority);
}

void LayoutConstraint::activate(std::span<const LayoutConstraintPtr> constraints) {
  for (const LayoutConstraintPtr& constraint : constraints) {
    if (constraint) constraint->setActive(true);
  }
}

void LayoutConstraint::deactivate(std::span<const LayoutConstraintPtr> constraints) {
  for (const LayoutConstraintPtr& constraint : constraints) {
    if (constraint) constraint->setActive(false);
  }
}

void LayoutConstraint::changed() {
  if (!m_layout.isNull()) m_layout->invalidate();
}

}  // namespace tessra::platform
