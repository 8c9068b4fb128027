#include "constraints/constrainable.h"

#include "platform/foundation/logger.h"
#include "platform/layout/view_layout.h"

namespace tessra::constraints {

namespace {

using platform::LayoutAttribute;
using platform::LayoutConstraint;

constexpr const char* kNoSuperviewMessage =
    "Unable to create this constraint to it's superview, because it has no superview.";

template <class Anchor>
LayoutConstraintPtr relate(const Anchor& anchor, const Anchor& other, double offset,
                           ConstraintRelation relation) {
  switch (relation) {
    case ConstraintRelation::equalOrLess:
      return anchor.constraintLessThanOrEqualTo(other, offset);
    case ConstraintRelation::equalOrGreater:
      return anchor.constraintGreaterThanOrEqualTo(other, offset);
    case ConstraintRelation::equal:
      break;
  }
  return anchor.constraintEqualTo(other, offset);
}

LayoutConstraintPtr relate(const LayoutDimension& anchor, const LayoutDimension& other,
                           double multiplier, double offset, ConstraintRelation relation) {
  switch (relation) {
    case ConstraintRelation::equalOrLess:
      return anchor.constraintLessThanOrEqualTo(other, multiplier, offset);
    case ConstraintRelation::equalOrGreater:
      return anchor.constraintGreaterThanOrEqualTo(other, multiplier, offset);
    case ConstraintRelation::equal:
      break;
  }
  return anchor.constraintEqualTo(other, multiplier, offset);
}

LayoutConstraintPtr relateToConstant(const LayoutDimension& anchor, double constant,
                                     ConstraintRelation relation) {
  switch (relation) {
    case ConstraintRelation::equalOrLess:
      return anchor.constraintLessThanOrEqualToConstant(constant);
    case ConstraintRelation::equalOrGreater:
      return anchor.constraintGreaterThanOrEqualToConstant(constant);
    case ConstraintRelation::equal:
      break;
  }
  return anchor.constraintEqualToConstant(constant);
}

LayoutConstraintPtr finish(LayoutConstraintPtr constraint, LayoutPriority priority, bool isActive) {
  return set(with(std::move(constraint), priority), isActive);
}

template <class Anchor>
EdgeOptions<Anchor> crossed(const Anchor& anchor, const CrossEdgeOptions& options) {
  return {anchor, options.offset, options.relation, options.priority, options.isActive};
}

DimensionOptions crossed(const LayoutDimension& anchor, const CrossDimensionOptions& options) {
  return {anchor,           options.multiplier, options.offset,
          options.relation, options.priority,   options.isActive};
}

}  // namespace

void Constraints::activate() const { LayoutConstraint::activate(*this); }

void Constraints::deactivate() const { LayoutConstraint::deactivate(*this); }

LayoutConstraintPtr with(LayoutConstraintPtr constraint, LayoutPriority priority) {
  constraint->setPriority(priority);
  return constraint;
}

LayoutConstraintPtr set(LayoutConstraintPtr constraint, bool active) {
  constraint->setActive(active);
  return constraint;
}

Constrainable::Constrainable(QWidget* view) : m_item(view) {}

Constrainable::Constrainable(platform::LayoutGuide* guide) : m_item(guide) {}

LayoutYAxisAnchor Constrainable::topAnchor() const { return platform::topAnchor(m_item); }
LayoutYAxisAnchor Constrainable::bottomAnchor() const { return platform::bottomAnchor(m_item); }
LayoutXAxisAnchor Constrainable::leftAnchor() const { return platform::leftAnchor(m_item); }
LayoutXAxisAnchor Constrainable::rightAnchor() const { return platform::rightAnchor(m_item); }
LayoutXAxisAnchor Constrainable::leadingAnchor() const { return platform::leadingAnchor(m_item); }
LayoutXAxisAnchor Constrainable::trailingAnchor() const { return platform::trailingAnchor(m_item); }
LayoutXAxisAnchor Constrainable::centerXAnchor() const { return platform::centerXAnchor(m_item); }
LayoutYAxisAnchor Constrainable::centerYAnchor() const { return platform::centerYAnchor(m_item); }
LayoutDimension Constrainable::widthAnchor() const { return platform::widthAnchor(m_item); }
LayoutDimension Constrainable::heightAnchor() const { return platform::heightAnchor(m_item); }

const Constrainable& Constrainable::prepareForLayout() const {
  if (QWidget* view = m_item.view()) {
    platform::setTranslatesAutoresizingMaskIntoConstraints(view, false);
  }
  return *this;
}

LayoutConstraintPtr Constrainable::top(const Constrainable& to, const YEdgeOptions& o) const {
  prepareForLayout();
  return finish(relate(topAnchor(), o.anchor.value_or(to.topAnchor()), o.offset, o.relation),
                o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::bottom(const Constrainable& to, const YEdgeOptions& o) const {
  prepareForLayout();
  return finish(relate(bottomAnchor(), o.anchor.value_or(to.bottomAnchor()), o.offset, o.relation),
                o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::left(const Constrainable& to, const XEdgeOptions& o) const {
  prepareForLayout();
  return finish(relate(leftAnchor(), o.anchor.value_or(to.leftAnchor()), o.offset, o.relation),
                o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::right(const Constrainable& to, const XEdgeOptions& o) const {
  prepareForLayout();
  return finish(relate(rightAnchor(), o.anchor.value_or(to.rightAnchor()), o.offset, o.relation),
                o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::leading(const Constrainable& to, const XEdgeOptions& o) const {
  prepareForLayout();
  return finish(
      relate(leadingAnchor(), o.anchor.value_or(to.leadingAnchor()), o.offset, o.relation),
      o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::trailing(const Constrainable& to, const XEdgeOptions& o) const {
  prepareForLayout();
  return finish(
      relate(trailingAnchor(), o.anchor.value_or(to.trailingAnchor()), o.offset, o.relation),
      o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::width(const Constrainable& to, const DimensionOptions& o) const {
  prepareForLayout();
  return finish(relate(widthAnchor(), o.anchor.value_or(to.widthAnchor()), o.multiplier, o.offset,
                       o.relation),
                o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::height(const Constrainable& to,
                                          const DimensionOptions& o) const {
  prepareForLayout();
  return finish(relate(heightAnchor(), o.anchor.value_or(to.heightAnchor()), o.multiplier, o.offset,
                       o.relation),
                o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::centerX(const Constrainable& to, const CenterXOptions& o) const {
  prepareForLayout();
  if (o.anchor) {
    return finish(centerXAnchor().constraintEqualTo(*o.anchor, o.offset), o.priority, o.isActive);
  }
  return finish(
      LayoutConstraint::make(m_item, LayoutAttribute::centerX, platform::LayoutRelation::equal,
                             to.m_item, LayoutAttribute::centerX, o.multiplier, o.offset),
      o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::centerY(const Constrainable& to, const CenterYOptions& o) const {
  prepareForLayout();
  if (o.anchor) {
    return finish(centerYAnchor().constraintEqualTo(*o.anchor, o.offset), o.priority, o.isActive);
  }
  return finish(
      LayoutConstraint::make(m_item, LayoutAttribute::centerY, platform::LayoutRelation::equal,
                             to.m_item, LayoutAttribute::centerY, o.multiplier, o.offset),
      o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::leftToRight(const Constrainable& of,
                                               const CrossEdgeOptions& o) const {
  prepareForLayout();
  return left(of, crossed(of.rightAnchor(), o));
}

LayoutConstraintPtr Constrainable::rightToLeft(const Constrainable& of,
                                               const CrossEdgeOptions& o) const {
  prepareForLayout();
  return right(of, crossed(of.leftAnchor(), o));
}

LayoutConstraintPtr Constrainable::topToBottom(const Constrainable& of,
                                               const CrossEdgeOptions& o) const {
  prepareForLayout();
  return top(of, crossed(of.bottomAnchor(), o));
}

LayoutConstraintPtr Constrainable::bottomToTop(const Constrainable& of,
                                               const CrossEdgeOptions& o) const {
  prepareForLayout();
  return bottom(of, crossed(of.topAnchor(), o));
}

LayoutConstraintPtr Constrainable::leadingToTrailing(const Constrainable& of,
                                                     const CrossEdgeOptions& o) const {
  prepareForLayout();
  return leading(of, crossed(of.trailingAnchor(), o));
}

LayoutConstraintPtr Constrainable::trailingToLeading(const Constrainable& of,
                                                     const CrossEdgeOptions& o) const {
  prepareForLayout();
  return trailing(of, crossed(of.leadingAnchor(), o));
}

LayoutConstraintPtr Constrainable::widthToHeight(const Constrainable& of,
                                                 const CrossDimensionOptions& o) const {
  prepareForLayout();
  return width(of, crossed(of.heightAnchor(), o));
}

LayoutConstraintPtr Constrainable::heightToWidth(const Constrainable& of,
                                                 const CrossDimensionOptions& o) const {
  prepareForLayout();
  return height(of, crossed(of.widthAnchor(), o));
}

LayoutConstraintPtr Constrainable::aspectRatio(double ratio, const ConstantOptions& o) const {
  return widthToHeight(*this, {.multiplier = ratio,
                               .offset = 0,
                               .relation = o.relation,
                               .priority = o.priority,
                               .isActive = o.isActive});
}

LayoutConstraintPtr Constrainable::width(double constant, const ConstantOptions& o) const {
  prepareForLayout();
  return finish(relateToConstant(widthAnchor(), constant, o.relation), o.priority, o.isActive);
}

LayoutConstraintPtr Constrainable::height(double constant, const ConstantOptions& o) const {
  prepareForLayout();
  return finish(relateToConstant(heightAnchor(), constant, o.relation), o.priority, o.isActive);
}

Constraints Constrainable::width(const Bounds& bounds) const {
  prepareForLayout();
  Constraints made;
  if (bounds.min) {
    made.push_back(
        width(*bounds.min, {ConstraintRelation::equalOrGreater, bounds.priority, bounds.isActive}));
  }
  if (bounds.max) {
    made.push_back(
        width(*bounds.max, {ConstraintRelation::equalOrLess, bounds.priority, bounds.isActive}));
  }
  return made;
}

Constraints Constrainable::height(const Bounds& bounds) const {
  prepareForLayout();
  Constraints made;
  if (bounds.min) {
    made.push_back(height(*bounds.min,
                          {ConstraintRelation::equalOrGreater, bounds.priority, bounds.isActive}));
  }
  if (bounds.max) {
    made.push_back(
        height(*bounds.max, {ConstraintRelation::equalOrLess, bounds.priority, bounds.isActive}));
  }
  return made;
}

Constraints Constrainable::size(QSizeF size, const ConstantOptions& o) const {
  prepareForLayout();
  return {width(size.width(), o), height(size.height(), o)};
}

Constraints Constrainable::size(const Constrainable& to, const SizeToOptions& o) const {
  prepareForLayout();
  return {width(to, {.multiplier = o.multiplier,
                     .offset = o.insets.width(),
                     .relation = o.relation,
                     .priority = o.priority,
                     .isActive = o.isActive}),
          height(to, {.multiplier = o.multiplier,
                      .offset = o.insets.height(),
                      .relation = o.relation,
                      .priority = o.priority,
                      .isActive = o.isActive})};
}

Constraints Constrainable::origin(const Constrainable& to, const OriginOptions& o) const {
  prepareForLayout();
  return {left(to, {.offset = o.insets.left,
                    .relation = o.relation,
                    .priority = o.priority,
                    .isActive = o.isActive}),
          top(to, {.offset = o.insets.top,
                   .relation = o.relation,
                   .priority = o.priority,
                   .isActive = o.isActive})};
}

Constraints Constrainable::center(const Constrainable& in, const CenterInOptions& o) const {
  prepareForLayout();
  return {centerX(in, {.offset = o.offset.x(), .priority = o.priority, .isActive = o.isActive}),
          centerY(in, {.offset = o.offset.y(), .priority = o.priority, .isActive = o.isActive})};
}

Constraints Constrainable::edges(const Constrainable& to, const EdgesOptions& o) const {
  prepareForLayout();
  const LayoutEdge excluded = o.excluding;
  auto edge = [&](double offset) {
    return XEdgeOptions{std::nullopt, offset, o.relation, o.priority, o.isActive};
  };
  Constraints made;
  if (!excluded.contains(LayoutEdge::top)) {
    made.push_back(top(to, {std::nullopt, o.insets.top, o.relation, o.priority, o.isActive}));
  }
  if (!excluded.contains(LayoutEdge::leading) && !excluded.contains(LayoutEdge::left)) {
    made.push_back(left(to, edge(o.insets.left)));
  }
  if (!excluded.contains(LayoutEdge::bottom)) {
    made.push_back(
        bottom(to, {std::nullopt, -o.insets.bottom, o.relation, o.priority, o.isActive}));
  }
  if (!excluded.contains(LayoutEdge::trailing) && !excluded.contains(LayoutEdge::right)) {
    made.push_back(right(to, edge(-o.insets.right)));
  }
  return made;
}

ConstrainableView::ConstrainableView(QWidget* view) : Constrainable(view), m_view(view) {}

QWidget* ConstrainableView::superview() const {
  QWidget* parent = m_view->isWindow() ? nullptr : m_view->parentWidget();
  if (parent == nullptr) platform::logError("{}", kNoSuperviewMessage);
  return parent;
}

LayoutConstraintPtr ConstrainableView::missingSuperview(LayoutAttribute attribute, double offset,
                                                        double multiplier,
                                                        ConstraintRelation relation,
                                                        LayoutPriority priority) const {
  auto constraint = LayoutConstraint::make(m_view, attribute, layoutRelation(relation), {},
                                           LayoutAttribute::notAnAttribute, multiplier, offset);
  constraint->setPriority(priority);
  return constraint;
}

LayoutConstraintPtr ConstrainableView::topToSuperview(const YEdgeOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::top, o.offset, 1, o.relation, o.priority);
  }
  prepareForLayout();
  return top(parent, o);
}

LayoutConstraintPtr ConstrainableView::bottomToSuperview(const YEdgeOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::bottom, o.offset, 1, o.relation, o.priority);
  }
  prepareForLayout();
  return bottom(parent, o);
}

LayoutConstraintPtr ConstrainableView::leftToSuperview(const XEdgeOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::left, o.offset, 1, o.relation, o.priority);
  }
  prepareForLayout();
  return left(parent, o);
}

LayoutConstraintPtr ConstrainableView::rightToSuperview(const XEdgeOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::right, o.offset, 1, o.relation, o.priority);
  }
  prepareForLayout();
  return right(parent, o);
}

LayoutConstraintPtr ConstrainableView::widthToSuperview(const DimensionOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::width, o.offset, o.multiplier, o.relation, o.priority);
  }
  prepareForLayout();
  return width(parent, o);
}

LayoutConstraintPtr ConstrainableView::heightToSuperview(const DimensionOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::height, o.offset, o.multiplier, o.relation,
                            o.priority);
  }
  prepareForLayout();
  return height(parent, o);
}

LayoutConstraintPtr ConstrainableView::centerXToSuperview(const CenterXOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::centerX, o.offset, o.multiplier,
                            ConstraintRelation::equal, o.priority);
  }
  prepareForLayout();
  return centerX(parent, o);
}

LayoutConstraintPtr ConstrainableView::centerYToSuperview(const CenterYOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) {
    return missingSuperview(LayoutAttribute::centerY, o.offset, o.multiplier,
                            ConstraintRelation::equal, o.priority);
  }
  prepareForLayout();
  return centerY(parent, o);
}

Constraints ConstrainableView::centerInSuperview(const CenterInOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) return {};
  prepareForLayout();
  return center(parent, o);
}

Constraints ConstrainableView::originToSuperview(const OriginOptions& o) const {
  QWidget* parent = superview();
  if (parent == nullptr) return {};
  prepareForLayout();
  return origin(parent, o);
}

Constraints ConstrainableView::edgesToSuperview(LayoutEdge excluding, EdgeInsets insets) const {
  const bool makesTop = !excluding.contains(LayoutEdge::top);
  const bool makesLeft =
      !excluding.contains(LayoutEdge::leading) && !excluding.contains(LayoutEdge::left);
  const bool makesRight =
      !excluding.contains(LayoutEdge::trailing) && !excluding.contains(LayoutEdge::right);
  const bool makesBottom = !excluding.contains(LayoutEdge::bottom);
  Constraints made;
  if (!makesTop && !makesLeft && !makesRight && !makesBottom) return made;
  QWidget* parent = superview();
  if (parent == nullptr) return made;
  prepareForLayout();
  if (makesTop) made.push_back(top(parent, {.offset = insets.top}));
  if (makesLeft) made.push_back(left(parent, {.offset = insets.left}));
  if (makesRight) made.push_back(right(parent, {.offset = -insets.right}));
  if (makesBottom) made.push_back(bottom(parent, {.offset = -insets.bottom}));
  return made;
}

Constraints ConstrainableView::stack(std::span<QWidget* const> views,
                                     const StackOptions& options) const {
  prepareForLayout();
  Constraints made;
  if (views.empty()) return made;
  QWidget* previous = nullptr;
  double gap = 0;
  for (QWidget* widget : views) {
    const ConstrainableView view(widget);
    view.prepareForLayout();
    // Reparenting hides a widget; one the caller never hid is shown again, as a new subview is.
    const bool keptHidden =
        widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
    if (widget->parentWidget() != m_view) widget->setParent(m_view);
    widget->raise();
    if (!keptHidden) widget->show();

    const bool isLast = widget == views.back();
    if (options.axis == Qt::Vertical) {
      const auto start = previous ? Constrainable(previous).bottomAnchor() : topAnchor();
      made.push_back(view.top(*this, {.anchor = start, .offset = gap}));
      made.push_back(view.leftToSuperview());
      made.push_back(view.rightToSuperview());
      if (isLast) made.push_back(view.bottomToSuperview());
    } else {
      made.push_back(view.topToSuperview());
      made.push_back(view.bottomToSuperview());
      const auto start = previous ? Constrainable(previous).rightAnchor() : leftAnchor();
      made.push_back(view.left(*this, {.anchor = start, .offset = gap}));
      if (isLast) made.push_back(view.rightToSuperview());
    }
    if (options.width) made.push_back(view.width(*options.width));
    if (options.height) made.push_back(view.height(*options.height));
    previous = widget;
    gap = options.spacing;
  }
  return made;
}

void ConstrainableView::setHugging(LayoutPriority priority, Qt::Orientation orientation) const {
  platform::setContentHuggingPriority(m_view, priority, orientation);
}

void ConstrainableView::setCompressionResistance(LayoutPriority priority,
                                                 Qt::Orientation orientation) const {
  platform::setContentCompressionResistancePriority(m_view, priority, orientation);
}

}  // namespace tessra::constraints
