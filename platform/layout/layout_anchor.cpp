#include "platform/layout/layout_anchor.h"

#include "platform/layout/layout_constraint.h"
#include "platform/layout/layout_guide.h"

namespace tessra::platform {

LayoutAxisKind axisKind(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::right:
    case LayoutAttribute::leading:
    case LayoutAttribute::trailing:
    case LayoutAttribute::centerX:
      return LayoutAxisKind::horizontal;
    case LayoutAttribute::top:
    case LayoutAttribute::bottom:
    case LayoutAttribute::centerY:
      return LayoutAxisKind::vertical;
    case LayoutAttribute::width:
    case LayoutAttribute::height:
      return LayoutAxisKind::dimension;
    case LayoutAttribute::notAnAttribute:
      break;
  }
  return LayoutAxisKind::none;
}

LayoutItem::LayoutItem(QWidget* view) : m_object(view) {}

LayoutItem::LayoutItem(LayoutGuide* guide) : m_object(guide), m_isGuide(true) {}

QWidget* LayoutItem::view() const {
  return m_isGuide ? nullptr : static_cast<QWidget*>(m_object.data());
}

LayoutGuide* LayoutItem::guide() const {
  return m_isGuide ? static_cast<LayoutGuide*>(m_object.data()) : nullptr;
}

LayoutConstraintPtr LayoutAnchor::relate(const LayoutAnchor& other, LayoutRelation relation,
                                         double multiplier, double constant) const {
  return LayoutConstraint::make(m_item, m_attribute, relation, other.m_item, other.m_attribute,
                                multiplier, constant);
}

LayoutConstraintPtr LayoutDimension::constraintEqualToConstant(double constant) const {
  return LayoutConstraint::make(item(), attribute(), LayoutRelation::equal, {},
                                LayoutAttribute::notAnAttribute, 1.0, constant);
}

LayoutConstraintPtr LayoutDimension::constraintLessThanOrEqualToConstant(double constant) const {
  return LayoutConstraint::make(item(), attribute(), LayoutRelation::lessThanOrEqual, {},
                                LayoutAttribute::notAnAttribute, 1.0, constant);
}

LayoutConstraintPtr LayoutDimension::constraintGreaterThanOrEqualToConstant(double constant) const {
  return LayoutConstraint::make(item(), attribute(), LayoutRelation::greaterThanOrEqual, {},
                                LayoutAttribute::notAnAttribute, 1.0, constant);
}

LayoutYAxisAnchor topAnchor(const LayoutItem& item) { return {item, LayoutAttribute::top}; }
LayoutYAxisAnchor bottomAnchor(const LayoutItem& item) { return {item, LayoutAttribute::bottom}; }
LayoutXAxisAnchor leftAnchor(const LayoutItem& item) { return {item, LayoutAttribute::left}; }
LayoutXAxisAnchor rightAnchor(const LayoutItem& item) { return {item, LayoutAttribute::right}; }
LayoutXAxisAnchor leadingAnchor(const LayoutItem& item) { return {item, LayoutAttribute::leading}; }
LayoutXAxisAnchor trailingAnchor(const LayoutItem& item) {
  return {item, LayoutAttribute::trailing};
}
LayoutXAxisAnchor centerXAnchor(const LayoutItem& item) { return {item, LayoutAttribute::centerX}; }
LayoutYAxisAnchor centerYAnchor(const LayoutItem& item) { return {item, LayoutAttribute::centerY}; }
LayoutDimension widthAnchor(const LayoutItem& item) { return {item, LayoutAttribute::width}; }
LayoutDimension heightAnchor(const LayoutItem& item) { return {item, LayoutAttribute::height}; }

}  // namespace tessra::platform
